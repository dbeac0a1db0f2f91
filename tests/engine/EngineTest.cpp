// TSevenZip on real archives made by the 7z command (make_archives.sh), with the real
// library: Debian's 7z.so natively, the Windows 7z.dll under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <set>

#include "engine/FileStreams.h"
#include "engine/ItemInfo.h"
#include "engine/Library.h"
#include "engine/PartialFile.h"
#include "engine/SevenZip.h"
#include "platform/Platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace szsfx {
namespace {

namespace fs = std::filesystem;
const char kSep = static_cast<char>(plat::kPathSeparator);

fs::path DataFolder() {
  // build/<preset>/tests/engine_tests -> build/<preset>/engine-data
  return fs::path(plat::ModuleFileName()).parent_path().parent_path() / "engine-data";
}
std::string Data(const std::string& name) { return (DataFolder() / name).string(); }
// The folder whose "7z.dll" the engine loads: the forwarder to 7-Zip's library, or the
// folder that ENGINE_LIBRARY_DIR names (our own library).
std::u16string Wide(const fs::path& p) { return p.u16string(); }
std::string Narrow(const std::u16string& text) { return fs::path(text).string(); }
std::u16string LibraryDir() {
  const char* dir = std::getenv("ENGINE_LIBRARY_DIR");
  return Wide(dir && *dir ? std::string(dir) : Data("lib")) + plat::kPathSeparator;
}

std::string Contents(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Relative paths of everything below `root` (folders end with the separator).
std::set<std::string> Listing(const fs::path& root) {
  std::set<std::string> names;
  if (!fs::exists(root)) return names;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    names.insert(fs::relative(e.path(), root).string() + (e.is_directory() ? std::string(1, kSep) : ""));
  }
  return names;
}

void ExpectSameTree(const fs::path& expected, const fs::path& actual) {
  ASSERT_EQ(Listing(expected), Listing(actual));
  for (const auto& e : fs::recursive_directory_iterator(expected)) {
    if (e.is_regular_file()) {
      EXPECT_TRUE(Contents(e.path()) == Contents(actual / fs::relative(e.path(), expected))) << e.path();
    }
  }
}

uint64_t ModifiedUtc(const fs::path& p) {
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(p.wstring().c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
#else
  struct stat st;
  if (stat(p.c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.st_mtim.tv_sec) * 10000000u + 116444736000000000u + st.st_mtim.tv_nsec / 100;
#endif
}

// A UTC time in 100 ns units since 1601.
uint64_t Utc(int year, unsigned month, unsigned day, int hour, int minute, int second, uint64_t units = 0) {
  namespace chrono = std::chrono;
  constexpr int64_t kDaysFrom1601To1970 = 134774;
  const int64_t days =
      chrono::sys_days(chrono::year(year) / chrono::month(month) / chrono::day(day)).time_since_epoch().count();
  const int64_t seconds = (days + kDaysFrom1601To1970) * 86400 + int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
  return static_cast<uint64_t>(seconds) * 10000000u + units;
}

// Removes a tree, read-only files included.
void RemoveTree(const fs::path& root) {
  std::error_code ignored;
  for (const auto& e : fs::recursive_directory_iterator(root, ignored)) {
    fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(root, ignored);
}

// Files left under the names items are written to until they are complete.
std::vector<std::string> PartialFiles(const fs::path& root) {
  std::vector<std::string> found;
  std::error_code ignored;
  for (const auto& e : fs::recursive_directory_iterator(root, ignored)) {
    if (e.path().filename().string().rfind("~szsfx", 0) == 0) found.push_back(e.path().string());
  }
  return found;
}

bool Writable(const fs::path& p) { return (fs::status(p).permissions() & fs::perms::owner_write) != fs::perms::none; }

// The answers a case gives the component: by default every item is begun without
// replacing an existing file, nothing stops the run and the password is empty.
class TTestEvents final : public ISevenZipEvents {
 public:
  std::function<bool(const TItemFacts&, const std::u16string&, bool)> Begin =
      [](const TItemFacts&, const std::u16string&, bool) { return false; };
  std::function<bool(uint8_t, uint8_t)> Progress = [](uint8_t, uint8_t) { return true; };
  std::function<std::u16string(const std::u16string&)> Password = [](const std::u16string&) { return u""; };

  bool OnBegin(const TItemFacts& item, const std::u16string& destination, bool fileExists) override {
    return Begin(item, destination, fileExists);
  }
  bool OnProgress(uint8_t itemPercent, uint8_t totalPercent) override { return Progress(itemPercent, totalPercent); }
  std::u16string OnPassword(const std::u16string& item) override { return Password(item); }
};

TArchiveSource Named(const fs::path& file) { return TArchiveSource{Wide(file), nullptr, 0}; }

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    dest_ = fs::temp_directory_path() / ("szsfx-engine-" + std::to_string(++counter) + "-" +
                                         std::to_string(static_cast<unsigned>(plat::TickCount())));
    fs::create_directories(dest_);
    request_.Destination = Wide(dest_);
    events_.Begin = [this](const TItemFacts&, const std::u16string& d, bool) {
      begun_.push_back(Narrow(d));
      return false;
    };
  }
  void TearDown() override { RemoveTree(dest_); }
  HRes Extract(const std::string& archive) {
    request_.Source = Named(Data(archive));
    return ExtractRequested();
  }
  HRes ExtractRequested() {
    outcome_ = zip_.Extract(request_, events_);
    return outcome_.Result;
  }

  fs::path dest_;
  TArchiveLibrary library_{LibraryDir()};
  TSevenZip zip_{library_};
  TExtractRequest request_;
  TTestEvents events_;
  TExtractOutcome outcome_;
  std::vector<std::string> begun_;
};

TEST_F(Engine, ExtractsSolidNonSolidAndBcj2TreesByteForByte) {
  for (const char* archive : {"tree.7z", "nonsolid.7z", "bcj2.7z"}) {
    RemoveTree(dest_);
    EXPECT_EQ(Extract(archive), kOk) << archive;
    EXPECT_EQ(outcome_.ErrorCount, 0u) << archive;
    ExpectSameTree(Data("tree"), dest_);
  }
}

TEST_F(Engine, ExtractsA64MiBFile) {
  EXPECT_EQ(Extract("big.7z"), kOk);
  EXPECT_EQ(fs::file_size(dest_ / "big.txt"), 67108864u);
  EXPECT_TRUE(Contents(dest_ / "big.txt") == Contents(Data("big") + kSep + "big.txt"));
}

TEST_F(Engine, WithoutFolderNamesFilesLandInTheBaseAndFoldersAreNotMade) {
  request_.UseFolderNames = false;
  EXPECT_EQ(Extract("tree.7z"), kOk);
  EXPECT_EQ(Contents(dest_ / "b.txt"), "bravo\n");
  EXPECT_EQ(Contents(dest_ / "c.txt"), "charlie\n");
  EXPECT_FALSE(fs::exists(dest_ / "docs"));
  EXPECT_FALSE(fs::exists(dest_ / "empty"));
}

TEST_F(Engine, FileSpecSelectsFoldersExactPathsOrNothing) {
  request_.Selection = {u"DOCS" + std::u16string(1, plat::kPathSeparator)};
  EXPECT_EQ(Extract("tree.7z"), kOk);
  std::string docs = std::string("docs") + kSep;
  EXPECT_EQ(Listing(dest_),
            (std::set<std::string>{docs, docs + "a.txt", docs + "sub" + kSep, docs + "sub" + kSep + "b.txt"}));

  RemoveTree(dest_);
  request_.Selection = {u"README.TXT", u"bin" + std::u16string(1, plat::kPathSeparator) + u"PROG.exe"};
  EXPECT_EQ(Extract("tree.7z"), kOk);
  EXPECT_EQ(Listing(dest_),
            (std::set<std::string>{"readme.txt", std::string("bin") + kSep, std::string("bin") + kSep + "prog.exe"}));

  RemoveTree(dest_);
  begun_.clear();
  request_.Selection = {u"missing.txt"};
  EXPECT_EQ(Extract("tree.7z"), kOk);
  EXPECT_TRUE(begun_.empty());
  EXPECT_TRUE(Listing(dest_).empty());
}

TEST_F(Engine, ExistingFilesStayUnlessTheBeginHandlerAllowsTheirReplacement) {
  const fs::path existing = dest_ / "readme.txt";
  std::ofstream(existing) << "old";
  const uint64_t oldTime = ModifiedUtc(existing);
  std::vector<bool> offered;
  events_.Begin = [&](const TItemFacts&, const std::u16string&, bool exists) {
    offered.push_back(exists);
    return false;
  };
  EXPECT_EQ(Extract("tree.7z"), kOk);
  EXPECT_EQ(Contents(existing), "old");
  EXPECT_EQ(ModifiedUtc(existing), oldTime);
  EXPECT_EQ(outcome_.ErrorCount, 0u) << "a kept file is no failure";
  EXPECT_EQ(std::count(offered.begin(), offered.end(), true), 1) << "the one existing file is reported as existing";

  // Replacement allowed: the file is replaced, and gets the item's time and attributes.
  events_.Begin = [](const TItemFacts&, const std::u16string&, bool) { return true; };
  std::ofstream(existing) << "old again";
  fs::permissions(dest_ / "readonly.txt", fs::perms::owner_write, fs::perm_options::add);
  std::ofstream(dest_ / "readonly.txt") << "old";
  EXPECT_EQ(Extract("tree.7z"), kOk);
  EXPECT_EQ(outcome_.ErrorCount, 0u);
  EXPECT_EQ(Contents(existing), "Read me first.\r\n");
  EXPECT_EQ(Contents(dest_ / "readonly.txt"), "locked\n");
  EXPECT_EQ(ModifiedUtc(existing), Utc(2020, 5, 6, 7, 8, 9));
  ExpectSameTree(Data("tree"), dest_);

  // A handler that removes the file itself still gets it written anew.
  std::ofstream(existing) << "old";
  events_.Begin = [](const TItemFacts&, const std::u16string& d, bool) {
    std::error_code ignored;
    fs::remove(fs::path(d), ignored);
    return false;
  };
  EXPECT_EQ(Extract("tree.7z"), kOk);
  EXPECT_EQ(Contents(existing), "Read me first.\r\n");
  EXPECT_TRUE(PartialFiles(dest_).empty());
}

// The begin and password handlers may wait for another thread (the window's, which asks
// the user). Whatever that thread does with the component meanwhile must not wait for
// the library's thread in turn: here it reports a failed write, which takes the
// component's lock. A wait past the time limit counts as a deadlock.
class CallFromAnotherThread {
 public:
  explicit CallFromAnotherThread(TSevenZip& zip) : zip_(zip) {}
  // Runs WriteFailed on a thread of its own and waits for it; false if it did not end in time.
  bool WriteFailed() {
    if (deadlocked_) return false;  // one stuck call is enough: the later ones would wait too
    calls_.push_back(std::async(std::launch::async, [this] { zip_.WriteFailed(); }));
    deadlocked_ = calls_.back().wait_for(std::chrono::seconds(5)) != std::future_status::ready;
    return !deadlocked_;
  }
  bool Deadlocked() const { return deadlocked_; }
  size_t Calls() const { return calls_.size(); }

 private:
  TSevenZip& zip_;
  std::vector<std::future<void>> calls_;  // their destructors wait for calls still stuck
  bool deadlocked_ = false;
};

TEST_F(Engine, EventHandlersThatWaitForAnotherThreadHoldNoLockOfTheComponent) {
  {
    CallFromAnotherThread other(zip_);
    events_.Begin = [&](const TItemFacts&, const std::u16string& d, bool) {
      begun_.push_back(Narrow(d));
      other.WriteFailed();
      return true;
    };
    Extract("tree.7z");
    EXPECT_FALSE(other.Deadlocked()) << "the begin event was raised under the component's lock";
    // A failure reported while the question was open counts for that item, which is not written.
    EXPECT_EQ(outcome_.ErrorCount, begun_.size());
    EXPECT_EQ(other.Calls(), begun_.size());
    for (const std::string& name : Listing(dest_)) EXPECT_EQ(name.back(), kSep) << name << " was written";
    EXPECT_TRUE(PartialFiles(dest_).empty());
  }
  {
    CallFromAnotherThread other(zip_);
    events_.Password = [&](const std::u16string&) {
      other.WriteFailed();
      return u"Secret";
    };
    EXPECT_TRUE(zip_.Open(Named(Data("aes_headers.7z")), events_));
    EXPECT_GE(other.Calls(), 1u);
    EXPECT_FALSE(other.Deadlocked()) << "the password event was raised under the component's lock";
    zip_.Close();
  }
}

TEST_F(Engine, AFailedItemLeavesNoFileAndKeepsTheOneItWouldReplace) {
  // Damaged packed data: every file of the damaged solid block fails by its checksum.
  EXPECT_TRUE(Extract("damaged.7z") != kOk || outcome_.ErrorCount > 0);
  for (const std::string& name : Listing(dest_)) {
    if (name.back() == kSep) continue;
    EXPECT_EQ(Contents(dest_ / name), Contents(Data("tree") + kSep + name)) << name << " holds damaged bytes";
  }
  EXPECT_TRUE(PartialFiles(dest_).empty());

  // The same with old files in place that the begin handler allows to be replaced.
  RemoveTree(dest_);
  fs::create_directories(dest_ / "docs" / "sub");
  for (const char* name : {"readme.txt", "docs/a.txt", "docs/sub/b.txt"}) std::ofstream(dest_ / name) << "old " << name;
  events_.Begin = [](const TItemFacts&, const std::u16string&, bool) { return true; };
  Extract("damaged.7z");
  for (const char* name : {"readme.txt", "docs/a.txt", "docs/sub/b.txt"}) {
    const std::string now = Contents(dest_ / name);
    EXPECT_TRUE(now == "old " + std::string(name) || now == Contents(Data("tree") + kSep + name))
        << name << " is neither the old file nor the item: " << now.size() << " bytes";
  }
  EXPECT_TRUE(PartialFiles(dest_).empty());
}

TEST_F(Engine, DeviceNamesAndTrailingDotsAreStoredUnderSafeNames) {
  EXPECT_EQ(Extract("devices.7z"), kOk);
  EXPECT_EQ(outcome_.ErrorCount, 0u);
  const std::string sep(1, kSep);
  const std::set<std::string> expected = {"_CON",  "_nul.txt", "d" + sep,    "d" + sep + "_COM1.log", "trail._",
                                          "trail", "trail2 _", "_aux" + sep, "_aux" + sep + "x.txt"};
  EXPECT_EQ(Listing(dest_), expected);
  EXPECT_EQ(Contents(dest_ / "_CON"), "payload of CON\n");
  EXPECT_EQ(Contents(dest_ / "trail._"), "payload of trail.\n");
  EXPECT_EQ(Contents(dest_ / "trail"), "payload of trail\n");
  EXPECT_EQ(Contents(dest_ / "_aux" / "x.txt"), "payload of aux/x.txt\n");
}

TEST_F(Engine, FilesGetTheArchivesTimeExactlyAndReadOnlyFilesKeepIt) {
  EXPECT_EQ(Extract("tree.7z"), kOk);
  const uint64_t expected = Utc(2020, 5, 6, 7, 8, 9);
  EXPECT_EQ(ModifiedUtc(dest_ / "readme.txt"), expected);
  EXPECT_EQ(ModifiedUtc(dest_ / "readonly.txt"), expected);
  EXPECT_FALSE(Writable(dest_ / "readonly.txt"));
  EXPECT_TRUE(Writable(dest_ / "readme.txt"));

  // To the 100 ns unit, in any year the file system takes.
  RemoveTree(dest_);
  EXPECT_EQ(Extract("times.7z"), kOk);
  const struct {
    const char* name;
    uint64_t utc;
  } cases[] = {
      {"odd.txt", Utc(2020, 5, 6, 7, 8, 9, 1234567)},
      {"before-1970.txt", Utc(1969, 12, 31, 23, 59, 59, 5000000)},
      {"1975.txt", Utc(1975, 3, 4, 5, 6, 7, 1)},
      {"2200.txt", Utc(2200, 1, 2, 3, 4, 5, 9876543)},
  };
  for (const auto& c : cases) EXPECT_EQ(ModifiedUtc(dest_ / c.name), c.utc) << c.name;

  // An item without a time keeps the one the file system gives it when it is written.
  RemoveTree(dest_);
  fs::create_directories(dest_);
  std::ofstream(dest_ / "earlier.txt") << "written just before the run";
  const uint64_t before = ModifiedUtc(dest_ / "earlier.txt");
  EXPECT_EQ(Extract("notime.7z"), kOk);
  EXPECT_EQ(Contents(dest_ / "odd.txt"), "odd.txt\n");
  EXPECT_GE(ModifiedUtc(dest_ / "odd.txt"), before);
}

TEST_F(Engine, EncryptedArchivesNeedTheRightPassword) {
  int asked = 0;
  std::u16string password = u"Secret";
  events_.Password = [&](const std::u16string&) {
    ++asked;
    return password;
  };
  EXPECT_EQ(Extract("aes.7z"), kOk);
  EXPECT_EQ(outcome_.ErrorCount, 0u);
  EXPECT_GE(asked, 1);
  EXPECT_GT(outcome_.EncryptedDone, 0u) << "an encrypted item that succeeded shows the password was right";
  EXPECT_TRUE(outcome_.PasswordFailures.empty());
  ExpectSameTree(Data("tree"), dest_);

  for (const char16_t* wrong : {u"wrong", u""}) {
    RemoveTree(dest_);
    password = wrong;
    Extract("aes.7z");
    EXPECT_GT(outcome_.ErrorCount, 0u);
    EXPECT_EQ(outcome_.PasswordFailures.size(), outcome_.ErrorCount) << "every failure is an encrypted item's";
    EXPECT_EQ(outcome_.EncryptedDone, 0u);
    // Whether the library finds a wrong password before writing or only by the checksum
    // afterwards, a failed item leaves no file: what is there is exactly right (the empty
    // file is not encrypted).
    for (const std::string& name : Listing(dest_)) {
      if (name.back() != kSep) {
        EXPECT_EQ(Contents(dest_ / name), Contents(Data("tree") + kSep + name)) << name;
      }
    }
    EXPECT_TRUE(PartialFiles(dest_).empty());
  }

  // Another password for exactly the items the wrong one failed completes the tree.
  request_.Only = outcome_.PasswordFailures;
  password = u"Secret";
  EXPECT_EQ(ExtractRequested(), kOk);
  EXPECT_EQ(outcome_.ErrorCount, 0u);
  ExpectSameTree(Data("tree"), dest_);
}

TEST_F(Engine, EncryptedHeadersAskDuringTheOpen) {
  std::vector<std::u16string> names;
  std::u16string password = u"wrong";
  events_.Password = [&](const std::u16string& name) {
    names.push_back(name);
    return password;
  };
  const TArchiveSource source = Named(Data("aes_headers.7z"));
  EXPECT_FALSE(zip_.Open(source, events_));
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], u"");
  password = u"Secret";
  EXPECT_TRUE(zip_.Open(source, events_));
  EXPECT_EQ(zip_.ItemCount(), 13u);
  zip_.Close();
  EXPECT_EQ(Extract("aes_headers.7z"), kOk);
  ExpectSameTree(Data("tree"), dest_);
}

// The window lists the archive and then extracts it: the one open serves both, so the
// run reads the file it listed even if its name has gone meanwhile.
TEST_F(Engine, TheArchiveOpenedForTheListIsTheOneExtracted) {
  const fs::path copy = dest_.string() + "-listed.7z";
  fs::copy_file(Data("aes_headers.7z"), copy, fs::copy_options::overwrite_existing);
  int asked = 0;
  events_.Password = [&](const std::u16string&) {
    ++asked;
    return u"Secret";
  };
  request_.Source = Named(copy);
  ASSERT_TRUE(zip_.Open(request_.Source, events_));
  EXPECT_EQ(zip_.ItemCount(), 13u);
  const int askedByTheOpen = asked;
#ifndef _WIN32
  fs::remove(copy);  // Windows refuses to remove an open file
#endif
  EXPECT_EQ(ExtractRequested(), kOk);
  EXPECT_EQ(outcome_.ErrorCount, 0u);
  ExpectSameTree(Data("tree"), dest_);
  EXPECT_EQ(zip_.ItemCount(), 0u) << "the run closes the archive";
  EXPECT_LE(asked, 2 * askedByTheOpen) << "no second open asked for the password again";
  std::error_code ignored;
  fs::remove(copy, ignored);
}

TEST_F(Engine, CancelStopsTheRunMidFile) {
  std::vector<std::pair<int, int>> events;
  events_.Progress = [&](uint8_t file, uint8_t total) {
    events.emplace_back(file, total);
    return false;
  };
  EXPECT_NE(Extract("cancel.7z"), kOk);
  EXPECT_EQ(begun_.size(), 1u) << "no further file is opened";
  ASSERT_FALSE(events.empty());
  EXPECT_NE(events.back(), std::make_pair(100, 100)) << "no closing 100/100 event";
  EXPECT_FALSE(fs::exists(begun_[0])) << "no partial file under the real name";
  EXPECT_TRUE(PartialFiles(dest_).empty());
}

TEST_F(Engine, DamagedAndTruncatedArchivesFailWithoutACrash) {
  const HRes damaged = Extract("damaged.7z");
  EXPECT_TRUE(damaged != kOk || outcome_.ErrorCount > 0);
  EXPECT_FALSE(zip_.Open(Named(Data("truncated.7z")), events_));
  EXPECT_NE(Extract("truncated.7z"), kOk);
  EXPECT_FALSE(zip_.Open(Named(Data("no-such-archive.7z")), events_));
  EXPECT_FALSE(zip_.Open(Named(DataFolder()), events_)) << "a folder is no archive file";
}

TEST_F(Engine, HostilePathsAreRefusedAndTheRestIsExtracted) {
  const fs::path inner = dest_ / "inner";
  request_.Destination = Wide(inner);
  EXPECT_EQ(Extract("hostile.7z"), kOk);
  // Windows' 7z.dll itself turns the backslashes of "\\srv\e5.txt" into ordinary name
  // characters, so there that item lands harmlessly inside the destination.
#ifdef _WIN32
  EXPECT_EQ(outcome_.ErrorCount, 4u);
#else
  EXPECT_EQ(outcome_.ErrorCount, 5u);
#endif
  EXPECT_EQ(Contents(inner / "good.txt"), "payload of good.txt\n");
  EXPECT_EQ(Contents(inner / "sub" / "fine.txt"), "payload of sub/fine.txt\n");
  EXPECT_EQ(Contents(inner / "...txt"), "payload of aa.txt\n");
  EXPECT_FALSE(fs::exists(dest_ / "e1.txt"));
  EXPECT_FALSE(fs::exists(fs::path("/e2.txt")));
  for (const std::string& name : Listing(dest_)) {
    if (name.rfind(std::string("inner") + kSep, 0) == 0) continue;
    EXPECT_EQ(name.find("e3"), std::string::npos) << name;
    EXPECT_EQ(name.find("4.txt"), std::string::npos) << name;
    EXPECT_EQ(name.find("e5"), std::string::npos) << name;
  }
}

TEST(Streams, SeekEdgeCasesAndSetSize) {
  const fs::path file = fs::temp_directory_path() / "szsfx-stream-test.bin";
  std::ofstream(file, std::ios::binary) << std::string(100, 'x');
  auto* out = new TOutFileStream();
  out->AddRef();
  out->OutFile.Creation = plat::FileCreation::OpenExisting;
  ASSERT_TRUE(out->OutFile.Open(Wide(file)));
  uint64_t position = 0;
  EXPECT_EQ(out->Seek(-10, 2, &position), kOk);
  EXPECT_EQ(position, 90u);
  EXPECT_EQ(out->Seek(5, 3, &position), kInvalidFunction);
  EXPECT_EQ(out->Seek(0, 1, &position), kOk);
  EXPECT_EQ(position, 90u) << "an invalid origin moves nothing";
  EXPECT_EQ(out->SetSize(40), kOk);
  EXPECT_EQ(out->Seek(0, 1, &position), kOk);
  EXPECT_EQ(position, 90u) << "SetSize keeps the position";
  const uint64_t beyond = 5ull << 30;  // past 4 GiB, sparse
  EXPECT_EQ(out->SetSize(beyond), kOk);
  out->Release();
  EXPECT_EQ(fs::file_size(file), beyond);

  auto* in = new TInFileStream();
  in->AddRef();
  ASSERT_TRUE(in->Open(Wide(file)));
  EXPECT_EQ(in->Seek(0, 2, &position), kOk);
  EXPECT_EQ(position, beyond);
  in->Release();
  fs::remove(file);
}

// A self-extractor's archive lies behind its payload and is read there: positions count
// from the archive's start, and nothing before it can be reached.
TEST_F(Engine, AnArchiveBehindOtherBytesIsReadInPlace) {
  const fs::path file = dest_.string() + "-sfx.exe";
  const std::string archive = Contents(Data("tree.7z"));
  std::ofstream(file, std::ios::binary) << std::string(300032, 'M') << archive;
  request_.Source = TArchiveSource{Wide(file), nullptr, 300032};
  EXPECT_EQ(ExtractRequested(), kOk);
  EXPECT_EQ(outcome_.ErrorCount, 0u);
  ExpectSameTree(Data("tree"), dest_);

  auto* in = new TInFileStream();
  in->AddRef();
  ASSERT_TRUE(in->Open(Wide(file), 300032));
  uint64_t position = 1;
  char signature[6] = {};
  uint32_t read = 0;
  EXPECT_EQ(in->Read(signature, 6, &read), kOk);
  EXPECT_EQ(std::string(signature, 6), archive.substr(0, 6));
  EXPECT_EQ(in->Seek(0, 2, &position), kOk);
  EXPECT_EQ(position, archive.size());
  EXPECT_NE(in->Seek(-1, 0, &position), kOk);
  EXPECT_NE(in->Seek(-static_cast<int64_t>(archive.size()) - 1, 2, &position), kOk) << "before the archive's start";
  EXPECT_EQ(in->Seek(0, 1, &position), kOk);
  EXPECT_EQ(position, archive.size()) << "a refused seek moves nothing";
  EXPECT_EQ(in->Seek(-2, 1, &position), kOk);
  EXPECT_EQ(position, archive.size() - 2);
  in->Release();
  fs::remove(file);
}

// The partial file on its own: a name of its own until Commit, nothing left behind
// without it, and a read-only file replaced only when asked.
TEST(PartialFile, CommitsInOneStepAndLeavesNothingWhenDropped) {
  const fs::path folder = fs::temp_directory_path() / ("szsfx-partial-" + std::to_string(plat::ProcessId()));
  RemoveTree(folder);
  fs::create_directories(folder);
  const std::u16string base = Wide(folder) + static_cast<char16_t>(kSep);
  auto write = [](TPartialFile& file, const std::string& text) {
    uint32_t written = 0;
    return file.Stream()->Write(text.data(), static_cast<uint32_t>(text.size()), &written) == kOk;
  };
  {
    TPartialFile dropped;
    ASSERT_TRUE(dropped.Create(base, nullptr));
    EXPECT_EQ(fs::path(dropped.Path()).parent_path(), folder);
    EXPECT_TRUE(write(dropped, "half"));
  }
  EXPECT_TRUE(Listing(folder).empty()) << "the destructor removes an uncommitted file";

  const fs::path target = folder / "target.txt";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  TPartialFile kept;
  ASSERT_TRUE(kept.Create(base, nullptr));
  EXPECT_TRUE(write(kept, "new"));
  EXPECT_FALSE(kept.Commit(Wide(target), false, 0, false)) << "an existing file stays unless replacing was allowed";
  EXPECT_EQ(Contents(target), "old");
  EXPECT_EQ(Listing(folder), std::set<std::string>{"target.txt"}) << "a failed commit leaves no partial file";

  TPartialFile replacing;
  ASSERT_TRUE(replacing.Create(base, nullptr));
  EXPECT_TRUE(write(replacing, "new"));
  const uint64_t time = Utc(2021, 3, 4, 5, 6, 7, 1234567);
  EXPECT_TRUE(replacing.Commit(Wide(target), true, time, true)) << "a read-only file is replaced when allowed";
  EXPECT_FALSE(replacing.IsOpen());
  EXPECT_EQ(Contents(target), "new");
  EXPECT_EQ(ModifiedUtc(target), time);
  EXPECT_EQ(Listing(folder), std::set<std::string>{"target.txt"});

  EXPECT_FALSE(replacing.Create(Wide(folder / "missing") + static_cast<char16_t>(kSep), nullptr));
  RemoveTree(folder);
}

TEST(Streams, ReadsAfterACancelAnswerAbortedAndReadNothing) {
  const TArchiveLibrary library(LibraryDir());
  TSevenZip zip(library);
  TTestEvents events;
  ASSERT_TRUE(zip.Open(Named(Data("tree.7z")), events));
  auto* in = new TInFileStream(&zip);  // a stream of this component: it reads the component's cancel
  in->AddRef();
  ASSERT_TRUE(in->Open(Wide(Data("tree.7z"))));
  char buffer[16];
  uint32_t processed = 99;
  zip.RequestCancel(true);
  EXPECT_EQ(in->Read(buffer, sizeof buffer, &processed), kAborted);
  EXPECT_EQ(processed, 0u);
  zip.RequestCancel(false);
  EXPECT_EQ(in->Read(buffer, sizeof buffer, &processed), kOk);
  EXPECT_EQ(processed, 16u);
  EXPECT_EQ(std::string(buffer, 2), "7z") << "the aborted read consumed nothing";
  in->Release();
  zip.Close();
}

TEST(Selection, Wildcards) {
  EXPECT_TRUE(WildcardMatch(u"readme.txt", u"*.*"));
  EXPECT_TRUE(WildcardMatch(u"abc", u"a*c"));
  EXPECT_FALSE(WildcardMatch(u"abd", u"a*c"));
  EXPECT_TRUE(WildcardMatch(u"ABC", u"a?c"));
  EXPECT_TRUE(WildcardMatch(u"ab", u"ab*")) << "a trailing star matches nothing too";
  EXPECT_FALSE(WildcardMatch(u"ab", u"ab*b")) << "the last segment may not reuse matched characters";
  EXPECT_TRUE(WildcardMatch(u"a.b.c", u"a**c"));
  EXPECT_TRUE(WildcardMatch(u"*a", u"*")) << "a star in the name is no star of the mask";
  EXPECT_TRUE(WildcardMatch(u"x*yz", u"x*z"));
  const TItemSelection all({u"*.*"});
  EXPECT_TRUE(all.Matches(u"Makefile")) << "an extensionless name matches *.*";
  EXPECT_FALSE(all.Matches(u""));
}

// 20,000 items, 10,000 of them named by plain lines in another case (those without a dot
// with a dot appended), lines that name no item, a folder entry and a mask: each item is
// selected exactly when a line says so.
TEST(Selection, ManyPlainNamesSelectExactlyTheirItems) {
  const std::u16string sep(1, plat::kPathSeparator);
  const auto upper = [](std::u16string text) {
    for (char16_t& c : text) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    return text;
  };
  std::vector<std::u16string> paths, lines = {u"folder199" + sep, u"*7.TXT"};
  std::set<std::u16string> expected;
  for (int i = 0; i < 20000; ++i) {
    const bool dotted = i % 3 != 0;
    std::u16string path = u"Folder" + Wide(std::to_string(i % 200));
    path.append(sep).append(dotted ? u"item" : u"Item").append(Wide(std::to_string(i))).append(dotted ? u".Txt" : u"");
    paths.push_back(path);
    if (i % 2 == 0) {
      lines.push_back(upper(path) + (dotted ? u"" : u"."));
      expected.insert(path);
    } else if (i % 4 == 1 && dotted) {
      lines.push_back(path.substr(0, path.size() - 4));  // a dotted item is not named without its dot
    }
    if (i % 200 == 199 || (dotted && i % 10 == 7)) expected.insert(path);
  }
  const TItemSelection selection(lines);
  int wrong = 0;
  for (const std::u16string& path : paths) {
    if (selection.Matches(path) != (expected.count(path) == 1) && ++wrong <= 5) ADD_FAILURE() << Narrow(path);
  }
  EXPECT_EQ(wrong, 0);
}

#ifndef _WIN32
// A full disk, brought about by a file-size limit in a child process: the item
// fails and the extraction ends instead of repeating the write forever.
TEST_F(Engine, FullDiskFailsTheItemWithoutAHangAndLeavesNothingHalfWritten) {
  const auto extractLimited = [this] {
    pid_t child = fork();
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{1 << 20, 1 << 20};
      setrlimit(RLIMIT_FSIZE, &limit);
      alarm(60);
      HRes result = Extract("cancel.7z");
      _exit(result != kOk && outcome_.ErrorCount > 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  };
  EXPECT_EQ(extractLimited(), 0);
  EXPECT_FALSE(fs::exists(dest_ / "part1.bin")) << "a truncated file under the real name";
  EXPECT_TRUE(PartialFiles(dest_).empty());

  // In overwrite mode the old file survives the failed replacement byte for byte.
  std::ofstream(dest_ / "part1.bin") << "the old part one";
  events_.Begin = [](const TItemFacts&, const std::u16string&, bool) { return true; };
  EXPECT_EQ(extractLimited(), 0);
  EXPECT_EQ(Contents(dest_ / "part1.bin"), "the old part one");
  EXPECT_TRUE(PartialFiles(dest_).empty());
}
#endif

}  // namespace
}  // namespace szsfx
