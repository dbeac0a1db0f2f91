// The main window (Win32): the view that lists the archive, starts the extraction run
// and shows what the run records.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "payload/RunSetup.h"
#include "ui/Dpi.h"
#include "ui/ExtractionRun.h"
#include "ui/WinHandles.h"
#include "ui/WinText.h"

namespace szsfx {

class TPasswordWindow;

// Control identifiers: the test driver finds the controls by these values, which stay.
enum ControlId : int {
  kIdDestinationLabel = 100,
  kIdLinkLabel = 101,
  kIdFileListLabel = 102,
  kIdDestinationEdit = 103,
  kIdBrowseButton = 104,
  kIdExtractButton = 105,
  kIdCancelButton = 106,
  kIdAboutButton = 107,
  kIdFileList = 108,
  kIdBanner = 109,
  kIdProgressBar = 110,
  kIdOverwriteGroup = 111,
  kIdConfirmRadio = 112,
  kIdSkipRadio = 113,
  kIdOverwriteRadio = 114,
};

constexpr wchar_t kMainWindowClass[] = L"TForm1";

class TMainWindow final : private IRunView {
 public:
  explicit TMainWindow(TRunSetup& app);
  ~TMainWindow();
  TMainWindow(const TMainWindow&) = delete;
  TMainWindow& operator=(const TMainWindow&) = delete;
  bool Create();  // builds the window and its controls, hidden
  // The preparation, then the window appears. False when the archive cannot be read
  // (the error was shown): the caller cleans up and ends with kExitFailed.
  bool ShowFirstTime();
  unsigned RunMessageLoop();  // until the window is closed; returns the exit code
  HWND Handle() const { return window_; }
  // The window that answers the archive's password requests.
  void SetPasswordWindow(TPasswordWindow* window) { run_.SetPasswordWindow(window); }

 private:
  static LRESULT CALLBACK LinkProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK GroupProc(HWND, UINT, WPARAM, LPARAM);
  template <typename T>
  friend LRESULT CALLBACK RoutedWindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int notification);
  bool OnCtlColorStatic(HWND control, HDC dc, LRESULT& brush);
  bool OnSetCursor(HWND control);
  void OnActivate(bool inactive);
  void OnDpiChanged(UINT dpi, const RECT* suggested);
  void OnClose();
  void OnDestroy();

  HWND Control(int id) const { return GetDlgItem(id >= kIdConfirmRadio ? group_ : window_, id); }
  HWND AddControl(HWND parent, const wchar_t* cls, int id, DWORD style, int x, int y, int w, int h, DWORD ex = 0);
  void CreateControls();
  void MakeBanner();
  void ApplyTextsAndStates();
  void SetText(int id, const std::u16string& text);
  void SetClientHeight(int height);
  SIZE FrameAt(UINT dpi) const;
  void SetDefaultButton(int id);
  void SetLinkStyle(bool underlined, COLORREF color);

  // The extraction run: the window lists, starts and shows it.
  bool PrepareArchive();
  void FillFileList();
  void RunExtraction();
  void SwitchToRunning();
  std::vector<std::u16string> SelectedItems() const;
  void ShowRunStatus() override;
  void PumpMessages() override { DispatchPending(); }
  void Cancel();
  void Browse();

  // Messages: one place that applies the window's keyboard rules.
  bool ProcessMessage(MSG& msg);
  bool DispatchOne();
  void DispatchPending();
  bool ClickByMnemonic(wchar_t letter);

  TRunSetup& app_;
  TExtractionRun run_;
  std::u16string windowTitle_;
  HWND window_ = nullptr;
  HWND group_ = nullptr;
  TGdi<HFONT> font_, linkFont_;
  TGdi<HBITMAP> bannerBitmap_;
  TGdi<HBRUSH> bannerBrush_;
  TScaledLayout layout_;  // every control's place at 96 DPI
  UINT dpi_ = kBaseDpi;
  int clientHeight_ = 0;  // at 96 DPI
  bool linkUnderlined_ = true;
  COLORREF linkColor_ = RGB(0, 0, 255);
  bool linkHot_ = false;
  int defaultButton_ = 0;
  WNDPROC staticProc_ = nullptr, groupProc_ = nullptr;
  HWND savedFocus_ = nullptr;
};

}  // namespace szsfx
