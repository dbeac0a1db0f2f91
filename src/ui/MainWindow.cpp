#include "ui/MainWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cwctype>
#include <utility>

#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/PhaseTrace.h"
#include "platform/Platform.h"
#include "ui/AfterCommand.h"
#include "ui/FolderBrowser.h"
#include "ui/PasswordWindow.h"
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

constexpr int kBannerSide = 50;

// The banner at `dpi`. It is drawn at 50 and 100 pixels (96 and 192 DPI); other sizes are
// scaled from the next larger drawing, or the largest, with the halftone filter. (A 75-pixel
// drawing would cost the 32-bit stub 17 KB of its fixed size.)
HBITMAP LoadBanner(UINT dpi) {
  struct Drawing {
    const wchar_t* name;
    int side;
  };
  static constexpr Drawing kDrawings[] = {{L"FORM1_IMAGESHOW1_BRUSH_BMP", kBannerSide}, {L"BANNER_100", 100}};
  const int side = Scaled(kBannerSide, dpi);
  const Drawing* pick = &kDrawings[1];
  for (const Drawing& drawing : kDrawings) {
    if (drawing.side >= side) {
      pick = &drawing;
      break;
    }
  }
  TGdi<HBITMAP> drawn(LoadBitmapW(GetModuleHandleW(nullptr), pick->name));
  if (!drawn || pick->side == side) return drawn.Release();
  HBITMAP scaled = ScaledBitmap(drawn.Get(), side, side);
  return scaled ? scaled : drawn.Release();
}

bool Checked(HWND radio) { return SendMessageW(radio, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool IsNavigationKey(WPARAM key) {
  return key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT;
}

}  // namespace

TMainWindow::TMainWindow(TRunSetup& app) : app_(app), run_(app) {}

TMainWindow::~TMainWindow() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);  // before the fonts and brushes it uses go
}

bool TMainWindow::Create() {
  window_ = CreateCenteredWindow(kMainWindowClass, &RoutedWindowProc<TMainWindow>, W(app_.Title), kStyle, kExStyle,
                                 kClientWidth, kClientHeight, nullptr, this);
  if (!window_) return false;
  clientHeight_ = kClientHeight;
  CreateControls();
  ApplyTextsAndStates();
  return true;
}

// Positions and sizes are pixels at 96 DPI; the control is placed at the window's DPI.
HWND TMainWindow::AddControl(HWND parent, const wchar_t* cls, int id, DWORD style, int x, int y, int w, int h,
                             DWORD ex) {
  return layout_.Add(parent, cls, id, style, ex, TPlace{x, y, w, h}, dpi_, font_.Get());
}

void TMainWindow::MakeBanner() {
  bannerBitmap_ = TGdi<HBITMAP>(LoadBanner(dpi_));
  bannerBrush_ = TGdi<HBRUSH>(bannerBitmap_ ? CreatePatternBrush(bannerBitmap_.Get()) : nullptr);
}

void TMainWindow::CreateControls() {
  dpi_ = DpiOf(window_);
  font_ = TGdi<HFONT>(CreateWindowFont(dpi_, false));
  linkFont_ = TGdi<HFONT>(CreateWindowFont(dpi_, true));
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  const DWORD oneLine = SS_LEFTNOWORDWRAP;
  AddControl(window_, L"STATIC", kIdDestinationLabel, oneLine, 64, 8, 225, 22);
  HWND link = AddControl(window_, L"STATIC", kIdLinkLabel, SS_CENTER | SS_NOPREFIX | SS_NOTIFY, 0, 205, 393, 17);
  SetWindowLongPtrW(link, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  staticProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TMainWindow::LinkProc)));
  AddControl(window_, L"STATIC", kIdFileListLabel, oneLine, 8, 59, 281, 19);
  AddControl(window_, L"EDIT", kIdDestinationEdit, ES_AUTOHSCROLL | WS_TABSTOP, 64, 32, 193, 22, WS_EX_CLIENTEDGE);
  AddControl(window_, L"BUTTON", kIdBrowseButton, BS_PUSHBUTTON | WS_TABSTOP, 264, 32, 25, 18);
  AddControl(window_, L"BUTTON", kIdExtractButton, BS_PUSHBUTTON | WS_TABSTOP, 312, 8, 72, 24);
  AddControl(window_, L"BUTTON", kIdCancelButton, BS_PUSHBUTTON | WS_TABSTOP, 312, 40, 72, 24);
  AddControl(window_, L"BUTTON", kIdAboutButton, BS_PUSHBUTTON | WS_TABSTOP, 312, 72, 72, 24);
  AddControl(window_, L"LISTBOX", kIdFileList,
             LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 8, 79, 281, 75);
  AddControl(window_, L"STATIC", kIdBanner, SS_LEFT, 8, 8, kBannerSide, kBannerSide, WS_EX_TRANSPARENT);
  MakeBanner();
  HWND progress = AddControl(window_, PROGRESS_CLASSW, kIdProgressBar, 0, 8, 200, 377, 20);
  SendMessageW(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  group_ = AddControl(window_, L"BUTTON", kIdOverwriteGroup, BS_GROUPBOX, 8, 157, 281, 41, WS_EX_CONTROLPARENT);
  SetWindowLongPtrW(group_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  groupProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(group_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TMainWindow::GroupProc)));
  AddControl(group_, L"BUTTON", kIdConfirmRadio, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 8, 16, 89, 22);
  AddControl(group_, L"BUTTON", kIdSkipRadio, BS_AUTORADIOBUTTON | WS_TABSTOP, 104, 16, 81, 22);
  AddControl(group_, L"BUTTON", kIdOverwriteRadio, BS_AUTORADIOBUTTON | WS_TABSTOP, 192, 16, 81, 22);
}

void TMainWindow::SetText(int id, const std::u16string& text) { SetWindowTextW(Control(id), W(text).c_str()); }

void TMainWindow::ApplyTextsAndStates() {
  run_.Attach(window_, this);
  const TSettingsRecord& s = app_.Settings;
  windowTitle_ = app_.Title;
  ShowWindow(Control(kIdProgressBar), SW_HIDE);
  ShowWindow(Control(kIdLinkLabel), SW_SHOW);
  SetText(kIdFileListLabel, app_.Message(msg::FilesLabel));
  SetLinkStyle(true, RGB(0, 0, 255));
  SetText(kIdExtractButton, app_.Message(msg::ExtractButton));
  SetText(kIdCancelButton, app_.Message(msg::CancelButton));
  SetText(kIdAboutButton, app_.Message(msg::AboutButton));
  SetText(kIdDestinationLabel, app_.Message(msg::ExtractToLabel));
  SetText(kIdLinkLabel, app_.Message(msg::LinkLabel));
  SetText(kIdOverwriteGroup, app_.Message(msg::OverwriteGroup));
  SetText(kIdConfirmRadio, app_.Message(msg::ConfirmRadio));
  SetText(kIdSkipRadio, app_.Message(msg::SkipRadio));
  SetText(kIdOverwriteRadio, app_.Message(msg::OverwriteRadio));
  SetWindowTextW(Control(kIdBrowseButton), L"...");
  SetWindowTextW(Control(kIdDestinationEdit), W(app_.ExtractFolder).c_str());
  if (int radio = RadioForOverwriteMode(s.OverwriteMode)) {
    SendMessageW(Control(kIdConfirmRadio + radio - 1), BM_SETCHECK, BST_CHECKED, 0);
  }
  if (s.HideOverwriteGroup == 1) ShowWindow(group_, SW_HIDE);
  EnableWindow(Control(kIdExtractButton), FALSE);
  EnableWindow(Control(kIdAboutButton), FALSE);
  EnableWindow(Control(kIdCancelButton), TRUE);
  SendMessageW(Control(kIdProgressBar), PBM_SETPOS, 0, 0);
  HWND list = Control(kIdFileList);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(app_.Message(msg::PleaseWait)).c_str()));
  EnableWindow(list, FALSE);
  EnableWindow(Control(kIdDestinationEdit), FALSE);
  EnableWindow(Control(kIdBrowseButton), FALSE);
  SetFocus(Control(kIdCancelButton));
}

// `height` in pixels at 96 DPI; the window keeps its top-left corner.
void TMainWindow::SetClientHeight(int height) {
  clientHeight_ = height;
  const SIZE frame = FrameAt(dpi_);
  SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE TMainWindow::FrameAt(UINT dpi) const { return FrameSize(kClientWidth, clientHeight_, kStyle, kExStyle, dpi); }

void TMainWindow::SetDefaultButton(int id) {
  if (defaultButton_) SendMessageW(Control(defaultButton_), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  defaultButton_ = id;
  if (id) SendMessageW(Control(id), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void TMainWindow::SetLinkStyle(bool underlined, COLORREF color) {
  linkUnderlined_ = underlined;
  linkColor_ = color;
  SendMessageW(Control(kIdLinkLabel), WM_SETFONT, reinterpret_cast<WPARAM>(underlined ? linkFont_.Get() : font_.Get()),
               TRUE);
  InvalidateRect(Control(kIdLinkLabel), nullptr, TRUE);
}

bool TMainWindow::ShowFirstTime() {
  if (!PrepareArchive()) return false;
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  plat::TracePhase("window shown");
  return true;
}

// ---- Messages --------------------------------------------------------------

LRESULT CALLBACK TMainWindow::LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TMainWindow*>(GetWindowLongPtrW(link, GWLP_USERDATA));
  if (message == WM_MOUSEMOVE && !self->linkHot_) {
    self->linkHot_ = true;
    self->SetLinkStyle(true, RGB(255, 0, 0));
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, link, 0};
    TrackMouseEvent(&track);
  } else if (message == WM_MOUSELEAVE) {
    self->linkHot_ = false;
    self->SetLinkStyle(true, RGB(0, 0, 255));
  }
  return CallWindowProcW(self->staticProc_, link, message, wParam, lParam);
}

// The radio buttons live in the group box: their colour requests and notifications
// go on to the window, and the group paints the background behind them.
LRESULT CALLBACK TMainWindow::GroupProc(HWND group, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TMainWindow*>(GetWindowLongPtrW(group, GWLP_USERDATA));
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_COMMAND:
      return SendMessageW(self->window_, message, wParam, lParam);
    case WM_ERASEBKGND: {
      RECT area;
      GetClientRect(group, &area);
      FillRect(reinterpret_cast<HDC>(wParam), &area, GetSysColorBrush(COLOR_BTNFACE));
      return TRUE;
    }
    default:
      return CallWindowProcW(self->groupProc_, group, message, wParam, lParam);
  }
}

LRESULT TMainWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  window_ = window;  // already during the messages of CreateWindowEx
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case DM_GETDEFID:
      return defaultButton_ ? MAKELRESULT(defaultButton_, DC_HASDEFID) : 0;
    case WM_CTLCOLORSTATIC: {
      LRESULT brush = 0;
      if (OnCtlColorStatic(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam), brush)) return brush;
      break;
    }
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam))) return TRUE;
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
    case kGetDpiScaledSizeMessage:  // the exact size for the new DPI, before the system suggests a rectangle
      if (!lParam || !LOWORD(wParam)) break;
      *reinterpret_cast<SIZE*>(lParam) = FrameAt(LOWORD(wParam));
      return TRUE;
    case kDpiChangedMessage:
      OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      OnDestroy();
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
    plat::ShowMessageBox(app_.Message(msg::AboutText), windowTitle_, plat::BoxIcon::None);
  else if (id == kIdBrowseButton && clicked)
    Browse();
  else if (id == kIdLinkLabel && notification == STN_CLICKED) {
    ShellExecuteA(nullptr, "open", kMakerAddress, "", "", SW_SHOWNORMAL);
  }
}

// The banner paints with its pattern brush, the link in its colour; false for the rest.
bool TMainWindow::OnCtlColorStatic(HWND control, HDC dc, LRESULT& brush) {
  if (control == Control(kIdBanner) && bannerBrush_) {
    SetBkMode(dc, TRANSPARENT);
    brush = reinterpret_cast<LRESULT>(bannerBrush_.Get());
    return true;
  }
  if (control == Control(kIdLinkLabel)) {
    SetTextColor(dc, linkColor_);
    SetBkMode(dc, TRANSPARENT);
    brush = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    return true;
  }
  return false;
}

bool TMainWindow::OnSetCursor(HWND control) {
  if (control != Control(kIdLinkLabel)) return false;
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
  return true;
}

void TMainWindow::OnActivate(bool inactive) {
  if (inactive)
    savedFocus_ = GetFocus();
  else if (savedFocus_ && IsWindow(savedFocus_))
    SetFocus(savedFocus_);
}

// Moved to a monitor of another DPI (or the DPI changed): fonts, banner and every
// control again at the new DPI, the window at the suggested place.
void TMainWindow::OnDpiChanged(UINT dpi, const RECT* suggested) {
  if (dpi != 0 && dpi != dpi_) {
    dpi_ = dpi;
    TGdi<HFONT> font(CreateWindowFont(dpi_, false)), linkFont(CreateWindowFont(dpi_, true));
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    layout_.Apply(dpi_, font.Get());
    SendMessageW(Control(kIdLinkLabel), WM_SETFONT,
                 reinterpret_cast<WPARAM>(linkUnderlined_ ? linkFont.Get() : font.Get()), TRUE);
    font_ = std::move(font);  // the old fonts go once no control uses them
    linkFont_ = std::move(linkFont);
    MakeBanner();
    InvalidateRect(Control(kIdBanner), nullptr, TRUE);
  }
  PlaceForDpi(window_, suggested, FrameAt(dpi_));
}

// During a run the close box acts as Cancel; the run posts its own close when done.
void TMainWindow::OnClose() {
  if (run_.InProgress()) {
    run_.RequestStop();
    return;
  }
  DestroyWindow(window_);
}

void TMainWindow::OnDestroy() { PostQuitMessage(0); }

bool TMainWindow::ClickByMnemonic(wchar_t letter) {
  return ClickMarkedControl(
      {kIdExtractButton, kIdCancelButton, kIdAboutButton, kIdConfirmRadio, kIdSkipRadio, kIdOverwriteRadio}, letter,
      [this](int id) { return Control(id); });
}

bool TMainWindow::ProcessMessage(MSG& msg) {
  if (window_ && IsWindow(window_) && (msg.hwnd == window_ || IsChild(window_, msg.hwnd))) {
    // Alt+letter clicks a button or radio button; label marks have no binding.
    if (msg.message == WM_SYSCHAR && std::iswalnum(static_cast<wint_t>(msg.wParam))) {
      ClickByMnemonic(static_cast<wchar_t>(msg.wParam));
      return true;
    }
    const bool navigation = msg.message == WM_KEYDOWN && IsNavigationKey(msg.wParam);
    const bool plainChar = msg.message == WM_CHAR && msg.wParam != L'\t' && msg.wParam != L'\r' && msg.wParam != 27;
    // Tab, Shift+Tab and Enter follow the dialog rules; arrows and typing go to the control.
    if (!navigation && !plainChar && IsDialogMessageW(window_, &msg)) return true;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

// Takes one pending message and handles it; false when none was pending or the
// process is quitting (the quit request is left for the main loop).
bool TMainWindow::DispatchOne() {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    PostQuitMessage(static_cast<int>(msg.wParam));
    return false;
  }
  ProcessMessage(msg);
  return true;
}

void TMainWindow::DispatchPending() {
  while (DispatchOne()) {
  }
}

unsigned TMainWindow::RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) ProcessMessage(msg);
  return run_.ExitCode();
}

void TMainWindow::Browse() {
  TBrowseDirectoryDlg browser;  // no owner: the main window stays enabled meanwhile
  browser.SetCaption(app_.Message(msg::BrowseCaption));
  if (!browser.Execute()) return;
  SetWindowTextW(Control(kIdDestinationEdit), W(browser.Selection()).c_str());
  SetFocus(Control(kIdDestinationEdit));
}

void TMainWindow::Cancel() {
  SetText(kIdLinkLabel, app_.Message(msg::Aborting));
  run_.RequestStop();
  PostMessageW(window_, WM_CLOSE, 0, 0);
}

// ---- The extraction run ----------------------------------------------------

void TMainWindow::FillFileList() {
  HWND list = Control(kIdFileList);
  const uint32_t count = run_.Archive().ItemCount();
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);  // one layout for the whole list, not one per line
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  SendMessageW(list, LB_INITSTORAGE, count, static_cast<LPARAM>(count) * 64);
  for (uint32_t i = 0; i < count; ++i) {
    const std::u16string path = run_.Archive().ItemPath(i);  // kept in UTF-16, whatever the code page shows
    if (!path.empty()) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(path).c_str()));
  }
  SendMessageW(list, LB_SETSEL, TRUE, -1);   // every line starts selected
  SendMessageW(list, LB_SETTOPINDEX, 0, 0);  // the list starts at its first line
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
}

bool TMainWindow::PrepareArchive() {
  SetClientHeight(kPreparingHeight);
  if (!run_.OpenArchive()) {
    plat::ShowMessageBox(app_.Message(msg::ErrorReadingArchive), std::u16string(kFixedCaption), plat::BoxIcon::Error);
    return false;
  }
  FillFileList();
  plat::TracePhase("file list");
  const int show = app_.Settings.HideFileList != 0 ? SW_HIDE : SW_SHOW;
  ShowWindow(Control(kIdFileList), show);
  ShowWindow(Control(kIdFileListLabel), show);
  for (int id : {kIdFileList, kIdDestinationEdit, kIdBrowseButton, kIdExtractButton, kIdCancelButton, kIdAboutButton}) {
    EnableWindow(Control(id), TRUE);
  }
  SetFocus(Control(kIdDestinationEdit));
  SetClientHeight(kReadyHeight);
  SetDefaultButton(kIdExtractButton);
  if (app_.Settings.AutoExtract == 1) RunExtraction();
  return true;
}

void TMainWindow::SwitchToRunning() {
  HWND focus = GetFocus();
  SetDefaultButton(kIdCancelButton);
  EnableWindow(Control(kIdExtractButton), FALSE);
  SetLinkStyle(false, GetSysColor(COLOR_WINDOWTEXT));
  SetWindowTextW(Control(kIdLinkLabel), L"");
  EnableWindow(Control(kIdDestinationEdit), FALSE);
  EnableWindow(Control(kIdBrowseButton), FALSE);
  EnableWindow(Control(kIdAboutButton), FALSE);
  ShowWindow(Control(kIdLinkLabel), SW_HIDE);
  SendMessageW(Control(kIdProgressBar), PBM_SETPOS, 0, 0);
  ShowWindow(Control(kIdProgressBar), SW_SHOW);
  EnableWindow(group_, FALSE);
  // A focused control that was just disabled would leave the keyboard nowhere.
  if (focus && !IsWindowEnabled(focus)) SetFocus(Control(kIdCancelButton));
}

// The selected lines of the list; none when every line is selected (the whole archive).
std::vector<std::u16string> TMainWindow::SelectedItems() const {
  HWND list = Control(kIdFileList);
  std::vector<std::u16string> items;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (SendMessageW(list, LB_GETSELCOUNT, 0, 0) == count) return items;
  for (LRESULT i = 0; i < count; ++i) {
    if (SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) <= 0) continue;
    std::wstring line(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)) + 1, L'\0');
    line.resize(static_cast<size_t>(
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&line[0]))));
    items.push_back(std::u16string(line.begin(), line.end()));
  }
  return items;
}

void TMainWindow::RunExtraction() {
  if (!run_.CanStart()) return;                                            // a run happens at most once per process
  const std::u16string destination = TextOf(Control(kIdDestinationEdit));  // read once per run
  if (destination.empty()) {
    plat::ShowMessageBox(app_.Message(msg::FolderEmpty), windowTitle_, plat::BoxIcon::Information);
    return;
  }
  if (!plat::CreateFolderTree(destination) || !DestinationWritable(destination)) {
    plat::ShowMessageBox(app_.Message(msg::FolderNotWritable), windowTitle_, plat::BoxIcon::Information);
    return;
  }
  SwitchToRunning();
  run_.Start(destination, ChoiceFromRadios(Checked(Control(kIdConfirmRadio)), Checked(Control(kIdSkipRadio))));
  SetText(kIdFileListLabel, app_.Message(msg::FilesLabel));
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  DispatchPending();  // a Cancel or the close box meanwhile stops the run at its start
  SetTimer(window_, kStatusTimer, kStatusInterval, nullptr);
  run_.Extract(SelectedItems());
  KillTimer(window_, kStatusTimer);
  PostMessageW(window_, WM_CLOSE, 0, 0);
}

// Shows what the run recorded since the last look.
void TMainWindow::ShowRunStatus() {
  const TRunStatus::TChange change = run_.Status().Take();
  if (change.HasProgress) SendMessageW(Control(kIdProgressBar), PBM_SETPOS, change.Progress, 0);
  if (change.HasItem && run_.State() == RunState::Extracting) {
    SetWindowTextW(Control(kIdFileListLabel),
                   W(ItemStatusText(app_.Message(msg::ProgressPrefix), change.Item)).c_str());
  }
}

}  // namespace szsfx
