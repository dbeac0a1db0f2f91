// The payload builder: layout, limits, message files, and never a half-written output.
#include <gtest/gtest.h>

#include <cstring>

#include "TestFiles.h"
#include "payload/Payload.h"
#include "payload/PayloadBuilder.h"
#include "platform/Platform.h"

namespace szsfx {
namespace {

using test::Bytes;

class Builder : public ::testing::Test {
 protected:
  void SetUp() override {
    Bytes stub = test::PeImage(test::kMachineX86, false, kStubImageSize);
    stub.back() = 0x90;
    test::WriteFile(dir_ / "stub", stub);
    Bytes library = test::PeImage(test::kMachineX86, true, 1234);
    library.back() = 0x11;
    test::WriteFile(dir_ / "lib", library);
    archive_ = test::SevenZipArchive(Bytes(5000, 0x77), test::ToBytes("header"));
    test::WriteFile(dir_ / "a.7z", archive_);
    request_.StubPath = dir_ / "stub";
    request_.LibraryPath = dir_ / "lib";
    request_.ArchivePath = dir_ / "a.7z";
    request_.OutputPath = dir_ / "out.exe";
    request_.Settings = DefaultSettings();
  }

  // The build fails with `expected` in its error and leaves the previous output alone.
  void ExpectRefusal(const std::string& expected) {
    std::string error = BuildSelfExtractor(request_);
    EXPECT_NE(error.find(expected), std::string::npos) << error;
    EXPECT_EQ(test::ReadFile(request_.OutputPath), test::ToBytes("previous build"));
    EXPECT_FALSE(test::Exists(request_.OutputPath + ".part"));
  }

  test::ScratchDir dir_;
  Bytes archive_;
  TBuildRequest request_;
};

TEST_F(Builder, LaysOutStubLibraryBlocksRecordArchive) {
  std::string error;
  request_.Areas = {StringArea({"first", "second"}, error), StringArea({"other"}, error)};
  request_.Settings.Title.Set("Demo");
  ASSERT_EQ(BuildSelfExtractor(request_), "");
  Bytes out = test::ReadFile(request_.OutputPath);
  ASSERT_EQ(out.size(), kFirstBlockPosition + (9 + 13) + (9 + 6) + 832 + archive_.size());
  EXPECT_EQ(out[kStubImageSize - 1], 0x90);
  EXPECT_EQ(out[kStubImageSize + 1233], 0x11);
  EXPECT_EQ(out[kStubImageSize + 1234], 0x00);
  EXPECT_EQ(Bytes(out.end() - static_cast<long>(archive_.size()), out.end()), archive_);

  // The stub's own reader finds everything where the builder put it.
  const test::PayloadReadBack read = test::ReadPayload(request_.OutputPath);
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(read.blocks, 2);
  EXPECT_EQ(read.table.Get(1, 1), "second");
  EXPECT_EQ(read.table.Get(2, 0), "other");
  EXPECT_TRUE(SignatureMatches(read.record));
  EXPECT_EQ(read.record.Title.Get(), "Demo");
  EXPECT_EQ(read.archiveOffset, out.size() - archive_.size());
}

TEST_F(Builder, RefusesBadInputsAndKeepsTheOldOutput) {
  test::WriteFile(request_.OutputPath, test::ToBytes("previous build"));
  auto refuses = [&](const std::string& expected) { ExpectRefusal(expected); };
  test::WriteFile(dir_ / "lib", Bytes(kLibraryImageSize + 1, 1));
  refuses("larger than the 76288-byte slot");
  test::WriteFile(dir_ / "lib", test::PeImage(test::kMachineX86, true, kLibraryImageSize));
  test::WriteFile(dir_ / "stub", test::PeImage(test::kMachineX86, false, kStubImageSize - 1));
  refuses("must be exactly 223744 bytes");
  test::WriteFile(dir_ / "stub", test::PeImage(test::kMachineX86, false, kStubImageSize));
  request_.ArchivePath = dir_ / "missing.7z";
  refuses("cannot read the archive");
  request_.ArchivePath = dir_ / "a.7z";
  request_.Areas.assign(33, Bytes{'x', 0});
  refuses("at most 32 message blocks");
  request_.Areas.assign(1, Bytes(kMaxStringArea + 1, 'x'));
  refuses("at most 76287 bytes");
  request_.Areas.clear();
  EXPECT_EQ(BuildSelfExtractor(request_), "");  // a full-size library is fine
  EXPECT_EQ(test::ReadFile(request_.OutputPath).size(), kFirstBlockPosition + 832 + archive_.size());
}

TEST_F(Builder, RefusesImagesOfTheWrongKindOrOfTwoArchitectures) {
  test::WriteFile(request_.OutputPath, test::ToBytes("previous build"));
  auto refuses = [&](const std::string& expected) { ExpectRefusal(expected); };
  test::WriteFile(dir_ / "lib", test::PeImage(test::kMachineX64, true, 4096));
  refuses("is a 32-bit x86 program but the library image " + (dir_ / "lib") + " is a 64-bit x86-64 DLL");
  test::WriteFile(dir_ / "stub", test::PeImage(test::kMachineX64, false, kStubImageSize));
  EXPECT_EQ(BuildSelfExtractor(request_), "") << "a 64-bit stub with a 64-bit library";
  test::WriteFile(request_.OutputPath, test::ToBytes("previous build"));
  test::WriteFile(dir_ / "lib", test::PeImage(test::kMachineX64, false, 4096));
  refuses("is not a Windows DLL");
  test::WriteFile(dir_ / "lib", test::ToBytes("root:x:0:0:root:/root:/bin/bash\n"));
  refuses("is not a Windows DLL");
  Bytes noPe = test::PeImage(test::kMachineX64, true, 4096);
  noPe[0x3C] = 0xF0;  // the PE header's position points past the end
  noPe[0x3D] = 0xFF;
  test::WriteFile(dir_ / "lib", noPe);
  refuses("is not a Windows DLL");
  test::WriteFile(dir_ / "lib", test::PeImage(test::kMachineX64, true, 4096));
  test::WriteFile(dir_ / "stub", test::PeImage(test::kMachineX64, true, kStubImageSize));
  refuses("is not a Windows program");
  test::WriteFile(dir_ / "stub", Bytes(kStubImageSize, 0));
  refuses("is not a Windows program");
}

TEST_F(Builder, RefusesArchivesThatAreNotCompleteSevenZipArchives) {
  auto refuses = [&](const Bytes& archive, const std::string& expected) {
    test::WriteFile(dir_ / "a.7z", archive);
    std::string error = BuildSelfExtractor(request_);
    EXPECT_NE(error.find(expected), std::string::npos) << error;
    EXPECT_FALSE(test::Exists(request_.OutputPath));
  };
  const Bytes good = test::SevenZipArchive(Bytes(300, 0x42), test::ToBytes("the header"));
  refuses(test::ToBytes("root:x:0:0:root:/root:/bin/bash\n"), "is not a 7z archive");
  refuses(test::SevenZipSignature(), "is not a 7z archive");
  refuses(Bytes(good.begin(), good.end() - 1), "is incomplete");
  Bytes bad = good;
  bad[9] ^= 1;  // the start header's checksum
  refuses(bad, "start header is wrong");
  bad = good;
  bad.back() ^= 1;  // a byte of the header
  refuses(bad, "header checksum is wrong");
  bad = good;
  bad[19] = 0x80;  // a next-header offset that wraps around
  bad[8] = 0;
  refuses(bad, "is");
  bad = good;
  bad[6] = 1;
  refuses(bad, "version 1");
  test::WriteFile(dir_ / "a.7z", good);
  EXPECT_EQ(BuildSelfExtractor(request_), "");
  test::WriteFile(dir_ / "a.7z", test::SevenZipArchive({}, {}));
  EXPECT_EQ(BuildSelfExtractor(request_), "") << "an empty archive is complete";
}

TEST(CodePages, TextsAreWrittenInTheStubsCodePage) {
  std::string error;
  EXPECT_EQ(InCodePage("caf\xC3\xA9 \xE2\x82\xAC", 1252, "--title", error), "caf\xE9 \x80");
  EXPECT_EQ(error, "");
  // Greek: one byte per character in 1253, none at all in 1252.
  EXPECT_EQ(InCodePage("\xCE\x95\xCE\xBB", 1253, "--title", error), "\xC5\xEB");
  EXPECT_EQ(error, "");
  EXPECT_EQ(InCodePage("\xCE\x95\xCE\xBB", 1252, "--title", error), "");
  EXPECT_EQ(error, "--title holds a character that code page 1252 cannot hold");
  error.clear();
  InCodePage("\xC3(", 1252, "--run", error);
  EXPECT_EQ(error, "--run is not valid UTF-8");
  error.clear();
  InCodePage("text", 64999, "--run", error);
  EXPECT_EQ(error, "code page 64999 is not known");
  error.clear();
  // Japanese: two bytes per character in 932.
  EXPECT_EQ(InCodePage("\xE6\x97\xA5\xE6\x9C\xAC", 932, "--title", error), "\x93\xFA\x96\x7B");
}

TEST(CodePages, MessageFilesConvertTheirTextButNotTheirEscapedBytes) {
  std::string error;
  auto messages = ParseMessageText("\xCE\x95 \\x80\n\xE2\x82\xAC\\r\\n", error, 1253);
  EXPECT_EQ(error, "");
  EXPECT_EQ(messages, (std::vector<std::string>{"\xC5 \x80", "\x80\r\n"}));
  messages = ParseMessageText("fine\n\xCE\x95\n", error, 1252);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(error, "message line 2: the text holds a character that code page 1252 cannot hold");
}

TEST(Messages, DefaultTableCarriesTheTypicalTexts) {
  const auto& m = DefaultMessages();
  ASSERT_EQ(m.size(), 66u);
  EXPECT_EQ(Bytes(m[0].begin(), m[0].begin() + 4), (Bytes{0x33, 0x19, 0x32, 0x59}));
  EXPECT_EQ(m[3], "Please wait, initialising. . .");
  EXPECT_EQ(m[36], "...already exists, overwrite?");
  // The texts say what the stub does when it shows them: 17 is the folder dialog's caption
  // (no access key), 40 a destination it cannot use, 42 a damaged settings record.
  EXPECT_EQ(m[17], "Select a folder to extract to");
  EXPECT_EQ(m[40], "The destination folder cannot be created or written to. Please choose another folder.");
  EXPECT_EQ(m[42], "The settings of this self-extractor are damaged, please try to download this file again.");
  EXPECT_EQ(m[41], "The selected file(s) couldn't get extracted.");
  EXPECT_EQ(m[45], "Currently extracting: ");
  EXPECT_EQ(m[50], "Please enter the password for %s");
  EXPECT_EQ(m[22].rfind("Created with Brambleloader  --  ", 0), 0u);
  EXPECT_EQ(m[64], "\r\n");
  std::string error;
  Bytes area = StringArea(m, error);
  EXPECT_EQ(area.back(), 0) << "the empty message 66 follows the last NUL";
  EXPECT_LT(area.size(), kMaxStringArea);
}

TEST(Messages, MessageFilesRoundTripAndRejectBadEscapes) {
  std::string error;
  std::vector<std::string> parsed = ParseMessageText(FormatMessageText(DefaultMessages()), error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(parsed, DefaultMessages());
  EXPECT_EQ(ParseMessageText("a\\r\\nb\r\n\\x41\\\\\nlast", error),
            (std::vector<std::string>{"a\r\nb", "A\\", "last"}));
  for (const char* bad : {"\\q", "tail\\", "\\x4", "\\x00", "\\xZZ"}) {
    error.clear();
    EXPECT_TRUE(ParseMessageText(bad, error).empty()) << bad;
    EXPECT_NE(error, "") << bad;
  }
  error.clear();
  StringArea(std::vector<std::string>(101, "m"), error);
  EXPECT_NE(error.find("at most 100 messages"), std::string::npos);
}

}  // namespace
}  // namespace szsfx
