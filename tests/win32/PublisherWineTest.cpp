// The Windows half of tests/win32/publisher_wine.sh: a self-extractor built with a
// publisher's icon, version texts and execution level, then signed, read back through the
// system's own calls and extracted.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "Driver.h"
#include "TestFiles.h"

namespace szsfx::test {
namespace {

std::string VersionText(const std::vector<BYTE>& block, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || value == nullptr)
    return "(none)";
  return ToUtf8(std::wstring(value, length > 0 ? length - 1 : 0));
}

// The colour at the centre of the icon's picture, as 0xRRGGBB.
DWORD CentreColour(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return 0xFFFFFFFF;
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, info.hbmColor, 0, 0, nullptr, &format, DIB_RGB_COLORS);
  const LONG side = format.bmiHeader.biWidth;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  format.bmiHeader.biHeight = -side;
  std::vector<DWORD> pixels(static_cast<size_t>(side) * static_cast<size_t>(side));
  GetDIBits(screen, info.hbmColor, 0, static_cast<UINT>(side), pixels.data(), &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  const size_t width = static_cast<size_t>(side);
  return pixels.empty() ? 0xFFFFFFFF : pixels[(width / 2) * width + width / 2] & 0xFFFFFF;
}

TEST(Publisher, SignedSelfExtractorShowsItsResourcesAndExtracts) {
  const char* sfx = std::getenv("SZSFX_PUBLISHER_SFX");
  const char* source = std::getenv("SZSFX_PUBLISHER_SOURCE");
  if (!sfx || !source) GTEST_SKIP() << "only for tests/win32/publisher_wine.sh";
  const std::wstring path = FromUtf8(sfx);

  HICON large = nullptr;
  ASSERT_EQ(ExtractIconExW(path.c_str(), 0, &large, nullptr, 1), 1u);
  EXPECT_EQ(CentreColour(large), 0xC81E1Eu);  // the publisher's red square
  DestroyIcon(large);

  DWORD ignored = 0;
  std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  EXPECT_EQ(VersionText(block, L"ProductName"), "Leaf Tools");
  EXPECT_EQ(VersionText(block, L"CompanyName"), "Ex\u00e4mple Publisher \u2713");
  EXPECT_EQ(VersionText(block, L"FileVersion"), "2.5.0.17");
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020005u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000011u);

  HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr);
  HRSRC manifest = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(image, manifest))),
                         SizeofResource(image, manifest));
  FreeLibrary(image);
  EXPECT_NE(text.find("<requestedExecutionLevel level=\"highestAvailable\" uiAccess=\"false\"/>"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);

  ScratchDir dir;
  const std::string dest = dir / "dest";
  TestProcess run;
  ASSERT_TRUE(run.Start(Quoted(sfx) + L" -s -d " + Quoted(dest)));
  EXPECT_EQ(run.WaitForExit(Scaled(60000)), 0u);
  std::string difference;
  EXPECT_TRUE(SameTree(source, dest, difference)) << difference;
}

}  // namespace
}  // namespace szsfx::test
