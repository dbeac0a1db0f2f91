// Hand-made headers with numbers no writer makes: the handler refuses them at Open (or
// the item at Extract) at once, without allocating by the number or running away.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/Crypto.h"
#include "library/Handler.h"
#include "library/SystemString.h"
#include "tests/library/TestObjects.h"

extern "C" {
#include "7zCrc.h"
}

namespace szsfx::testing {
namespace {

using TBytes = std::vector<uint8_t>;

// A 7z number: the first byte's high bits say how many bytes follow.
void Number(TBytes& out, uint64_t value) {
  if (value < 0x80) {
    out.push_back(static_cast<uint8_t>(value));
    return;
  }
  out.push_back(0xFF);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

TBytes Numbers(std::initializer_list<uint64_t> values) {
  TBytes out;
  for (uint64_t v : values) Number(out, v);
  return out;
}

void Put32(TBytes& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Packed data, then the header, behind a start header with correct checksums.
TBytes Archive(const TBytes& packed, const TBytes& header) {
  szlib::PrepareTables();
  TBytes out = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4};
  out.resize(32);
  for (int i = 0; i < 8; ++i) out[12 + i] = static_cast<uint8_t>(uint64_t{packed.size()} >> (8 * i));
  for (int i = 0; i < 8; ++i) out[20 + i] = static_cast<uint8_t>(uint64_t{header.size()} >> (8 * i));
  Put32(out, 28, CrcCalc(header.data(), header.size()));
  Put32(out, 8, CrcCalc(out.data() + 12, 20));
  out.insert(out.end(), packed.begin(), packed.end());
  out.insert(out.end(), header.begin(), header.end());
  return out;
}

// Header of one folder with one coder (method `id`, properties `props`) over `packed`
// bytes, unpacking to `size`, holding one file.
TBytes OneFolder(const TBytes& id, const TBytes& props, uint64_t packed, uint64_t size) {
  TBytes h = {0x01, 0x04, 0x06};
  TBytes n = Numbers({0, 1, 0x09, packed, 0x00, 0x07, 0x0B, 1, 0, 1});
  h.insert(h.end(), n.begin(), n.end());
  h.push_back(static_cast<uint8_t>(id.size() | (props.empty() ? 0 : 0x20)));
  h.insert(h.end(), id.begin(), id.end());
  if (!props.empty()) {
    Number(h, props.size());
    h.insert(h.end(), props.begin(), props.end());
  }
  h.push_back(0x0C);
  Number(h, size);
  const TBytes tail = {0x00, 0x00, 0x05, 1, 0x00, 0x00};  // end of unpack, streams; one file; ends
  h.insert(h.end(), tail.begin(), tail.end());
  return h;
}

TSystemString SZ_STDCALL AllocString(const wchar_t* text) {
  std::vector<uint16_t> units;
  for (; text && *text; ++text) units.push_back(static_cast<uint16_t>(*text));
  return szlib::NewSystemString(units.data(), units.size());
}

struct TOpened {
  HRes Open = kFailure;
  std::string Refusal;  // the handler's reason for refusing the archive
  std::vector<TItemRecord> Items;
};

std::string RefusalOf(IInArchive* handler) {
  TPropValue value{};
  static_cast<IInArchiveFull*>(handler)->GetArchiveProperty(kArchivePropRefusal, &value);
  if (value.Tag != kTagString) return "";
  std::string text;
  for (const wchar_t* c = value.String; *c; ++c) text += static_cast<char>(*c);
  szlib::DeleteSystemString(value.String);
  return text;
}

TOpened OpenAndExtract(const TBytes& archive) {
  TOpened result;
  TPasswordSource password{AllocString, u"x"};
  IInArchive* handler = szlib::NewHandler();
  auto* stream = new TTestInStream(archive);
  stream->AddRef();
  auto* open = new TTestOpenCallback(password);
  open->AddRef();
  auto* extract = new TExtractRecorder(password);
  extract->AddRef();
  result.Open = handler->Open(stream, nullptr, open);
  result.Refusal = RefusalOf(handler);
  if (result.Open == kOk && handler->Extract(nullptr, 0xFFFFFFFFu, 0, extract) == kOk) result.Items = extract->Items;
  extract->Release();
  open->Release();
  stream->Release();
  handler->Release();
  return result;
}

const TBytes kCopy = {0x00}, kLzma = {0x03, 0x01, 0x01};

TEST(HostileHeader, AWellFormedHandMadeArchiveExtracts) {
  const TOpened r = OpenAndExtract(Archive({'a', 'b', 'c'}, OneFolder(kCopy, {}, 3, 3)));
  ASSERT_EQ(r.Open, kOk);
  EXPECT_EQ(r.Refusal, "");
  ASSERT_EQ(r.Items.size(), 1u);
  EXPECT_EQ(r.Items[0].Result, kResultOk);
  EXPECT_EQ(r.Items[0].Size, 3u);
}

TEST(HostileHeader, CountsBeyondTheHeaderAreRefusedAtOpen) {
  // Files, folders and packed streams by the billion in a header of a few bytes.
  TBytes files = {0x01, 0x05};
  Number(files, uint64_t{1} << 40);
  files.push_back(0x00);
  TBytes folders = {0x01, 0x04, 0x07, 0x0B};
  Number(folders, 4000000000u);
  TBytes packs = {0x01, 0x04, 0x06, 0x00};
  Number(packs, 4000000000u);
  // Each refusal says which check refused it.
  const struct {
    const TBytes& header;
    const char* reason;
  } cases[] = {{files, "too many files for the header"},
               {folders, "a count is beyond its limit or the header"},
               {packs, "a count is beyond its limit or the header"}};
  for (const auto& c : cases) {
    const TOpened r = OpenAndExtract(Archive({}, c.header));
    EXPECT_EQ(r.Open, kFalse);
    EXPECT_EQ(r.Refusal, c.reason);
  }
}

TEST(HostileHeader, PackedDataBeyondTheArchiveOrSizesBeyondTheFolderAreRefused) {
  EXPECT_EQ(OpenAndExtract(Archive({'a', 'b', 'c'}, OneFolder(kCopy, {}, 1u << 30, 3))).Open, kFalse);
  // Two files in a folder of 3 bytes: the first of 1 byte is fine, of 5 bytes is not.
  auto twoFiles = [](uint8_t firstSize) {
    TBytes h = OneFolder(kCopy, {}, 3, 3);
    h.resize(h.size() - 6);
    const TBytes sub = {0x00, 0x08, 0x0D, 2, 0x09, firstSize, 0x00, 0x00, 0x05, 2, 0x00, 0x00};
    h.insert(h.end(), sub.begin(), sub.end());
    return Archive({'a', 'b', 'c'}, h);
  };
  const TOpened fine = OpenAndExtract(twoFiles(1));
  ASSERT_EQ(fine.Open, kOk);
  ASSERT_EQ(fine.Items.size(), 2u);
  EXPECT_EQ(fine.Items[1].Size, 2u);
  EXPECT_EQ(OpenAndExtract(twoFiles(5)).Open, kFalse);
}

TEST(HostileHeader, ChainsThatCannotBeBuiltAreRefused) {
  // 33 coders, more than any folder may have.
  TBytes h = {0x01, 0x04, 0x06, 0, 1, 0x09, 3, 0x00, 0x07, 0x0B, 1, 0, 33};
  EXPECT_EQ(OpenAndExtract(Archive({'a', 'b', 'c'}, h)).Open, kFalse);
  // Two coders whose one bind pair names a coder input that does not exist.
  TBytes bad = {0x01, 0x04, 0x06, 0, 1, 0x09, 3, 0x00, 0x07, 0x0B, 1, 0, 2, 0x01, 0x00, 0x01, 0x00, 9, 0};
  EXPECT_EQ(OpenAndExtract(Archive({'a', 'b', 'c'}, bad)).Open, kFalse);
}

TEST(HostileHeader, OversizedDictionariesAndUnknownMethodsFailOnlyTheirItem) {
  // LZMA with a 4 GiB dictionary: refused, never allocated.
  const TBytes bigDictionary = {0x5D, 0xFF, 0xFF, 0xFF, 0xFF};
  TOpened r = OpenAndExtract(Archive({0, 0, 0, 0, 0}, OneFolder(kLzma, bigDictionary, 5, 1u << 30)));
  ASSERT_EQ(r.Open, kOk);
  ASSERT_EQ(r.Items.size(), 1u);
  EXPECT_EQ(r.Items[0].Result, kResultUnsupportedMethod);
  r = OpenAndExtract(Archive({1, 2, 3}, OneFolder({0x04, 0x01, 0x08}, {}, 3, 3)));  // Deflate
  ASSERT_EQ(r.Items.size(), 1u);
  EXPECT_EQ(r.Items[0].Result, kResultUnsupportedMethod);
  // Properties of the wrong length are no better.
  r = OpenAndExtract(Archive({1, 2, 3}, OneFolder(kLzma, {0x5D, 0, 0}, 3, 3)));
  ASSERT_EQ(r.Items.size(), 1u);
  EXPECT_EQ(r.Items[0].Result, kResultUnsupportedMethod);
}

// Header of one folder whose coders (each method `id` with `props`, unpacking to `size`)
// are joined by `bindPairs` (coder input, coder output), over `packed` bytes, one file.
TBytes Chain(size_t coders, const TBytes& id, const TBytes& props, std::initializer_list<std::pair<int, int>> bindPairs,
             uint64_t packed, uint64_t size) {
  TBytes h = {0x01, 0x04, 0x06};
  TBytes n = Numbers({0, 1, 0x09, packed, 0x00, 0x07, 0x0B, 1, 0, coders});
  h.insert(h.end(), n.begin(), n.end());
  for (size_t i = 0; i < coders; ++i) {
    h.push_back(static_cast<uint8_t>(id.size() | (props.empty() ? 0 : 0x20)));
    h.insert(h.end(), id.begin(), id.end());
    if (!props.empty()) Number(h, props.size()), h.insert(h.end(), props.begin(), props.end());
  }
  for (auto [in, out] : bindPairs) Number(h, static_cast<uint64_t>(in)), Number(h, static_cast<uint64_t>(out));
  h.push_back(0x0C);
  for (size_t i = 0; i < coders; ++i) Number(h, size);
  const TBytes tail = {0x00, 0x00, 0x05, 1, 0x00, 0x00};
  h.insert(h.end(), tail.begin(), tail.end());
  return h;
}

TEST(HostileHeader, FoldersThatCannotBeDecodedFailTheirItemAsUnsupported) {
  // Two coders feeding each other, read by nothing.
  TOpened r = OpenAndExtract(Archive({'a', 'b', 'c'}, Chain(3, kCopy, {}, {{1, 2}, {2, 1}}, 3, 3)));
  ASSERT_EQ(r.Open, kOk);
  ASSERT_EQ(r.Items.size(), 1u);
  EXPECT_EQ(r.Items[0].Result, kResultUnsupportedMethod);
  // The same three coders in a line decode.
  r = OpenAndExtract(Archive({'a', 'b', 'c'}, Chain(3, kCopy, {}, {{0, 1}, {1, 2}}, 3, 3)));
  ASSERT_EQ(r.Items.size(), 1u);
  EXPECT_EQ(r.Items[0].Result, kResultOk);
  // 32 LZMA coders of 1 GiB dictionaries each: 1 GiB is allowed a coder, not a folder.
  std::initializer_list<std::pair<int, int>> line = {
      {0, 1},   {1, 2},   {2, 3},   {3, 4},   {4, 5},   {5, 6},   {6, 7},   {7, 8},   {8, 9},   {9, 10},  {10, 11},
      {11, 12}, {12, 13}, {13, 14}, {14, 15}, {15, 16}, {16, 17}, {17, 18}, {18, 19}, {19, 20}, {20, 21}, {21, 22},
      {22, 23}, {23, 24}, {24, 25}, {25, 26}, {26, 27}, {27, 28}, {28, 29}, {29, 30}, {30, 31}};
  r = OpenAndExtract(Archive(TBytes(64, 0), Chain(32, kLzma, {0x5D, 0, 0, 0, 0x40}, line, 64, 1u << 30)));
  ASSERT_EQ(r.Items.size(), 1u);
  EXPECT_EQ(r.Items[0].Result, kResultUnsupportedMethod);
}

TEST(HostileHeader, DataShorterThanItsSizeIsADataError) {
  // A stored item said to hold 10 bytes in a packed stream of 3.
  const TOpened r = OpenAndExtract(Archive({'a', 'b', 'c'}, OneFolder(kCopy, {}, 3, 10)));
  ASSERT_EQ(r.Open, kOk);
  ASSERT_EQ(r.Items.size(), 1u);
  EXPECT_EQ(r.Items[0].Result, kResultDataError);
}

}  // namespace
}  // namespace szsfx::testing
