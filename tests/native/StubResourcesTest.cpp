// The publisher's icon, version texts and execution level written into the real stubs'
// resources and read back, the payload still behind the fixed-size stub.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "TestFiles.h"
#include "payload/Payload.h"
#include "payload/PayloadBuilder.h"
#include "payload/StubImage.h"
#include "platform/Platform.h"

namespace szsfx {
namespace {

using test::Bytes;

// The stubs the Windows builds made (SZSFX_TEST_STUBS: paths separated by ';').
std::vector<std::string> BuiltStubs() {
  std::vector<std::string> stubs;
  const char* list = std::getenv("SZSFX_TEST_STUBS");
  std::stringstream paths(list == nullptr ? "" : list);
  for (std::string path; std::getline(paths, path, ';');)
    if (test::Exists(path)) stubs.push_back(path);
  return stubs;
}

const TResource* Find(const std::vector<TResource>& resources, uint16_t type, uint16_t name = 0) {
  for (const TResource& r : resources)
    if (r.Type == type && (name == 0 || (r.NameText.empty() && r.Name == name))) return &r;
  return nullptr;
}

uint16_t Word(const Bytes& b, size_t at) { return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8); }
uint32_t Dword(const Bytes& b, size_t at) { return Word(b, at) | static_cast<uint32_t>(Word(b, at + 2)) << 16; }

// The image checksum computed here word by word, as the system does, to check the writer's
// against: the words but the field's two, the carries folded at each step, plus the length.
uint32_t WholeFileChecksum(const Bytes& file, size_t fieldAt) {
  uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    if (i == fieldAt || i == fieldAt + 2) continue;
    sum += file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return static_cast<uint32_t>(sum + file.size());
}

// The pictures of an icon group, by the icon resources it names.
std::vector<Bytes> GroupPictures(const std::vector<TResource>& resources) {
  const TResource* group = Find(resources, kResourceIconGroup);
  std::vector<Bytes> pictures;
  for (uint16_t i = 0; group != nullptr && i < Word(group->Data, 4); ++i) {
    const TResource* icon = Find(resources, kResourceIcon, Word(group->Data, 6 + 14 * size_t{i} + 12));
    pictures.push_back(icon == nullptr ? Bytes() : icon->Data);
  }
  return pictures;
}

// An .ico file of `pictures`, each taken from the stub's own icon.
Bytes IconFile(const std::vector<Bytes>& pictures) {
  Bytes ico = {0, 0, 1, 0, static_cast<uint8_t>(pictures.size()), 0};
  uint32_t offset = static_cast<uint32_t>(6 + 16 * pictures.size());
  for (const Bytes& p : pictures) {
    Bytes entry(16, 0);
    entry[0] = entry[1] = 32;
    entry[4] = 1;
    entry[6] = 4;
    for (int k = 0; k < 4; ++k) {
      entry[8 + k] = static_cast<uint8_t>(p.size() >> 8 * k);
      entry[12 + k] = static_cast<uint8_t>(offset >> 8 * k);
    }
    ico.insert(ico.end(), entry.begin(), entry.end());
    offset += static_cast<uint32_t>(p.size());
  }
  for (const Bytes& p : pictures) ico.insert(ico.end(), p.begin(), p.end());
  return ico;
}

std::string Manifest(const std::vector<TResource>& resources) {
  const TResource* manifest = Find(resources, kResourceManifest);
  return manifest == nullptr ? "" : std::string(manifest->Data.begin(), manifest->Data.end());
}

struct TChangeCase {
  const char* What;
  int IconPictures;  // 0: keep the stub's icon; else that many copies of its 48-pixel picture
  std::vector<std::pair<std::string, std::string>> Version;
  std::string Level;
  const char* Refusal;  // "" when the change must succeed
};

TEST(StubResources, ChangedAndReadBack) {
  const std::vector<std::string> stubs = BuiltStubs();
  if (stubs.empty()) GTEST_SKIP() << "no Windows stub built (SZSFX_TEST_STUBS)";
  const std::vector<TChangeCase> cases = {
      {"a publisher's icon", 2, {}, "", ""},
      {"version texts",
       0,
       {{"ProductName", "Leaf Tools \xE2\x9C\x93"}, {"FileVersion", "2.5.0.17"}, {"CompanyName", "Ex Ltd"}},
       "",
       ""},
      {"require administrator", 0, {}, "requireAdministrator", ""},
      {"all three", 1, {{"ProductVersion", "3.1"}, {"OriginalFilename", "setup.exe"}}, "highestAvailable", ""},
      {"an icon larger than the room", 40, {}, "", "do not fit in the stub: the resources take"},
      {"a version that is no number", 0, {{"FileVersion", "2.x"}}, "", "a.b.c.d"},
      {"a version part above 65535", 0, {{"ProductVersion", "1.65536"}}, "", "a.b.c.d"},
  };
  for (const std::string& stubPath : stubs) {
    const Bytes stub = test::ReadFile(stubPath);
    std::vector<TResource> original;
    ASSERT_EQ(ReadResources(stub, original), "") << stubPath;
    // The stub's own icon: the 16, 32, 48 and 256 pixel pictures.
    const std::vector<Bytes> defaultIcon = GroupPictures(original);
    ASSERT_EQ(defaultIcon.size(), 4u) << stubPath;
    for (const Bytes& picture : defaultIcon) ASSERT_FALSE(picture.empty()) << stubPath;
    TVersionInfo originalVersion;
    ASSERT_TRUE(ParseVersionInfo(Find(original, kResourceVersion)->Data, originalVersion));

    for (const TChangeCase& c : cases) {
      SCOPED_TRACE(stubPath + ": " + c.What);
      TStubResourceChanges changes;
      std::vector<Bytes> pictures(static_cast<size_t>(c.IconPictures), defaultIcon[2]);
      if (!pictures.empty()) changes.IconFile = IconFile(pictures);
      changes.VersionStrings = c.Version;
      changes.ExecutionLevel = c.Level;
      Bytes image = stub;
      std::string error = ChangeStubResources(image, changes);
      if (*c.Refusal != '\0') {
        EXPECT_NE(error.find(c.Refusal), std::string::npos) << error;
        EXPECT_EQ(image, stub);
        continue;
      }
      ASSERT_EQ(error, "");
      ASSERT_EQ(image.size(), stub.size());
      std::vector<TResource> changed;
      ASSERT_EQ(ReadResources(image, changed), "");
      EXPECT_EQ(GroupPictures(changed), pictures.empty() ? defaultIcon : pictures);
      for (uint16_t bitmapType : {uint16_t{2}}) {  // the banners, untouched
        size_t before = 0, after = 0;
        for (const TResource& r : original) before += r.Type == bitmapType ? r.Data.size() : 0;
        for (const TResource& r : changed) after += r.Type == bitmapType ? r.Data.size() : 0;
        EXPECT_EQ(after, before);
      }
      TVersionInfo version;
      ASSERT_TRUE(ParseVersionInfo(Find(changed, kResourceVersion)->Data, version));
      for (const auto& [key, value] : originalVersion.Strings) {  // given texts replaced, the others kept
        std::string expected = value;
        for (const auto& [givenKey, givenValue] : c.Version)
          if (givenKey == key) expected = givenValue;
        bool found = false;
        for (const auto& [readKey, readValue] : version.Strings)
          if (readKey == key) found = readValue == expected;
        EXPECT_TRUE(found) << key << " should read " << expected;
      }
      for (const auto& [key, value] : c.Version) {
        bool found = false;
        for (const auto& [readKey, readValue] : version.Strings)
          found = found || (readKey == key && readValue == value);
        EXPECT_TRUE(found) << key;
      }
      const uint16_t kFile[4] = {2, 5, 0, 17}, kProduct[4] = {3, 1, 0, 0};
      const bool fileGiven = c.Version.size() == 3, productGiven = c.Version.size() == 2;
      for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(version.FileVersion[i], fileGiven ? kFile[i] : originalVersion.FileVersion[i]);
        EXPECT_EQ(version.ProductVersion[i], productGiven ? kProduct[i] : originalVersion.ProductVersion[i]);
      }
      std::string expectedManifest = Manifest(original);
      if (!c.Level.empty()) {
        const size_t at = expectedManifest.find("level=\"asInvoker\"");
        ASSERT_NE(at, std::string::npos);
        expectedManifest.replace(at + 7, 9, c.Level);
      }
      EXPECT_EQ(Manifest(changed), expectedManifest);
      // The image headers agree with the rebuilt section: SizeOfImage covers the last
      // section, the resource directory's size is the section's.
      const uint32_t pe = Dword(image, 0x3C), optional = pe + 24;
      const uint16_t sectionCount = Word(image, pe + 6);
      const bool plus = Word(image, optional) == 0x20B;
      const uint32_t sectionAlignment = Dword(image, optional + 32), sizeOfImage = Dword(image, optional + 56);
      const size_t last = optional + Word(image, pe + 20) + 40 * size_t{sectionCount - 1u};
      const uint32_t lastEnd = Dword(image, last + 12) + Dword(image, last + 8);
      EXPECT_EQ(sizeOfImage, (lastEnd + sectionAlignment - 1) / sectionAlignment * sectionAlignment);
      EXPECT_LE(size_t{Dword(image, last + 20)} + Dword(image, last + 16), size_t{kStubImageSize});
      const uint32_t resourceRva = Dword(image, optional + (plus ? 112 : 96) + 16);
      for (uint16_t s = 0; s < sectionCount; ++s) {
        const size_t header = optional + Word(image, pe + 20) + 40 * size_t{s};
        if (Dword(image, header + 12) == resourceRva) {
          EXPECT_EQ(Dword(image, header + 8), Dword(image, optional + (plus ? 112 : 96) + 20));
        }
      }

      // Behind the changed stub, the payload is where the stub looks for it.
      test::ScratchDir dir;
      test::WriteFile(dir / "stub.exe", image);
      test::WriteFile(dir / "lib", test::PeImage(Word(image, pe + 4), true, 1000));
      const Bytes archive = test::SevenZipArchive(Bytes(300, 0x55), test::ToBytes("header"));
      test::WriteFile(dir / "a.7z", archive);
      TBuildRequest request;
      request.StubPath = dir / "stub.exe";
      request.LibraryPath = dir / "lib";
      request.ArchivePath = dir / "a.7z";
      request.OutputPath = dir / "out.exe";
      request.Settings = DefaultSettings();
      request.Areas = {StringArea(DefaultMessages(), error)};
      request.ImageChecksum = true;
      ASSERT_EQ(BuildSelfExtractor(request), "");
      const Bytes out = test::ReadFile(request.OutputPath);
      EXPECT_EQ(Dword(out, optional + 64), WholeFileChecksum(out, optional + 64)) << "summed while written";
      EXPECT_EQ(Bytes(out.begin() + optional + 68, out.begin() + kStubImageSize),
                Bytes(image.begin() + optional + 68, image.end()));
      const test::PayloadReadBack read = test::ReadPayload(request.OutputPath);
      ASSERT_TRUE(read.ok);
      EXPECT_EQ(read.archiveOffset, out.size() - archive.size());
    }
  }
}

}  // namespace
}  // namespace szsfx
