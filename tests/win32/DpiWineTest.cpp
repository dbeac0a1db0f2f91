// The real stub's windows at the display's DPI under Wine: every control where it is at
// 96 DPI times the scale, texts that fit their controls at the controls' font, the layout
// again after a change of DPI, and screenshots for people to look at. The display's DPI
// is the Wine prefix's (SZSFX_WINE_DPI; 96 when unset).
#include <gtest/gtest.h>

#include <windows.h>

#include <gdiplus.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "Driver.h"
#include "Form.h"
#include "TestFiles.h"
#include "platform/Win32Helpers.h"
#include "ui/PasswordWindow.h"
#include "ui/WinHandles.h"

namespace szsfx::test {
namespace {

constexpr UINT kDpiChanged = 0x02E0, kGetDpiScaledSize = 0x02E4;

UINT ExpectedDpi() {
  const char* dpi = std::getenv("SZSFX_WINE_DPI");
  return dpi && *dpi ? static_cast<UINT>(std::atoi(dpi)) : 96;
}

UINT ScreenDpi() {
  const TWindowDc screen(nullptr);
  return static_cast<UINT>(GetDeviceCaps(screen.Get(), LOGPIXELSY));
}

// The test sees the stub's windows in physical pixels, as a per-monitor aware program.
void BecomeDpiAware() {
  using SetContext = HANDLE(WINAPI*)(HANDLE);
  if (auto set = plat::SystemFunction<SetContext>(L"user32.dll", "SetThreadDpiAwarenessContext"))
    set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));  // per monitor, version 2
}

double At(int pixels, UINT dpi) { return pixels * static_cast<double>(dpi) / 96.0; }

// Each edge within a pixel of the 96-DPI edge times the scale.
void ExpectScaled(const RECT& actual, const TPlace& place, UINT dpi) {
  const RECT at96 = Edges(place);
  EXPECT_LE(std::abs(actual.left - At(at96.left, dpi)), 1.0) << actual.left;
  EXPECT_LE(std::abs(actual.top - At(at96.top, dpi)), 1.0) << actual.top;
  EXPECT_LE(std::abs(actual.right - At(at96.right, dpi)), 1.0) << actual.right;
  EXPECT_LE(std::abs(actual.bottom - At(at96.bottom, dpi)), 1.0) << actual.bottom;
}

RECT BoundsIn(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

SIZE ClientSize(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  return SIZE{r.right, r.bottom};
}

void ExpectClientScaled(HWND window, int width, int height, UINT dpi) {
  const SIZE client = ClientSize(window);
  EXPECT_LE(std::abs(client.cx - At(width, dpi)), 1.0) << client.cx;
  EXPECT_LE(std::abs(client.cy - At(height, dpi)), 1.0) << client.cy;
}

// The size of a control's text drawn in 8-point Tahoma at `dpi`, the font the stub's
// windows use; `wrapWidth` > 0 lets the text wrap at that width.
SIZE TextSize(HWND control, UINT dpi, bool prefix, int wrapWidth = 0) {
  const TMemoryDc dc(CreateCompatibleDC(nullptr));
  const TGdi<HFONT> font(CreateFontW(-MulDiv(8, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
  const TSelectedObject selected(dc.Get(), font.Get());
  const std::wstring text = WindowText(control);
  RECT r{0, 0, wrapWidth, 0};
  const UINT format = DT_CALCRECT | (prefix ? 0 : DT_NOPREFIX) | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE);
  DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r, format);
  return SIZE{r.right, r.bottom};
}

// The line height of the list, which follows the list's font.
int ListLineHeight(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0)); }

// How a control shows its text, and what room it leaves around it (pixels at 96 DPI).
enum class TextKind { Label, Wrapping, Button, Radio, Group };

// The control's text fits inside it at the stub's font, with the room its kind draws
// around the text (button edges, the radio button's circle, the group box's frame).
void ExpectTextFits(HWND control, TextKind kind, UINT dpi) {
  const RECT r = BoundsIn(control);
  const int width = r.right - r.left, height = r.bottom - r.top;
  const auto room = [dpi](int pixels) { return static_cast<int>(std::ceil(At(pixels, dpi))); };
  const SIZE text = TextSize(control, dpi, kind != TextKind::Wrapping, kind == TextKind::Wrapping ? width : 0);
  int roomX = 0, roomY = 0;
  switch (kind) {
    case TextKind::Label:
    case TextKind::Wrapping:
      break;
    case TextKind::Button:
      roomX = room(6), roomY = room(4);
      break;
    case TextKind::Radio:
      roomX = room(13 + 4);
      break;
    case TextKind::Group:
      roomX = room(2 * 8);
      break;
  }
  EXPECT_LE(text.cx + roomX, width) << Narrow(WindowText(control)) << " is cut at the right";
  EXPECT_LE(text.cy + roomY, height) << Narrow(WindowText(control)) << " is cut at the bottom";
}

// The share of a control's pixels on the screen that are the banner's leaf green.
double LeafShare(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return 0;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC screen = GetDC(nullptr);
  HDC copy = CreateCompatibleDC(screen);
  HGDIOBJ before = SelectObject(copy, picture);
  BitBlt(copy, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  int green = 0;
  const auto* pixel = static_cast<const BYTE*>(bits);  // blue, green, red, unused
  for (int i = 0; i < width * height; ++i, pixel += 4) green += pixel[1] > pixel[2] + 30 && pixel[1] > pixel[0] + 30;
  SelectObject(copy, before);
  DeleteDC(copy);
  ReleaseDC(nullptr, screen);
  DeleteObject(picture);
  return static_cast<double>(green) / (width * height);
}

// Saves what the screen shows of `window` as a PNG into SZSFX_SCREENSHOT_DIR, when set.
void KeepScreenshot(HWND window, const std::wstring& name) {
  const char* folder = std::getenv("SZSFX_SCREENSHOT_DIR");
  if (!folder || !*folder) return;
  const std::wstring directory = Widen(folder);
  CreateDirectoryW(directory.c_str(), nullptr);
  RECT r;
  GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC copy = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ before = SelectObject(copy, bitmap);
  BitBlt(copy, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(copy, before);
  DeleteDC(copy);
  ReleaseDC(nullptr, screen);
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
  {
    Gdiplus::Bitmap picture(bitmap, nullptr);
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    const std::wstring path = directory + L"\\" + name;
    EXPECT_EQ(picture.Save(path.c_str(), &png, nullptr), Gdiplus::Ok) << Narrow(path);
  }
  Gdiplus::GdiplusShutdown(token);
  DeleteObject(bitmap);
}

// A block of memory inside the stub's process, for messages whose lParam points to data.
class RemoteBlock {
 public:
  RemoteBlock(DWORD processId, SIZE_T size)
      : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId)),
        address_(process_ ? VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE) : nullptr) {}
  ~RemoteBlock() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }
  template <typename T>
  bool Write(const T& value) {
    return address_ && WriteProcessMemory(process_, address_, &value, sizeof value, nullptr);
  }
  template <typename T>
  bool Read(T& value) const {
    return address_ && ReadProcessMemory(process_, address_, &value, sizeof value, nullptr);
  }

 private:
  HANDLE process_;
  void* address_;
};

class Dpi : public ::testing::Test {
 protected:
  void SetUp() override {
    BecomeDpiAware();
    settings_ = DefaultSettings();
    settings_.ExtractFolder.Set(dir_ / "target");
    settings_.Title.Set("Display scaling");
    SetCursorPos(0, 0);  // away from the link label, which turns red under the pointer
  }
  bool Start(const std::string& archive) {
    sfx_ = BuildSfx(dir_, settings_, archive);
    return stub_.Start(Quoted(sfx_.path));
  }
  bool Launch() {
    if (!Start("tree.7z")) return false;
    HWND form = WaitForReadyForm(stub_);
    if (form) form_ = FormView(form);
    return form != nullptr;
  }
  std::map<int, RECT> MainWindowBounds() const {
    std::map<int, RECT> bounds;
    for (const TControlLayout& c : MainWindowControls()) bounds[c.id] = form_.Bounds(c.id);
    return bounds;
  }
  void ExpectControlsAt(UINT dpi) {
    for (const TControlLayout& c : MainWindowControls()) {
      SCOPED_TRACE(c.id);
      ExpectScaled(form_.Bounds(c.id), c.place, dpi);
    }
  }

  const UINT dpi_ = ExpectedDpi();
  ScratchDir dir_;
  TSettingsRecord settings_{};
  SfxFiles sfx_;
  TestProcess stub_;
  FormView form_{nullptr};
};

TEST_F(Dpi, ReadyWindowScalesEveryControlAndItsTexts) {
  ASSERT_EQ(ScreenDpi(), dpi_) << "the prefix's display does not have the DPI this run is for";
  ASSERT_TRUE(Launch());
  ExpectClientScaled(form_.Window(), 392, 216, dpi_);
  ExpectControlsAt(dpi_);
  // The list's lines follow its font: 13 pixels at 96 DPI, as many more as the font grew.
  EXPECT_LE(std::abs(ListLineHeight(form_.Item(kIdFileList)) - At(13, dpi_)), 1.0);
  const std::pair<int, TextKind> texts[] = {
      {kIdDestinationLabel, TextKind::Label}, {kIdFileListLabel, TextKind::Label},  {kIdLinkLabel, TextKind::Wrapping},
      {kIdBrowseButton, TextKind::Button},    {kIdExtractButton, TextKind::Button}, {kIdCancelButton, TextKind::Button},
      {kIdAboutButton, TextKind::Button},     {kIdOverwriteGroup, TextKind::Group}, {kIdConfirmRadio, TextKind::Radio},
      {kIdSkipRadio, TextKind::Radio},        {kIdOverwriteRadio, TextKind::Radio},
  };
  for (const auto& [id, kind] : texts) {
    SCOPED_TRACE(id);
    ExpectTextFits(form_.Item(id), kind, dpi_);
  }
  // The leaf covers some 29% of the banner, drawn at this size.
  EXPECT_TRUE(WaitUntil([&] { return LeafShare(form_.Item(kIdBanner)) > 0.2; }, 5000));
  EXPECT_LT(LeafShare(form_.Item(kIdBanner)), 0.4);
  Sleep(500);  // the last paint reaches the screen
  KeepScreenshot(form_.Window(), L"window-" + std::to_wstring(dpi_) + L"dpi.png");
  // The about box is the system's, which scales itself: kept for a look at its text.
  form_.Click(kIdAboutButton);
  HWND about = stub_.WaitForWindow(L"#32770");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(MessageBoxText(about).rfind(L"This archive was created with", 0), 0u);
  Sleep(500);
  KeepScreenshot(about, L"about-" + std::to_wstring(dpi_) + L"dpi.png");
  PressButton(about, IDOK);
  WaitUntil([&] { return !IsWindow(about); });
  form_.Click(kIdCancelButton);
  EXPECT_EQ(stub_.WaitForExit(), 2u);
}

TEST_F(Dpi, PasswordWindowScales) {
  ASSERT_TRUE(Start("aes_headers.7z"));
  HWND window = stub_.WaitForWindow(kPasswordWindowClass);
  ASSERT_NE(window, nullptr);
  ExpectClientScaled(window, 280, 73, dpi_);
  for (const TControlLayout& c : kPasswordWindowControls) {
    SCOPED_TRACE(c.id);
    ExpectScaled(BoundsIn(GetDlgItem(window, c.id)), c.place, dpi_);
  }
  ExpectTextFits(GetDlgItem(window, kIdPasswordOkButton), TextKind::Button, dpi_);
  ExpectTextFits(GetDlgItem(window, kIdPasswordCancelButton), TextKind::Button, dpi_);
  const std::wstring password = L"Secret";
  SendMessageW(GetDlgItem(window, kIdPasswordEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
  Sleep(500);
  KeepScreenshot(window, L"password-" + std::to_wstring(dpi_) + L"dpi.png");
  PostMessageW(GetDlgItem(window, kIdPasswordOkButton), BM_CLICK, 0, 0);
  HWND form = WaitForReadyForm(stub_);
  ASSERT_NE(form, nullptr);
  FormView(form).Click(kIdCancelButton);
  EXPECT_EQ(stub_.WaitForExit(), 2u);
}

// Moved to a monitor of another DPI, the window tells the system its exact size there,
// takes the suggested place and lays itself out again; back at the first DPI, every
// control is where it was. The change is announced by the test, so the system's own
// frame stays at the display's DPI: the client area is not compared at the new DPI.
TEST_F(Dpi, LaysItselfOutAgainWhenTheDpiChanges) {
  ASSERT_TRUE(Launch());
  const std::map<int, RECT> before = MainWindowBounds();
  const int lineHeight = ListLineHeight(form_.Item(kIdFileList));
  RECT original;
  GetWindowRect(form_.Window(), &original);
  const UINT moved = 120;  // 125%: a banner scaled from a larger drawing; the window fits the screen
  RemoteBlock block(stub_.Id(), sizeof(RECT));

  SIZE announced{0, 0};
  ASSERT_TRUE(block.Write(announced));
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(form_.Window(), kGetDpiScaledSize, MAKEWPARAM(moved, moved), block.Address(),
                                  SMTO_ABORTIFHUNG, 5000, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  ASSERT_TRUE(block.Read(announced));

  const RECT suggested{20, 10, 20 + announced.cx, 10 + announced.cy};
  ASSERT_TRUE(block.Write(suggested));
  ASSERT_TRUE(SendMessageTimeoutW(form_.Window(), kDpiChanged, MAKEWPARAM(moved, moved), block.Address(),
                                  SMTO_ABORTIFHUNG, 5000, &answer));
  RECT now;
  GetWindowRect(form_.Window(), &now);
  EXPECT_EQ(now.left, suggested.left);
  EXPECT_EQ(now.top, suggested.top);
  EXPECT_EQ(now.right - now.left, announced.cx) << "the size announced for the new DPI";
  EXPECT_EQ(now.bottom - now.top, announced.cy);
  {
    SCOPED_TRACE("at the new DPI");
    ExpectControlsAt(moved);
  }
  EXPECT_LE(std::abs(ListLineHeight(form_.Item(kIdFileList)) - At(13, moved)), 1.0) << "the font follows the DPI";
  EXPECT_TRUE(WaitUntil([&] { return LeafShare(form_.Item(kIdBanner)) > 0.2; }, 5000)) << "the banner at the new size";
  Sleep(500);
  KeepScreenshot(form_.Window(), L"window-" + std::to_wstring(dpi_) + L"dpi-changed-to-120dpi.png");

  ASSERT_TRUE(block.Write(original));
  ASSERT_TRUE(SendMessageTimeoutW(form_.Window(), kDpiChanged, MAKEWPARAM(dpi_, dpi_), block.Address(),
                                  SMTO_ABORTIFHUNG, 5000, &answer));
  GetWindowRect(form_.Window(), &now);
  EXPECT_TRUE(EqualRect(&now, &original));
  const std::map<int, RECT> after = MainWindowBounds();
  for (const TControlLayout& c : MainWindowControls()) {
    SCOPED_TRACE(c.id);
    EXPECT_TRUE(EqualRect(&after.at(c.id), &before.at(c.id)));
  }
  EXPECT_EQ(ListLineHeight(form_.Item(kIdFileList)), lineHeight);
  form_.Click(kIdCancelButton);
  EXPECT_EQ(stub_.WaitForExit(), 2u);
}

}  // namespace
}  // namespace szsfx::test
