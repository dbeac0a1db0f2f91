// Our archive library against 7-Zip's (through the forwarder), both loaded as the stub
// loads them, on the corpus that make_corpus.sh made with the 7z command: the same item
// properties, results and bytes; broken copies never succeed with wrong bytes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "tests/library/TestObjects.h"

namespace szsfx::testing {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// UTF-8 to UTF-16, surrogate pairs included.
std::u16string Utf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < text.size(); ++k) code = code << 6 | (text[i + k] & 0x3F);
    i += 1 + extra;
    if (code >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

// A library loaded with its entry point and string functions.
struct TLibrary {
  explicit TLibrary(const std::string& path) : Module(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!Module) return;
    Create = reinterpret_cast<TCreateObject>(dlsym(Module, "CreateObject"));
    Alloc = reinterpret_cast<TSysAllocString>(dlsym(Module, "SysAllocString"));
    Free = reinterpret_cast<TSysFreeString>(dlsym(Module, "SysFreeString"));
    HandlerProperty = reinterpret_cast<TGetHandlerProperty>(dlsym(Module, "GetHandlerProperty"));
  }
  ~TLibrary() {
    if (Module) dlclose(Module);
  }
  IInArchive* NewHandler() const {
    void* object = nullptr;
    if (!Create || Create(&CLSID_Format7z, &IID_IInArchive, &object) != kOk) return nullptr;
    return static_cast<IInArchive*>(object);
  }
  void* Module;
  TCreateObject Create = nullptr;
  TSysAllocString Alloc = nullptr;
  TSysFreeString Free = nullptr;
  TGetHandlerProperty HandlerProperty = nullptr;
};

TLibrary& Ours() {
  static TLibrary library(Env("LIBRARY_OURS"));
  return library;
}
TLibrary& Reference() {
  static TLibrary library(Env("LIBRARY_REFERENCE"));
  return library;
}

// One property as text: its tag and value ("-" when the library leaves it empty).
std::string PropertyText(const TLibrary& lib, IInArchive* archive, uint32_t index, uint32_t id) {
  TPropValue value{};
  archive->GetProperty(index, id, &value);
  std::ostringstream text;
  text << value.Tag << ':';
  if (value.Tag == kTagString) {
    for (const wchar_t* c = value.String; c && *c; ++c) text << static_cast<uint32_t>(*c) << ',';
    lib.Free(value.String);
  } else if (value.Tag == kTagBool) {
    text << value.Bool;
  } else if (value.Tag != kTagEmpty) {
    text << value.UInt64;
  }
  return text.str();
}

// Everything a library says about an archive: open result, items and extraction.
struct TRun {
  HRes Open = kFailure, Extract = kFailure;
  std::vector<std::string> Properties;  // per item, all ids joined
  std::vector<TItemRecord> Items;
  int PasswordAsked = 0;
};

// One handler with its stream and callbacks, opened on construction, all released at the end.
struct TSession {
  TSession(const TLibrary& lib, TTestInStream* stream, TPasswordSource& password)
      : Archive(lib.NewHandler()),
        Stream(stream),
        Open(new TTestOpenCallback(password)),
        Extract(new TExtractRecorder(password)) {
    Stream->AddRef();
    Open->AddRef();
    Extract->AddRef();
    Opened = Archive ? Archive->Open(Stream, nullptr, Open) : kFailure;
  }
  ~TSession() {
    if (Archive) {
      Archive->Close();
      Archive->Release();
    }
    Extract->Release();
    Open->Release();
    Stream->Release();
  }
  HRes ExtractAll(int32_t testMode = 0) { return Archive->Extract(nullptr, 0xFFFFFFFFu, testMode, Extract); }
  IInArchive* Archive;
  TTestInStream* Stream;
  TTestOpenCallback* Open;
  TExtractRecorder* Extract;
  HRes Opened;
};

TRun RunLibrary(const TLibrary& lib, const std::string& path, const std::string& password) {
  TRun run;
  TPasswordSource source{lib.Alloc, Utf16(password)};
  {
    TSession session(lib, new TTestInStream(path), source);
    run.Open = session.Opened;
    if (run.Open == kOk) {
      uint32_t count = 0;
      session.Archive->GetNumberOfItems(&count);
      for (uint32_t i = 0; i < count; ++i) {
        std::string all;
        for (uint32_t id : std::initializer_list<uint32_t>{kPropPath, kPropIsFolder, kPropSize, kPropPackedSize,
                                                           kPropAttributes, kPropCreated, kPropAccessed, kPropModified,
                                                           kPropEncrypted, kPropCrc, kPropIsAnti}) {
          all += std::to_string(id) + "=" + PropertyText(lib, session.Archive, i, id) + " ";
        }
        run.Properties.push_back(all);
      }
      run.Extract = session.ExtractAll();
      run.Items = session.Extract->Items;
    }
  }
  run.PasswordAsked = source.Asked;
  return run;
}

struct TEntry {
  std::string Kind, Archive, Password, Original;
};

std::string Corpus() { return Env("LIBRARY_CORPUS"); }

std::vector<TEntry> Manifest(const std::string& kind) {
  std::vector<TEntry> entries;
  std::ifstream in(Corpus() + "/manifest");
  std::string line;
  while (std::getline(in, line)) {
    TEntry e;
    std::istringstream fields(line);
    std::getline(fields, e.Kind, '\t');
    std::getline(fields, e.Archive, '\t');
    std::getline(fields, e.Password, '\t');
    std::getline(fields, e.Original, '\t');
    if (e.Password == "-") e.Password.clear();
    const bool big = e.Archive == "big.7z";
    if (e.Kind == kind && big == (kind == "big")) entries.push_back(e);
    if (kind == "big" && big) entries.push_back(e);
  }
  return entries;
}

std::string Path(const std::string& archive) { return Corpus() + "/" + archive; }

class Differential : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Ours().Create && Ours().Alloc && Ours().Free) << "LIBRARY_OURS: " << Env("LIBRARY_OURS");
    ASSERT_TRUE(Reference().Create) << "LIBRARY_REFERENCE: " << Env("LIBRARY_REFERENCE");
  }
  // Both libraries agree on everything, and every item succeeds unless `unsupported`
  // allows our "unsupported method" where 7-Zip succeeds.
  void ExpectSame(const TEntry& e, bool unsupported) {
    SCOPED_TRACE(e.Archive);
    const TRun theirs = RunLibrary(Reference(), Path(e.Archive), e.Password);
    const TRun ours = RunLibrary(Ours(), Path(e.Archive), e.Password);
    ASSERT_EQ(theirs.Open, kOk);
    ASSERT_EQ(ours.Open, kOk);
    ASSERT_EQ(ours.Properties.size(), theirs.Properties.size());
    for (size_t i = 0; i < ours.Properties.size(); ++i) EXPECT_EQ(ours.Properties[i], theirs.Properties[i]) << i;
    EXPECT_EQ(ours.Extract, theirs.Extract);
    ASSERT_EQ(ours.Items.size(), theirs.Items.size());
    int skipped = 0;
    for (size_t i = 0; i < ours.Items.size(); ++i) {
      const TItemRecord &a = ours.Items[i], &b = theirs.Items[i];
      SCOPED_TRACE(theirs.Properties[b.Index]);
      EXPECT_EQ(a.Index, b.Index);
      EXPECT_EQ(b.Result, kResultOk);
      EXPECT_EQ(a.Results, 1);
      EXPECT_EQ(a.Prepared, 1);
      if (unsupported && a.Result == kResultUnsupportedMethod) {
        ++skipped;
        continue;
      }
      EXPECT_EQ(a.Result, kResultOk);
      EXPECT_EQ(a.AskMode, b.AskMode);
      EXPECT_EQ(a.Size, b.Size);
      EXPECT_EQ(a.Hash, b.Hash);
    }
    if (unsupported) {
      EXPECT_GT(skipped, 0) << "the items of the left-out method fail as unsupported";
      EXPECT_LT(skipped, static_cast<int>(ours.Items.size())) << "the other folder extracts";
    }
    EXPECT_EQ(ours.PasswordAsked > 0, !e.Password.empty());
  }
};

TEST_F(Differential, EveryMethodAndLayoutExtractsLike7Zip) {
  const auto entries = Manifest("same");
  ASSERT_GE(entries.size(), 30u);
  for (const TEntry& e : entries) ExpectSame(e, false);
}

TEST_F(Differential, LeftOutMethodsFailOnlyTheirOwnItems) {
  const auto entries = Manifest("unsupported");
  ASSERT_EQ(entries.size(), 2u);
  for (const TEntry& e : entries) ExpectSame(e, true);
}

TEST_F(Differential, BrokenCopiesNeverSucceedWithWrongBytes) {
  const auto entries = Manifest("bad");
  ASSERT_GE(entries.size(), 20u);
  for (const TEntry& e : entries) {
    SCOPED_TRACE(e.Archive + " (password '" + e.Password + "')");
    // The truth: 7-Zip on the intact original with the right password.
    std::map<uint32_t, TItemRecord> truth;
    for (const TEntry& original : Manifest("same")) {
      if (original.Archive != e.Original) continue;
      for (const TItemRecord& r : RunLibrary(Reference(), Path(original.Archive), original.Password).Items)
        truth[r.Index] = r;
    }
    ASSERT_FALSE(truth.empty());
    const TRun ours = RunLibrary(Ours(), Path(e.Archive), e.Password);
    EXPECT_TRUE(ours.Open == kOk || ours.Open == kFalse) << ours.Open;
    bool failed = ours.Open != kOk || ours.Extract != kOk;
    for (const TItemRecord& r : ours.Items) {
      EXPECT_TRUE(r.Result >= kResultOk && r.Result <= kResultCrcError) << r.Result;
      EXPECT_EQ(r.Results, 1);
      if (r.Result != kResultOk) {
        failed = true;
        continue;
      }
      ASSERT_TRUE(truth.count(r.Index));
      EXPECT_EQ(r.Size, truth[r.Index].Size) << "item " << r.Index << " succeeded with other bytes";
      EXPECT_EQ(r.Hash, truth[r.Index].Hash) << "item " << r.Index << " succeeded with other bytes";
    }
    EXPECT_TRUE(failed) << "a broken copy shows as broken";
  }
}

TEST_F(Differential, SeveralHundredMegabytesInOneSolidFolder) {
  const auto entries = Manifest("big");
  if (entries.empty()) GTEST_SKIP() << "the corpus was made without --big";
  ExpectSame(entries[0], false);
}

// ---- The interface: behaviour the engine relies on, on both libraries -------------

class Interface : public Differential {
 protected:
  static std::vector<const TLibrary*> Both() { return {&Reference(), &Ours()}; }
  static std::string Name(const TLibrary* lib) { return lib == &Ours() ? "ours" : "7-Zip"; }
  // Opens `bytes` and returns Open's result.
  static HRes OpenBytes(const TLibrary& lib, std::vector<uint8_t> bytes, TPasswordSource& password) {
    return TSession(lib, new TTestInStream(std::move(bytes)), password).Opened;
  }
  static std::vector<uint8_t> FileBytes(const std::string& path, size_t limit = SIZE_MAX) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > limit) bytes.resize(limit);
    return bytes;
  }
};

TEST_F(Interface, WhatIsNoArchiveOpensAsFalse) {
  const std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'a', 'r', 'c', 'h', 'i', 'v', 'e'};
  for (const TLibrary* lib : Both()) {
    SCOPED_TRACE(Name(lib));
    TPasswordSource wrong{lib->Alloc, u"wrong"}, none{lib->Alloc, u""};
    none.Offer = false;
    EXPECT_EQ(OpenBytes(*lib, text, wrong), kFalse);
    EXPECT_EQ(OpenBytes(*lib, {}, wrong), kFalse);
    EXPECT_EQ(OpenBytes(*lib, FileBytes(Path("lzma2-mx5.7z"), 100), wrong), kFalse) << "cut short";
    EXPECT_EQ(OpenBytes(*lib, FileBytes(Path("aes-headers.7z")), wrong), kFalse) << "wrong password";
    EXPECT_EQ(OpenBytes(*lib, FileBytes(Path("aes-headers.7z")), none), kFalse) << "no password";
    EXPECT_EQ(wrong.Asked, 1);
    EXPECT_EQ(OpenBytes(*lib, FileBytes(Path("empty.7z")), wrong), kOk);
  }
}

TEST_F(Interface, WithoutAPasswordEncryptedItemsAreUnsupported) {
  for (const TLibrary* lib : Both()) {
    SCOPED_TRACE(Name(lib));
    TPasswordSource none{lib->Alloc, u""};
    none.Offer = false;
    TSession session(*lib, new TTestInStream(Path("aes-nonsolid.7z")), none);
    ASSERT_EQ(session.Opened, kOk);
    EXPECT_EQ(session.ExtractAll(), kOk);
    int unsupported = 0;
    for (const TItemRecord& r : session.Extract->Items) unsupported += r.Result == kResultUnsupportedMethod;
    EXPECT_GT(unsupported, 5);
  }
}

TEST_F(Interface, TestModeAndChosenItemsOnAWorkerThread) {
  for (const TLibrary* lib : Both()) {
    SCOPED_TRACE(Name(lib));
    std::vector<TItemRecord> items;
    HRes result = kFailure;
    std::thread worker([&] {
      TPasswordSource password{lib->Alloc, u"Secret"};
      TSession session(*lib, new TTestInStream(Path("aes.7z")), password);
      const uint32_t chosen[] = {7, 11};
      if (session.Opened == kOk) result = session.Archive->Extract(chosen, 2, 1, session.Extract);
      items = session.Extract->Items;
    });
    worker.join();
    EXPECT_EQ(result, kOk);
    // The solid folder's items before a chosen one are decoded and reported as skipped.
    ASSERT_EQ(items.size(), 6u);
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(items[i].Index, 6 + i);
      EXPECT_EQ(items[i].AskMode, items[i].Index == 7 || items[i].Index == 11 ? kAskTest : kAskSkip);
      EXPECT_EQ(items[i].Result, kResultOk);
      EXPECT_EQ(items[i].Size, 0u) << "nothing is written in test mode";
    }
  }
}

TEST_F(Interface, AnAbortFromTheCallbackOrTheStreamEndsExtractAtOnce) {
  // Small folders, and folders whose coders decode on threads of their own (ours only:
  // 7-Zip's progress calls come as its threads go): the abort comes while the key is
  // derived, or while the coders below run ahead.
  const struct {
    const char* Archive;
    std::u16string Password;
    int AbortAtProgress;
    bool AlsoReference;
  } cases[] = {{"lzma2-nonsolid.7z", u"", 1, true},
               {"chain-bcj2.7z", u"", 3, false},
               {"chain-aes-lzma.7z", u"Secret", 1, false},
               {"chain-aes-lzma.7z", u"Secret", 3, false},
               {"chain-aes-lzma2.7z", u"Secret", 3, false}};
  for (const auto& c : cases) {
    for (const TLibrary* lib : c.AlsoReference ? Both() : std::vector<const TLibrary*>{&Ours()}) {
      for (bool fromStream : {false, true}) {
        SCOPED_TRACE(std::string(c.Archive) + ", " + Name(lib) + (fromStream ? ", stream" : ", callback") + " at " +
                     std::to_string(c.AbortAtProgress));
        TPasswordSource password{lib->Alloc, c.Password};
        TSession session(*lib, new TTestInStream(Path(c.Archive)), password);
        ASSERT_EQ(session.Opened, kOk);
        if (fromStream)
          session.Stream->AbortReads = true;
        else
          session.Extract->AbortAtProgress = c.AbortAtProgress;
        EXPECT_EQ(session.ExtractAll(), kAborted);
        if (lib == &Ours()) {
          const std::vector<TItemRecord>& items = session.Extract->Items;
          ASSERT_FALSE(items.empty());
          EXPECT_EQ(items.back().Results, 0) << "the item in progress gets no result";
          EXPECT_LT(items.size(), 10u);
          // Nothing of the aborted run is left running or half-read: the next one succeeds.
          session.Stream->AbortReads = false;
          session.Extract->AbortAtProgress = -1;
          session.Extract->Items.clear();
          EXPECT_EQ(session.ExtractAll(), kOk);
          ASSERT_FALSE(items.empty());
          for (const TItemRecord& r : items) EXPECT_EQ(r.Result, kResultOk) << r.Index;
        }
      }
    }
  }
}

// ---- An LZMA2 folder in independent blocks, which ours decodes on several threads ----

// 16 items of 300,000 bytes in 512 KB blocks; the damaged copy is broken in its third block.
constexpr size_t kBlockItems = 16;

class Blocks : public Interface {
 protected:
  void SetUp() override {
    Interface::SetUp();
    intact_ = RunLibrary(Reference(), Path("lzma2-blocks.7z"), "");
    ASSERT_EQ(intact_.Items.size(), kBlockItems);
  }
  // An extracted item with the bytes 7-Zip gets from the intact archive.
  void ExpectIntact(const TItemRecord& r) const {
    SCOPED_TRACE("item " + std::to_string(r.Index));
    EXPECT_EQ(r.Result, kResultOk);
    EXPECT_EQ(r.Prepared, 1);
    EXPECT_EQ(r.Results, 1);
    if (r.AskMode != kAskExtract) return;
    EXPECT_EQ(r.Size, 300000u);
    EXPECT_EQ(r.Hash, intact_.Items[r.Index].Hash);
  }
  TRun intact_;
};

TEST_F(Blocks, ADamagedBlockFailsTheItemsFromItOnAs7ZipDoes) {
  const TRun theirs = RunLibrary(Reference(), Path("damaged-lzma2-blocks.7z"), "");
  const TRun ours = RunLibrary(Ours(), Path("damaged-lzma2-blocks.7z"), "");
  EXPECT_EQ(ours.Extract, kOk);
  ASSERT_EQ(ours.Items.size(), kBlockItems);
  ASSERT_EQ(theirs.Items.size(), kBlockItems);
  for (size_t i = 0; i < kBlockItems; ++i) {
    EXPECT_EQ(ours.Items[i].Result, theirs.Items[i].Result) << i;
    if (i < 3)
      ExpectIntact(ours.Items[i]);
    else
      EXPECT_EQ(ours.Items[i].Result, kResultDataError) << i;
  }
}

TEST_F(Blocks, ItemsChosenFromTheMiddleThenOthersWithTheSameHandler) {
  for (const TLibrary* lib : Both()) {
    SCOPED_TRACE(Name(lib));
    TPasswordSource password{lib->Alloc, u""};
    TSession session(*lib, new TTestInStream(Path("lzma2-blocks.7z")), password);
    ASSERT_EQ(session.Opened, kOk);
    const uint32_t middle[] = {9}, two[] = {2, 14};
    EXPECT_EQ(session.Archive->Extract(middle, 1, 0, session.Extract), kOk);
    EXPECT_EQ(session.Archive->Extract(two, 2, 0, session.Extract), kOk);
    // The folder's items before a chosen one are reported as skipped, each call anew.
    const std::vector<TItemRecord>& items = session.Extract->Items;
    ASSERT_EQ(items.size(), 10u + 15u);
    for (size_t k = 0; k < items.size(); ++k) {
      const uint32_t index = static_cast<uint32_t>(k < 10 ? k : k - 10);
      const bool chosen = k < 10 ? index == 9 : index == 2 || index == 14;
      EXPECT_EQ(items[k].Index, index);
      EXPECT_EQ(items[k].AskMode, chosen ? kAskExtract : kAskSkip) << k;
      ExpectIntact(items[k]);
    }
  }
}

TEST_F(Blocks, AnAbortHalfWayLeavesTheHandlerReadyForTheNextExtract) {
  for (bool fromStream : {false, true}) {
    SCOPED_TRACE(fromStream ? "stream" : "callback");
    TPasswordSource password{Ours().Alloc, u""};
    TSession session(Ours(), new TTestInStream(Path("lzma2-blocks.7z")), password);
    ASSERT_EQ(session.Opened, kOk);
    // The archive stream is read by the decoder's threads only: its failure comes back.
    if (fromStream)
      session.Stream->AbortReads = true;
    else
      session.Extract->AbortAtProgress = 9;
    EXPECT_EQ(session.ExtractAll(), kAborted);
    const std::vector<TItemRecord>& items = session.Extract->Items;
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.back().Results, 0) << "the item in progress gets no result";
    EXPECT_LT(items.size(), fromStream ? 2u : kBlockItems);
    for (size_t i = 0; i + 1 < items.size(); ++i) ExpectIntact(items[i]);

    session.Stream->AbortReads = false;
    session.Extract->AbortAtProgress = -1;
    session.Extract->Items.clear();
    EXPECT_EQ(session.ExtractAll(), kOk);
    ASSERT_EQ(items.size(), kBlockItems);
    for (const TItemRecord& r : items) ExpectIntact(r);
  }
}

// Slot 9 (GetNumberOfProperties), past those the stub calls.
HRes CallSlot9(IInArchive* archive, uint32_t* count) {
  using TSlot = HRes(SZ_STDCALL*)(IInArchive*, uint32_t*);
  return (*reinterpret_cast<TSlot* const*>(archive))[9](archive, count);
}

TEST_F(Interface, EntryPointsAndObjects) {
  const TLibrary& lib = Ours();
  void* object = &object;
  EXPECT_NE(lib.Create(&IID_IInArchive, &IID_IInArchive, &object), kOk) << "no such class";
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(lib.Create(&CLSID_Format7z, &IID_IInStream, &object), kNoInterface);
  IInArchive* archive = lib.NewHandler();
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(archive->AddRef(), 2u);
  void* other = nullptr;
  EXPECT_EQ(archive->QueryInterface(IID_IInStream, &other), kNoInterface);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(archive->QueryInterface(IID_IUnknown, &other), kOk);
  EXPECT_EQ(other, archive);
  EXPECT_EQ(archive->Release(), 2u);
  EXPECT_EQ(archive->Release(), 1u);
  uint32_t count = 99;
  EXPECT_EQ(archive->GetNumberOfItems(&count), kOk);
  EXPECT_EQ(count, 0u) << "nothing open";
  TPropValue value{};
  value.Tag = kTagUInt64Preset;
  EXPECT_NE(archive->GetProperty(0, kPropPath, &value), kOk);
  EXPECT_EQ(value.Tag, kTagEmpty) << "the value is cleared first";
  EXPECT_EQ(CallSlot9(archive, &count), static_cast<HRes>(0x80004001u)) << "not implemented";
  EXPECT_EQ(archive->Release(), 0u);

  TPropValue name{};
  ASSERT_EQ(lib.HandlerProperty(0, &name), kOk);
  ASSERT_EQ(name.Tag, kTagString);
  EXPECT_EQ(std::wstring(name.String), L"7z");
  lib.Free(name.String);
  TSystemString copy = lib.Alloc(L"\xD83D\xDE00x");
  EXPECT_EQ(reinterpret_cast<uint32_t*>(copy)[-1], 3 * sizeof(wchar_t)) << "byte length before the text";
  lib.Free(copy);
}

}  // namespace
}  // namespace szsfx::testing
