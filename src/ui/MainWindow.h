// Form1, the main window, and the extraction run it drives (Win32).
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "engine/SevenZip.h"
#include "payload/RunSetup.h"
#include "ui/Dpi.h"
#include "ui/RunLogic.h"
#include "ui/RunStatus.h"
#include "ui/WinHandles.h"
#include "ui/WinText.h"

namespace szsfx {

class TForm2;

// Control identifiers (the test driver finds the controls by them).
enum ControlId : int {
  kIdDestinationLabel = 100,
  kIdLinkLabel,
  kIdFileListLabel,
  kIdEditBox1,
  kIdBrowseButton,
  kIdButton2,
  kIdButton3,
  kIdButton4,
  kIdFileList,
  kIdBanner,
  kIdProgressBar,
  kIdGroupBox1,
  kIdRadioBox1,
  kIdRadioBox2,
  kIdRadioBox3,
};

constexpr UINT kInvokeMessage = WM_APP + 1;  // lParam: a std::function to run on the window's thread
constexpr wchar_t kForm1Class[] = L"TForm1";

// Process exit codes: a finished or unused window 0, a failed run or a fatal error 1,
// a run the user cancelled 2.
enum ExitCode : unsigned { kExitOk = 0, kExitFailed = 1, kExitCancelled = 2 };

class TForm1 {
 public:
  explicit TForm1(TRunSetup& app);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;
  bool Create();  // builds the window and its controls, hidden
  // The preparation, then the window appears. False when the archive cannot be read
  // (the error was shown): the caller cleans up and ends with kExitFailed.
  bool ShowFirstTime();
  unsigned RunMessageLoop();  // until the window is closed; returns the exit code
  HWND Handle() const { return window_; }

  TSevenZip SevenZip;
  std::atomic<bool> Running{false};  // the running flag; progress events read it on the library's threads
  OverwriteChoice Choice = OverwriteChoice::Overwrite;
  std::string WindowTitle;
  TForm2* PasswordWindow = nullptr;  // answers the archive component's password requests

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

  HWND Control(int id) const { return GetDlgItem(id >= kIdRadioBox1 ? group_ : window_, id); }
  HWND AddControl(HWND parent, const wchar_t* cls, int id, DWORD style, int x, int y, int w, int h, DWORD ex = 0);
  void CreateControls();
  void MakeBanner();
  void ApplyTextsAndStates();
  void SetText(int id, const std::string& text);
  void SetClientHeight(int height);
  SIZE FrameAt(UINT dpi) const;
  void SetDefaultButton(int id);
  void SetLinkStyle(bool underlined, COLORREF color);

  // The extraction run.
  bool PrepareArchive();
  void FillFileList();
  void RunExtraction();
  void SwitchToRunning();
  void ConfigureFileSpec();
  void FinishRun(HRes result, bool aborted);
  void OnProgress(uint8_t total, bool& cancel);
  void OnBegin(const std::u16string& destination, bool& replace);
  void AskOverwrite(const std::u16string& destination, bool& replace);
  void ShowStatus();
  void Cancel();
  void Browse();
  void RunAfterCommand();
  static void StartShown(const std::u16string& line);

  // The archive library calls back from its own threads too: the run's handlers
  // always execute on the window's thread, which keeps pumping while the library works.
  void OnWindowThread(const std::function<void()>& work);
  void RunWhilePumping(const std::function<void()>& work);
  static DWORD WINAPI WorkThread(LPVOID work);

  // Messages: one place that applies the window's keyboard rules.
  bool ProcessMessage(MSG& msg);
  bool DispatchOne();
  void DispatchPending();
  bool ClickByMnemonic(wchar_t letter);

  TRunSetup& app_;
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
  bool inRun_ = false;  // from the start of a run to its close request
  bool ranOnce_ = false;
  bool cancelledAtQuestion_ = false;  // the overwrite question was answered Cancel
  unsigned exitCode_ = kExitOk;
  TRunStatus status_;           // progress and item, recorded by the library's threads
  std::u16string destination_;  // read from the edit box once, when the run starts
  WNDPROC staticProc_ = nullptr, groupProc_ = nullptr;
  HWND savedFocus_ = nullptr;
  DWORD windowThread_ = 0;
};

}  // namespace szsfx
