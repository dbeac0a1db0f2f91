// The main window (Win32): the view that lists the archive, starts the extraction run
// and shows what the run records.
#pragma once

#include <windows.h>

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

class TMainWindow final : private IRunView, private IWindowMessages {
 public:
  explicit TMainWindow(TRunSetup& app);
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
  // The window that answers the archive's password requests.
  void SetPasswordWindow(TPasswordWindow* window) { run_.SetPasswordWindow(window); }

 private:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnCommand(int id, int notification);
  HBRUSH OnCtlColorStatic(HWND control, HDC dc) const;
  void OnDpiChanged(UINT dpi) override;
  void OnActivate(bool inactive);
  void OnClose();

  HWND Control(int id) const { return GetDlgItem(id >= kIdConfirmRadio ? group_.Handle() : window_, id); }
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
  TExtractionRun run_;
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
