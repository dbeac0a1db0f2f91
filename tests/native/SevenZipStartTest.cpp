// The start of a 7z archive as the library and the payload builder read it, checked on an
// archive the 7z command makes, and the CRC-32 both check it with.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "TestFiles.h"
#include "format/SevenZipStart.h"
#include "payload/InputChecks.h"

namespace szsfx {
namespace {

using test::Bytes;

TEST(SevenZipStart, FieldsOfARealArchiveLeadToItsHeaderAndMatchItsChecksums) {
  test::ScratchDir dir;
  test::WriteFile(dir / "data.txt", test::ToBytes(std::string(20000, 'x') + "an end that differs"));
  const std::string command = "cd '" + dir.path() + "' && 7z a -bd -bso0 -bsp0 a.7z data.txt";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const Bytes archive = test::ReadFile(dir / "a.7z");
  ASSERT_GE(archive.size(), kSevenZipStartSize);

  const TSevenZipStart start = ReadSevenZipStart(archive.data());
  EXPECT_TRUE(start.HasSignature);
  EXPECT_EQ(start.MajorVersion, kSevenZipMajorVersion);
  EXPECT_EQ(Crc32(0, archive.data() + kStartHeaderCheckedAt, kStartHeaderCheckedSize), start.StartHeaderCrc);
  ASSERT_GT(start.NextHeaderSize, 0u);
  // The 7z command writes the header last.
  EXPECT_EQ(kSevenZipStartSize + start.NextHeaderOffset + start.NextHeaderSize, archive.size());
  const uint8_t* header = archive.data() + kSevenZipStartSize + start.NextHeaderOffset;
  EXPECT_EQ(Crc32(0, header, static_cast<size_t>(start.NextHeaderSize)), start.NextHeaderCrc);

  Bytes other = archive;
  other[5] ^= 0xFF;
  EXPECT_FALSE(ReadSevenZipStart(other.data()).HasSignature);
}

TEST(SevenZipStart, Crc32IsTheStandardOneAndContinuesAcrossPieces) {
  const char* text = "123456789";
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  EXPECT_EQ(Crc32(0, bytes, 9), 0xCBF43926u);  // the check value of CRC-32 (IEEE 802.3)
  EXPECT_EQ(Crc32(Crc32(0, bytes, 4), bytes + 4, 5), 0xCBF43926u);
  EXPECT_EQ(Crc32(0, bytes, 0), 0u);
  EXPECT_EQ(Crc32(0x12345678u, nullptr, 0), 0x12345678u) << "nothing to add: an empty vector's data";
}

}  // namespace
}  // namespace szsfx
