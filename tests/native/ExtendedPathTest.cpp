// Long paths in their extended form, normalised first.
#include <gtest/gtest.h>

#include "platform/ExtendedPath.h"

namespace plat {
namespace {

TEST(ExtendedPath, DrivePathsAreNormalisedAndPrefixed) {
  EXPECT_EQ(ExtendedPath(u"C:\\data\\file.txt"), u"\\\\?\\C:\\data\\file.txt");
  EXPECT_EQ(ExtendedPath(u"c:/data//sub/./x/../file.txt"), u"\\\\?\\c:\\data\\sub\\file.txt");
  EXPECT_EQ(ExtendedPath(u"C:\\data\\sub\\\\"), u"\\\\?\\C:\\data\\sub") << "trailing separators go";
  EXPECT_EQ(ExtendedPath(u"C:\\"), u"\\\\?\\C:\\") << "the root keeps its separator";
  EXPECT_EQ(ExtendedPath(u"C:\\..\\..\\a"), u"\\\\?\\C:\\a") << "'..' at the root stays there";
  EXPECT_EQ(ExtendedPath(u"C:\\a\\b\\..\\..\\.."), u"\\\\?\\C:\\");
}

TEST(ExtendedPath, UncPathsKeepTheirServerAndShare) {
  EXPECT_EQ(ExtendedPath(u"\\\\server\\share\\dir\\f.txt"), u"\\\\?\\UNC\\server\\share\\dir\\f.txt");
  EXPECT_EQ(ExtendedPath(u"//server/share/a/../b/"), u"\\\\?\\UNC\\server\\share\\b");
  EXPECT_EQ(ExtendedPath(u"\\\\server\\share\\..\\..\\x"), u"\\\\?\\UNC\\server\\share\\x")
      << "'..' cannot leave the share";
  EXPECT_EQ(ExtendedPath(u"\\\\server"), u"\\\\server") << "a server without a share is left alone";
}

TEST(ExtendedPath, ExtendedRelativeAndDeviceFormsAreLeftAlone) {
  for (const std::u16string& same :
       {std::u16string(u"\\\\?\\C:\\a\\..\\b"), std::u16string(u"\\\\?\\UNC\\s\\h\\x"),
        std::u16string(u"\\\\.\\pipe\\x"), std::u16string(u"relative\\path"), std::u16string(u"C:relative"),
        std::u16string(u"\\rooted\\path"), std::u16string(u"")}) {
    EXPECT_EQ(ExtendedPath(same), same);
    EXPECT_EQ(NormalisedPath(same), same);
  }
}

TEST(ExtendedPath, OnlyLongPathsTakeTheExtendedFormForTheSystem) {
  const std::u16string shortPath = u"C:\\data\\.\\file.txt";
  EXPECT_EQ(PathForSystem(shortPath), shortPath) << "the system normalises a short plain path itself";
  std::u16string longPath = u"C:\\deep";
  while (longPath.size() <= kPlainPathLimit) longPath += u"\\folder";
  const std::u16string expected = u"\\\\?\\" + longPath;
  EXPECT_EQ(PathForSystem(longPath), expected);
  EXPECT_EQ(PathForSystem(longPath.substr(0, kPlainPathLimit)), longPath.substr(0, kPlainPathLimit));
}

}  // namespace
}  // namespace plat
