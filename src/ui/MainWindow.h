// The main window (Win32): the view that lists the archive, starts the extraction run
// and shows what the run records.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "payload/RunSetup.h"
#include "ui/Banner.h"
#include "ui/DialogKeyboard.h"
#include "ui/Dpi.h"
#include "ui/ExtractionRun.h"
#include "ui/FileList.h"
#include "ui/LinkLabel.h"
#include "ui/RadioGroup.h"
#include "ui/WinText.h"

namespace szsfx {

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

// The main window's controls inside its client area, and the radio buttons inside the
// overwrite group.
constexpr DWORD kOneLineStyle = SS_LEFTNOWORDWRAP, kButtonStyle = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kListStyle = LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
constexpr TControlLayout kMainWindowControls[] = {
    {L"STATIC", kIdDestinationLabel, kOneLineStyle, {64, 8, 225, 22}, 0},
    {L"STATIC", kIdLinkLabel, SS_CENTER | SS_NOPREFIX | SS_NOTIFY, {0, 205, 393, 17}, 0},
    {L"STATIC", kIdFileListLabel, kOneLineStyle, {8, 59, 281, 19}, 0},
    {L"EDIT", kIdDestinationEdit, ES_AUTOHSCROLL | WS_TABSTOP, {64, 32, 193, 22}, WS_EX_CLIENTEDGE},
    {L"BUTTON", kIdBrowseButton, kButtonStyle, {264, 32, 25, 18}, 0},
    {L"BUTTON", kIdExtractButton, kButtonStyle, {312, 8, 72, 24}, 0},
    {L"BUTTON", kIdCancelButton, kButtonStyle, {312, 40, 72, 24}, 0},
    {L"BUTTON", kIdAboutButton, kButtonStyle, {312, 72, 72, 24}, 0},
    {L"LISTBOX", kIdFileList, kListStyle, {8, 79, 281, 75}, 0},
    {L"STATIC", kIdBanner, SS_LEFT, {8, 8, TBanner::kSide, TBanner::kSide}, WS_EX_TRANSPARENT},
    {PROGRESS_CLASSW, kIdProgressBar, 0, {8, 200, 377, 20}, 0},
    {L"BUTTON", kIdOverwriteGroup, BS_GROUPBOX, {8, 157, 281, 41}, WS_EX_CONTROLPARENT},
};
constexpr TControlLayout kOverwriteRadios[] = {
    {L"BUTTON", kIdConfirmRadio, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, {8, 16, 89, 22}, 0},
    {L"BUTTON", kIdSkipRadio, BS_AUTORADIOBUTTON | WS_TABSTOP, {104, 16, 81, 22}, 0},
    {L"BUTTON", kIdOverwriteRadio, BS_AUTORADIOBUTTON | WS_TABSTOP, {192, 16, 81, 22}, 0},
};

constexpr bool IsOverwriteRadio(int id) {
  for (const TControlLayout& radio : kOverwriteRadios) {
    if (radio.id == id) return true;
  }
  return false;
}

class TMainWindow final : private IRunView, private IWindowMessages {
 public:
  // The window shows `run`, which outlives it.
  TMainWindow(TRunSetup& app, TExtractionRun& run);
  ~TMainWindow();
  TMainWindow(const TMainWindow&) = delete;
  TMainWindow& operator=(const TMainWindow&) = delete;
  bool Create();  // builds the window and its controls, hidden
  // The preparation, then the window appears. False when the archive cannot be read
  // (the error was shown): the caller cleans up and ends with kExitFailed.
  bool ShowFirstTime();
  // The process's exit code: of the run, or of the archive that could not be opened.
  unsigned ExitCode() const { return run_.ExitCode(); }
  unsigned RunMessageLoop();  // until the window is closed; returns the exit code
  HWND Handle() const { return window_; }

 private:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnCommand(int id, int notification);
  HBRUSH OnCtlColorStatic(HWND control, HDC dc) const;
  void OnDpiChanged(UINT dpi) override;
  void OnActivate(bool inactive);
  void OnClose();

  HWND Control(int id) const { return GetDlgItem(IsOverwriteRadio(id) ? group_.Handle() : window_, id); }
  void CreateControls();
  void ApplyTextsAndStates();
  void SetText(int id, const std::u16string& text);
  void SetDefaultButton(int id);

  // The extraction run: the window lists, starts and shows it.
  bool PrepareArchive();
  void RunExtraction();
  void RefuseDestination(int message);
  void SwitchToRunning();
  void ShowRunStatus() override;
  void PumpMessages() override { keyboard_.DispatchPending(); }
  void Cancel();
  void Browse();

  TRunSetup& app_;
  TExtractionRun& run_;
  std::u16string windowTitle_;
  HWND window_ = nullptr;
  TScaledWindow scaled_;  // the window at its DPI; every control's place at 96 DPI
  TRadioGroup group_;     // the overwrite choice
  TLinkLabel link_;
  TBanner banner_;
  TFileList fileList_;
  TDialogKeyboard keyboard_;
  int defaultButton_ = 0;
  HWND savedFocus_ = nullptr;
};

}  // namespace szsfx
