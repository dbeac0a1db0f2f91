// The payload reader on real files: blocks, record, archive offset, library image.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "TestFiles.h"
#include "payload/Payload.h"
#include "platform/Platform.h"

namespace szsfx {
namespace {

namespace fs = std::filesystem;

using test::Block;
using test::Bytes;
using test::ToBytes;

class PayloadReader : public ::testing::Test {
 protected:
  // Writes stub + library + tail to a file and reads blocks and record as start-up does.
  test::PayloadReadBack Read(const Bytes& tail) {
    const std::string path = dir_ / "sfx.exe";
    test::WriteFile(path, test::SelfExtractor(Bytes(100, 0x4D), tail));
    return test::ReadPayload(path);
  }

  test::ScratchDir dir_;
};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes Area(const std::string& text) { return ToBytes(text); }

TEST_F(PayloadReader, TypicalBlockPutsTheArchiveAt303086) {
  // One 2,222-byte block of 66 strings.
  std::string text;
  for (int i = 0; i < 66; ++i) text += "message " + std::to_string(i) + '\0';
  text.resize(2222 - 9 - 1, 'x');
  text += '\0';
  Bytes tail = Concat({Block(Area(text)), test::RecordBytes(test::ValidRecord()), test::SevenZipSignature()});
  test::PayloadReadBack r = Read(tail);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.blocks, 1);
  EXPECT_EQ(r.archiveOffset, 303086u);
  EXPECT_EQ(r.table.Get(1, 0), "message 0");
  EXPECT_EQ(r.table.Get(1, 64), "message 64");
  EXPECT_TRUE(SignatureMatches(r.record));
  Bytes file = test::ReadFile(dir_ / "sfx.exe");
  EXPECT_EQ(Bytes(file.begin() + 303086, file.begin() + 303092), Bytes({'7', 'z', 0xBC, 0xAF, 0x27, 0x1C}));
}

TEST_F(PayloadReader, StringsSplitAtNulAndALastStringWithoutNulCounts) {
  const std::string withoutNul("A\0B", 3), withNul("A\0B\0", 4), emptyMiddle("A\0\0B", 4);
  Bytes record = test::RecordBytes(test::ValidRecord());
  test::PayloadReadBack r =
      Read(Concat({Block(Area(withoutNul)), Block(Area(withNul)), Block(Area(emptyMiddle)), record}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.blocks, 3);
  EXPECT_EQ(r.table.Get(1, 0), "A");
  EXPECT_EQ(r.table.Get(1, 1), "B");
  EXPECT_EQ(r.table.Get(2, 1), "B");
  EXPECT_EQ(r.table.Get(2, 2), "");
  EXPECT_EQ(r.table.Get(3, 1), "");
  EXPECT_EQ(r.table.Get(3, 2), "B");
  EXPECT_TRUE(SignatureMatches(r.record));
}

TEST_F(PayloadReader, NoMarkerMeansNoBlocksAndTheRecordRightAfterTheLibrary) {
  test::PayloadReadBack r = Read(Concat({test::RecordBytes(test::ValidRecord()), test::SevenZipSignature()}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.blocks, 0);
  EXPECT_EQ(r.archiveOffset, kFirstBlockPosition + kSettingsRecordSize);
  EXPECT_TRUE(SignatureMatches(r.record));
  EXPECT_EQ(r.table.Get(1, 3), "");
}

TEST_F(PayloadReader, MarkerIsCaseSensitive) {
  Bytes fake = ToBytes("{slf}");
  test::PayloadReadBack r = Read(Concat({fake, test::RecordBytes(test::ValidRecord())}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.blocks, 0);
  EXPECT_EQ(r.record.Signature.Length, '{');  // the record starts where the false marker stood
}

TEST_F(PayloadReader, LengthBelowTheHeadReadsAsAnEmptyBlock) {
  for (int64_t length : {0, 3, 8, 9}) {
    test::PayloadReadBack r = Read(Concat({Block({}, length), test::RecordBytes(test::ValidRecord())}));
    ASSERT_TRUE(r.ok) << length;
    EXPECT_EQ(r.blocks, 1) << length;
    EXPECT_TRUE(SignatureMatches(r.record)) << length;
    EXPECT_EQ(r.archiveOffset, kFirstBlockPosition + 9 + kSettingsRecordSize) << length;
  }
}

TEST_F(PayloadReader, AreaLongerThanTheBufferIsCutAndPassedOver) {
  Bytes area(80000, 'a');
  area[10] = 0;                  // "aaaaaaaaaa" then a long string
  area[kMaxStringArea + 5] = 0;  // a string starting past the cut is lost
  test::PayloadReadBack r = Read(Concat({Block(area), test::RecordBytes(test::ValidRecord())}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.table.Get(1, 0), std::string(10, 'a'));
  EXPECT_EQ(r.table.Get(1, 1).size(), kMaxStringArea - 11);
  EXPECT_EQ(r.table.Get(1, 2), "");
  EXPECT_TRUE(SignatureMatches(r.record));
  EXPECT_EQ(r.archiveOffset, kFirstBlockPosition + 9 + 80000 + kSettingsRecordSize);
}

TEST_F(PayloadReader, BlocksPastThe32ndAndStringsPastThe100thAreDropped) {
  Bytes tail;
  for (int b = 1; b <= 34; ++b) {
    std::string text;
    for (int i = 0; i < 120; ++i) text += std::to_string(b) + ":" + std::to_string(i) + '\0';
    Bytes block = Block(Area(text));
    tail.insert(tail.end(), block.begin(), block.end());
  }
  Bytes record = test::RecordBytes(test::ValidRecord());
  tail.insert(tail.end(), record.begin(), record.end());
  test::PayloadReadBack r = Read(tail);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.blocks, 32);
  EXPECT_EQ(r.table.Get(1, 99), "1:99");
  EXPECT_EQ(r.table.Get(1, 100), "");
  EXPECT_EQ(r.table.Get(32, 5), "32:5");
  EXPECT_EQ(r.table.Get(33, 5), "");
  EXPECT_TRUE(SignatureMatches(r.record));
}

TEST_F(PayloadReader, ShortRecordKeepsZerosAndTheOffsetStillMovesBy832) {
  TSettingsRecord full = test::ValidRecord();
  full.Title.Set("Visible title");
  Bytes record = test::RecordBytes(full);
  record.resize(600);  // the file ends inside the RunCommand field
  test::PayloadReadBack r = Read(Concat({Block(Area("x")), record}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record.Title.Get(), "Visible title");
  EXPECT_EQ(r.record.HideFileList, 0);
  EXPECT_EQ(r.archiveOffset, kFirstBlockPosition + 10 + kSettingsRecordSize);
}

TEST_F(PayloadReader, FileEndingInsideABlockHeadGivesNoCrash) {
  test::PayloadReadBack r = Read(ToBytes("{SLF}\x05"));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.blocks, 1);
  EXPECT_FALSE(SignatureMatches(r.record));
}

TEST(Signature, OnlyLengthThreeAndBSZMatch) {
  TSettingsRecord record = test::ValidRecord();
  EXPECT_TRUE(SignatureMatches(record));
  const uint8_t wrongs[][4] = {{5, 'B', 'S', 'Z'}, {3, 'B', 'S', 'z'}, {2, 'B', 'S', 'Z'}, {0, 0, 0, 0}};
  for (const auto& wrong : wrongs) {
    std::memcpy(&record.Signature, wrong, 4);
    EXPECT_FALSE(SignatureMatches(record)) << int(wrong[0]);
  }
}

TEST(ShortStrings, LengthByteAboveCapacityIsCutToCapacity) {
  TSettingsRecord record = test::ValidRecord();
  record.Title.Set(std::string(100, 't'));
  EXPECT_EQ(record.Title.Get(), std::string(100, 't'));
  record.Title.Length = 200;
  EXPECT_EQ(record.Title.Get().size(), 100u);
  record.Title.Set(std::string(150, 'u'));
  EXPECT_EQ(record.Title.Length, 100);
  EXPECT_EQ(record.RunCommand.Length, 0) << "Set must not write past its field";
}

TEST_F(PayloadReader, LibraryImageIsAlways76288BytesFromTheSlot) {
  Bytes library(5000);
  for (size_t i = 0; i < library.size(); ++i) library[i] = static_cast<uint8_t>(i * 7);
  const std::string path = dir_ / "sfx.exe", image = dir_ / "7Z.DLL";
  test::WriteFile(path, test::SelfExtractor(library, test::RecordBytes(test::ValidRecord())));
  test::WriteFile(image, Bytes(200000, 0xEE));  // a file planted under the name is never written through
  TInFile file;
  ASSERT_TRUE(file.Open(test::Wide(path)));
  TCopyBuffer buffer = MakeCopyBuffer();
  EXPECT_FALSE(WriteLibraryImage(file, test::Wide(image), buffer));
  EXPECT_EQ(test::ReadFile(image), Bytes(200000, 0xEE));
  fs::remove(image);
  ASSERT_TRUE(WriteLibraryImage(file, test::Wide(image), buffer));
  Bytes expected = library;
  expected.resize(kLibraryImageSize, 0);
  EXPECT_EQ(test::ReadFile(image), expected);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.end()), expected) << "the buffer keeps what was written";

  // A stub file that ends before the slot still gives a full-size (zero) image.
  fs::remove(image);
  test::WriteFile(path, Bytes(1000, 1));
  ASSERT_TRUE(file.Open(test::Wide(path)));
  ASSERT_TRUE(WriteLibraryImage(file, test::Wide(image), buffer));
  EXPECT_EQ(test::ReadFile(image), Bytes(kLibraryImageSize, 0));

  // An image that cannot be written is a failure of this step, not of a later one.
  ASSERT_TRUE(file.Open(test::Wide(path)));
  const std::string missingFolder = dir_ / "missing";
  EXPECT_FALSE(WriteLibraryImage(file, test::Wide(missingFolder + "/7z.dll"), buffer));
}

}  // namespace
}  // namespace szsfx
