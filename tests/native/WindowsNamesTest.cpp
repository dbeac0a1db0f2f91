// Item names that would reach a device or lose their ending get safe names.
#include <gtest/gtest.h>

#include "engine/WindowsNames.h"

namespace szsfx {
namespace {

TEST(WindowsNames, DeviceNamesInAnyCaseAndWithExtensionsAreRecognised) {
  for (const char16_t* device : {u"CON", u"prn", u"Aux", u"nul", u"NUL.txt", u"nul.tar.gz", u"COM1", u"com9.log",
                                 u"LPT1", u"lpt9", u"CONIN$", u"conout$.x", u"COM\u00B9", u"NUL .txt", u"con "}) {
    EXPECT_TRUE(IsReservedDeviceName(device))
        << std::string(device, device + std::char_traits<char16_t>::length(device));
  }
  for (const char16_t* plain : {u"CONSOLE", u"NULL", u"COM0", u"COM10", u"LPT", u"xCON", u"con_", u"AUX1", u"", u".nul",
                                u"CONIN", u"COM\u00B4"}) {
    EXPECT_FALSE(IsReservedDeviceName(plain)) << std::string(plain, plain + std::char_traits<char16_t>::length(plain));
  }
}

TEST(WindowsNames, UnsafeComponentsGetSafeNamesThatDoNotCollide) {
  EXPECT_EQ(SafeComponent(u"CON"), u"_CON");
  EXPECT_EQ(SafeComponent(u"nul.txt"), u"_nul.txt");
  EXPECT_EQ(SafeComponent(u"trail."), u"trail._");
  EXPECT_EQ(SafeComponent(u"trail2 "), u"trail2 _");
  EXPECT_EQ(SafeComponent(u"CON."), u"_CON._");
  EXPECT_EQ(SafeComponent(u"readme.txt"), u"readme.txt");
  EXPECT_EQ(SafeComponent(u"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC"),
            u"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC");
  EXPECT_NE(SafeComponent(u"a."), SafeComponent(u"a")) << "'a.' and 'a' stay two files";
}

TEST(WindowsNames, EveryComponentOfAPathIsMadeSafe) {
  EXPECT_EQ(SafeItemPath(u"d\\COM1.log"), u"d\\_COM1.log");
  EXPECT_EQ(SafeItemPath(u"aux/dir./file "), u"_aux/dir._/file _");
  EXPECT_EQ(SafeItemPath(u"plain\\path\\name.txt"), u"plain\\path\\name.txt");
  EXPECT_EQ(SafeItemPath(u""), u"");
}

}  // namespace
}  // namespace szsfx
