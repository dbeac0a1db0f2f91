#include "ui/MainWindow.h"

#include <commctrl.h>

#include "platform/PhaseTrace.h"
#include "platform/Platform.h"
#include "run/RunLogic.h"
#include "ui/FolderBrowser.h"
#include "ui/ShellCalls.h"
#include "ui/WinText.h"

namespace szsfx {

namespace {

constexpr int kClientWidth = 392, kClientHeight = 224;
constexpr int kPreparingHeight = 240, kReadyHeight = 216;
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;
// While a run works the window shows its progress and item this often (25 times a second).
constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusInterval = 40;

}  // namespace

TMainWindow::TMainWindow(TRunSetup& app, TExtractionRun& run)
    : app_(app), run_(run), scaled_(kClientWidth, kClientHeight, kStyle, kExStyle) {}

TMainWindow::~TMainWindow() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);  // before the fonts and brushes it uses go
}

bool TMainWindow::Create() {
  window_ = scaled_.Create(kMainWindowClass, W(app_.Title), nullptr, this);
  if (!window_) return false;
  CreateControls();
  ApplyTextsAndStates();
  return true;
}

void TMainWindow::CreateControls() {
  for (const TControlLayout& control : kMainWindowControls) scaled_.Add(window_, control);
  link_.Attach(Control(kIdLinkLabel), scaled_.Dpi(), scaled_.Font());
  banner_.Attach(Control(kIdBanner), scaled_.Dpi());
  fileList_.Attach(Control(kIdFileList));
  SendMessageW(Control(kIdProgressBar), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  group_.Attach(Control(kIdOverwriteGroup));
  for (const TControlLayout& radio : kOverwriteRadios) scaled_.Add(group_.Handle(), radio);
  std::vector<HWND> marked;
  for (int id : {kIdExtractButton, kIdCancelButton, kIdAboutButton, kIdConfirmRadio, kIdSkipRadio, kIdOverwriteRadio}) {
    marked.push_back(Control(id));
  }
  keyboard_.Attach(window_, std::move(marked), TDialogKeyboard::Navigation::Dialog);
}

void TMainWindow::SetText(int id, const std::u16string& text) { SetWindowTextW(Control(id), W(text).c_str()); }

void TMainWindow::ApplyTextsAndStates() {
  run_.Attach(window_, this);
  const TSettingsRecord& s = app_.Settings;
  windowTitle_ = app_.Title;
  ShowWindow(Control(kIdProgressBar), SW_HIDE);
  ShowWindow(Control(kIdLinkLabel), SW_SHOW);
  SetText(kIdFileListLabel, app_.Message(msg::kFilesLabel));
  link_.ShowAsLink();
  SetText(kIdExtractButton, app_.Message(msg::kExtractButton));
  SetText(kIdCancelButton, app_.Message(msg::kCancelButton));
  SetText(kIdAboutButton, app_.Message(msg::kAboutButton));
  SetText(kIdDestinationLabel, app_.Message(msg::kExtractToLabel));
  SetText(kIdLinkLabel, app_.Message(msg::kLinkLabel));
  SetText(kIdOverwriteGroup, app_.Message(msg::kOverwriteGroup));
  SetText(kIdConfirmRadio, app_.Message(msg::kConfirmRadio));
  SetText(kIdSkipRadio, app_.Message(msg::kSkipRadio));
  SetText(kIdOverwriteRadio, app_.Message(msg::kOverwriteRadio));
  SetWindowTextW(Control(kIdBrowseButton), L"...");
  SetWindowTextW(Control(kIdDestinationEdit), W(app_.ExtractFolder).c_str());
  if (int radio = RadioForOverwriteMode(s.OverwriteMode)) group_.Check(kIdConfirmRadio + radio - 1);
  if (s.HideOverwriteGroup == 1) ShowWindow(group_.Handle(), SW_HIDE);
  EnableWindow(Control(kIdExtractButton), FALSE);
  EnableWindow(Control(kIdAboutButton), FALSE);
  EnableWindow(Control(kIdCancelButton), TRUE);
  SendMessageW(Control(kIdProgressBar), PBM_SETPOS, 0, 0);
  fileList_.ShowWaiting(W(app_.Message(msg::kPleaseWait)));
  EnableWindow(fileList_.Handle(), FALSE);
  EnableWindow(Control(kIdDestinationEdit), FALSE);
  EnableWindow(Control(kIdBrowseButton), FALSE);
}

void TMainWindow::SetDefaultButton(int id) {
  if (defaultButton_) SendMessageW(Control(defaultButton_), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  defaultButton_ = id;
  if (id) SendMessageW(Control(id), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

bool TMainWindow::ShowFirstTime() {
  if (!PrepareArchive()) return false;
  // An automatic run has ended inside the preparation, before the window was ever shown:
  // showing it now would only flash it before it closes.
  if (run_.State() == RunState::Finished) return true;
  // The focus is set once the window is shown: setting it in the hidden window would
  // activate that window, work that an automatic run, never shown, does not need.
  ShowWindow(window_, SW_SHOW);
  SetFocus(Control(kIdDestinationEdit));
  UpdateWindow(window_);
  plat::TracePhase("window shown");
  return true;
}

// ---- Messages --------------------------------------------------------------

LRESULT TMainWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  window_ = window;  // already during the messages of CreateWindowEx
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case DM_GETDEFID:
      return defaultButton_ ? MAKELRESULT(defaultButton_, DC_HASDEFID) : 0;
    case WM_CTLCOLORSTATIC:
      if (HBRUSH brush = OnCtlColorStatic(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam))) {
        return reinterpret_cast<LRESULT>(brush);
      }
      break;
    case kInvokeMessage:
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return 0;
    case WM_TIMER:
      if (wParam == kStatusTimer) ShowRunStatus();
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) == WA_INACTIVE);
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void TMainWindow::OnCommand(int id, int notification) {
  const bool clicked = notification == BN_CLICKED;
  if (id == kIdExtractButton && clicked && IsWindowEnabled(Control(kIdExtractButton)))
    RunExtraction();
  else if (id == kIdCancelButton && clicked)
    Cancel();
  else if (id == kIdAboutButton && clicked)
    plat::ShowMessageBox(app_.Message(msg::kAboutText), windowTitle_, plat::BoxIcon::None);
  else if (id == kIdBrowseButton && clicked)
    Browse();
  else if (id == kIdLinkLabel && notification == STN_CLICKED) {
    shell::ExecuteAnsi("open", kMakerAddress, "", "", SW_SHOWNORMAL);
  }
}

// The banner paints with its pattern brush, the link in its colour; nullptr for the rest.
HBRUSH TMainWindow::OnCtlColorStatic(HWND control, HDC dc) const {
  if (HBRUSH brush = banner_.Colour(control, dc)) return brush;
  return link_.Colour(control, dc);
}

void TMainWindow::OnDpiChanged(UINT dpi) {
  link_.SetDpi(dpi, scaled_.Font());
  banner_.SetDpi(dpi);
}

void TMainWindow::OnActivate(bool inactive) {
  if (inactive)
    savedFocus_ = GetFocus();
  else if (savedFocus_ && IsWindow(savedFocus_))
    SetFocus(savedFocus_);
}

// During a run the close box acts as Cancel; the run posts its own close when done.
void TMainWindow::OnClose() {
  if (run_.InProgress()) {
    run_.RequestStop();
    return;
  }
  run_.Close();
  DestroyWindow(window_);
}

unsigned TMainWindow::RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) keyboard_.Dispatch(msg);
  return run_.ExitCode();
}

void TMainWindow::Browse() {
  TBrowseDirectoryDlg browser;  // no owner: the main window stays enabled meanwhile
  browser.SetCaption(app_.Message(msg::kBrowseCaption));
  // A choice without a file-system path (This PC, the network) leaves the field as it was.
  if (!browser.Execute() || browser.Selection().empty()) return;
  SetWindowTextW(Control(kIdDestinationEdit), W(browser.Selection()).c_str());
  SetFocus(Control(kIdDestinationEdit));
}

void TMainWindow::Cancel() {
  SetText(kIdLinkLabel, app_.Message(msg::kAborting));
  run_.RequestStop();
  PostMessageW(window_, WM_CLOSE, 0, 0);
}

// ---- The extraction run ----------------------------------------------------

bool TMainWindow::PrepareArchive() {
  scaled_.SetClientHeight(kPreparingHeight);
  if (!run_.OpenArchive()) {
    if (run_.ExitCode() != kExitCancelled) {
      ShowUnlessSilent(app_, app_.Message(msg::kErrorReadingArchive), std::u16string(kFixedCaption),
                       plat::BoxIcon::Error);
    }
    return false;
  }
  fileList_.Fill(run_.Archive());
  plat::TracePhase("file list");
  const int show = app_.Settings.HideFileList != 0 ? SW_HIDE : SW_SHOW;
  ShowWindow(Control(kIdFileList), show);
  ShowWindow(Control(kIdFileListLabel), show);
  for (int id : {kIdFileList, kIdDestinationEdit, kIdBrowseButton, kIdExtractButton, kIdCancelButton, kIdAboutButton}) {
    EnableWindow(Control(id), TRUE);
  }
  scaled_.SetClientHeight(kReadyHeight);
  SetDefaultButton(kIdExtractButton);
  if (app_.Settings.AutoExtract == 1) RunExtraction();
  return true;
}

void TMainWindow::SwitchToRunning() {
  HWND focus = GetFocus();
  SetDefaultButton(kIdCancelButton);
  EnableWindow(Control(kIdExtractButton), FALSE);
  link_.ShowAsText();
  SetWindowTextW(Control(kIdLinkLabel), L"");
  EnableWindow(Control(kIdDestinationEdit), FALSE);
  EnableWindow(Control(kIdBrowseButton), FALSE);
  EnableWindow(Control(kIdAboutButton), FALSE);
  ShowWindow(Control(kIdLinkLabel), SW_HIDE);
  SendMessageW(Control(kIdProgressBar), PBM_SETPOS, 0, 0);
  ShowWindow(Control(kIdProgressBar), SW_SHOW);
  EnableWindow(group_.Handle(), FALSE);
  // A focused control that was just disabled would leave the keyboard nowhere.
  if (focus && !IsWindowEnabled(focus)) SetFocus(Control(kIdCancelButton));
}

void TMainWindow::RunExtraction() {
  if (!run_.CanStart()) return;  // a run happens at most once per process
  plat::TracePhase("extraction asked");
  const std::u16string destination = TextOf(Control(kIdDestinationEdit));  // read once per run
  if (const int problem = DestinationProblem(destination)) {
    RefuseDestination(problem);
    return;
  }
  SwitchToRunning();
  run_.Start(ChoiceFromRadios(group_.Checked(kIdConfirmRadio), group_.Checked(kIdSkipRadio)));
  SetText(kIdFileListLabel, app_.Message(msg::kFilesLabel));
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  keyboard_.DispatchPending();  // a Cancel or the close box meanwhile stops the run at its start
  SetTimer(window_, kStatusTimer, kStatusInterval, nullptr);
  plat::TracePhase("window switched to the run");
  const std::vector<std::u16string> items = fileList_.SelectedItems();
  plat::TracePhase("selection read");
  run_.Extract(destination, items);
  KillTimer(window_, kStatusTimer);
  PostMessageW(window_, WM_CLOSE, 0, 0);
}

// A destination the run cannot use: the user may give another one; a silent run, with
// nobody there, ends failed.
void TMainWindow::RefuseDestination(int message) {
  ShowUnlessSilent(app_, app_.Message(message), windowTitle_, plat::BoxIcon::Information);
  if (!app_.Silent) return;
  run_.Fail();
  PostMessageW(window_, WM_CLOSE, 0, 0);
}

// Shows what the run recorded since the last look.
void TMainWindow::ShowRunStatus() {
  const TRunStatus::TChange change = run_.Status().Take();
  if (change.HasProgress) SendMessageW(Control(kIdProgressBar), PBM_SETPOS, change.Progress, 0);
  if (change.HasItem && run_.State() == RunState::Extracting) {
    SetWindowTextW(Control(kIdFileListLabel),
                   W(ItemStatusText(app_.Message(msg::kProgressPrefix), change.Item)).c_str());
  }
}

}  // namespace szsfx
