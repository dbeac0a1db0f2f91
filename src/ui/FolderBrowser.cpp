#include "ui/FolderBrowser.h"

#include "ui/ShellCalls.h"
#include "ui/WinText.h"

#include <cwctype>

namespace szsfx {

namespace {

constexpr int kStatusLineId = 14147;

BOOL CALLBACK FindStatusLine(HWND child, LPARAM found) {
  if (GetDlgCtrlID(child) != kStatusLineId) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

}  // namespace

TBrowseDirectoryDlg::TBrowseDirectoryDlg(HWND ownerControl) : ownerControl_(ownerControl) {
  PrepareShellCalls();
  IMalloc* allocator = nullptr;
  if (SHGetMalloc(&allocator) == S_OK) shellAllocator_ = TComPtr<IMalloc>::Adopt(allocator);
}

TBrowseDirectoryDlg::~TBrowseDirectoryDlg() { SetSelectionPIDL(nullptr); }

bool TBrowseDirectoryDlg::Execute() {
  const bool statusFlag = !statusText_.empty() || ShowSelectionInStatus;
  std::u16string path;
  LPITEMIDLIST list = nullptr;
  const bool ok = Browse(statusFlag, path, list);
  dialog_ = nullptr;
  selection_ = ok ? path : std::u16string();
  SetSelectionPIDL(ok ? list : nullptr);
  if (!ok && list && shellAllocator_) shellAllocator_->Free(list);
  return ok;
}

bool TBrowseDirectoryDlg::Browse(bool statusFlag, std::u16string& path, LPITEMIDLIST& list) {
  if (!shellAllocator_) return false;
  auto* buffer = static_cast<wchar_t*>(shellAllocator_->Alloc(MAX_PATH * sizeof(wchar_t)));
  if (!buffer) return false;
  buffer[0] = L'\0';
  const std::wstring title = W(Title);
  LPITEMIDLIST root = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(ownerControl_, SpecialFolderId(Root), &root))) root = nullptr;
  BROWSEINFOW info{};
  info.hwndOwner = ownerControl_;
  info.pidlRoot = root;
  info.pszDisplayName = buffer;
  info.lpszTitle = title.c_str();
  info.ulFlags = ShellBrowseFlags(Options, statusFlag);
  info.lpfn = &TBrowseDirectoryDlg::BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(this);
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  list = SHBrowseForFolderW(&info);
  SetErrorMode(oldMode);
  bool ok = false;
  if (list) {
    path = PathOf(list);
    ok = !path.empty();
    if (Options & FlagBit(bfComputers)) {
      if (!ok) path = u"\\\\" + WideText(buffer);  // a computer: its display name
      ok = true;
    }
    if (ok && info.iImage == -1) {
      SHFILEINFOW file{};
      SHGetFileInfoW(W(path).c_str(), 0, &file, sizeof file, SHGFI_SYSICONINDEX);
      imageIndex_ = file.iIcon;
    } else {
      imageIndex_ = info.iImage;
    }
  }
  ok = ok || list != nullptr;  // an item without a file-system path still counts as chosen
  if (root) shellAllocator_->Free(root);
  shellAllocator_->Free(buffer);
  return ok;
}

int CALLBACK TBrowseDirectoryDlg::BrowseCallback(HWND dialog, UINT message, LPARAM parameter, LPARAM data) {
  auto* self = reinterpret_cast<TBrowseDirectoryDlg*>(data);
  if (!self) return 0;
  switch (message) {
    case BFFM_INITIALIZED:
      self->DoInitialized(dialog);
      return 0;
    case BFFM_SELCHANGED:
      self->DoSelChanged(dialog, reinterpret_cast<LPCITEMIDLIST>(parameter));
      return 0;
    case BFFM_VALIDATEFAILEDW: {
      bool cancel = false;
      self->DoValidateFailed(WideText(reinterpret_cast<const wchar_t*>(parameter)), cancel);
      return cancel ? 0 : 1;
    }
    default:
      return 0;
  }
}

void TBrowseDirectoryDlg::DoInitialized(HWND dialog) {
  dialog_ = dialog;
  if (Center) {
    RECT r;
    GetWindowRect(dialog, &r);
    SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SendMessageW(dialog, BFFM_ENABLEOK, 0, enableOkButton_ ? 1 : 0);
  if (!statusText_.empty()) SendStatusText();
  if (!selection_.empty() || selectionPidl_) ApplySelection();
  if (!caption_.empty()) SetWindowTextW(dialog, W(caption_).c_str());
  if (OnCreate) OnCreate(this);
}

void TBrowseDirectoryDlg::DoSelChanged(HWND, LPCITEMIDLIST list) {
  if (!ShowSelectionInStatus && !OnSelChanged) return;
  const std::u16string path = PathOf(list);
  if (ShowSelectionInStatus) SetStatusText(path);
  if (OnSelChanged) OnSelChanged(this, path, list);
}

void TBrowseDirectoryDlg::DoValidateFailed(const std::u16string& path, bool& cancel) {
  if (OnValidateFailed) OnValidateFailed(this, path, cancel);
}

// The path of an item list without MAX_PATH's limit: the system's call that takes a
// buffer size (Windows Vista on) with a growing buffer, else the plain one.
std::u16string TBrowseDirectoryDlg::PathOf(LPCITEMIDLIST list) {
  if (!list) return std::u16string();
  using TPathEx = BOOL(WINAPI*)(LPCITEMIDLIST, PWSTR, DWORD, int);
  const auto pathEx = reinterpret_cast<TPathEx>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"shell32.dll"), "SHGetPathFromIDListEx")));
  std::wstring buffer(MAX_PATH + 1, L'\0');
  if (!pathEx) return SHGetPathFromIDListW(list, &buffer[0]) ? WideText(buffer.c_str()) : std::u16string();
  for (DWORD size = MAX_PATH + 1; size <= 32768; size *= 4) {
    buffer.assign(size, L'\0');
    if (pathEx(list, &buffer[0], size, 0)) return WideText(buffer.c_str());
  }
  return std::u16string();
}

bool TBrowseDirectoryDlg::ParseToList(IShellFolder* desktop, const std::u16string& path, LPITEMIDLIST& list) const {
  std::wstring wide = W(path);
  list = nullptr;
  return SUCCEEDED(desktop->ParseDisplayName(dialog_, nullptr, &wide[0], nullptr, &list, nullptr)) && list;
}

void TBrowseDirectoryDlg::ApplySelection() {
  if (selection_.empty() && selectionPidl_) {
    selection_ = PathOf(selectionPidl_);
    SendMessageW(dialog_, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(selectionPidl_));
    return;
  }
  IShellFolder* folder = nullptr;
  if (SHGetDesktopFolder(&folder) != S_OK) return;
  const TComPtr<IShellFolder> desktop = TComPtr<IShellFolder>::Adopt(folder);
  LPITEMIDLIST parsed = nullptr;
  const bool ok = ParseToList(desktop.Get(), selection_, parsed);
  if (ok) SetSelectionPIDL(parsed);
  if (selection_.rfind(u"\\\\", 0) == 0) {  // a network path goes by its item list only
    if (ok) SendMessageW(dialog_, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(selectionPidl_));
    return;
  }
  const std::wstring form = W(SelectionPathForm(selection_));
  SendMessageW(dialog_, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(form.c_str()));
}

void TBrowseDirectoryDlg::SetSelectionPIDL(LPITEMIDLIST list) {
  if (list == selectionPidl_) return;
  if (selectionPidl_ && shellAllocator_) shellAllocator_->Free(selectionPidl_);
  selectionPidl_ = list;
}

void TBrowseDirectoryDlg::SetSelection(const std::u16string& value) {
  if (value == selection_) return;
  selection_ = value;
  if (!selection_.empty() && selection_.back() != u'\\' && IsDirectory(selection_)) selection_ += u'\\';
  if (dialog_) ApplySelection();
}

void TBrowseDirectoryDlg::SetStatusText(const std::u16string& value) {
  if (value == statusText_) return;
  statusText_ = value;
  if (dialog_) SendStatusText();
}

void TBrowseDirectoryDlg::SetFitStatusText(bool value) {
  if (value == fitStatusText_) return;
  fitStatusText_ = value;
  if (dialog_) SendStatusText();
}

void TBrowseDirectoryDlg::SendStatusText() const {
  const std::wstring fitted = W(FittedStatusText());
  SendMessageW(dialog_, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(fitted.c_str()));
}

void TBrowseDirectoryDlg::SetEnableOKButton(bool value) {
  enableOkButton_ = value;
  if (dialog_) SendMessageW(dialog_, BFFM_ENABLEOK, 0, value ? 1 : 0);
}

std::u16string TBrowseDirectoryDlg::Caption() const { return dialog_ ? TextOf(dialog_) : caption_; }

void TBrowseDirectoryDlg::SetCaption(const std::u16string& value) {
  caption_ = value;
  if (dialog_) SetWindowTextW(dialog_, W(caption_).c_str());
}

std::u16string TBrowseDirectoryDlg::FittedStatusText() const {
  if (!fitStatusText_ || !dialog_ || statusText_.empty()) return statusText_;
  HWND status = nullptr;
  EnumChildWindows(dialog_, FindStatusLine, reinterpret_cast<LPARAM>(&status));
  if (!status) return statusText_;
  HDC dc = GetDC(status);
  if (!dc) return statusText_;
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(status, WM_GETFONT, 0, 0)));
  RECT r;
  GetWindowRect(status, &r);
  const TTextWidth measure = [dc](const std::u16string& text) {
    SIZE size;
    return GetTextExtentPoint32W(dc, W(text).c_str(), static_cast<int>(text.size()), &size) ? size.cx : 0;
  };
  std::u16string fitted = IsDirectory(statusText_) ? FitPathToWidth(statusText_, r.right - r.left, measure)
                                                   : FitTextToWidth(statusText_, r.right - r.left, measure);
  SelectObject(dc, old);
  ReleaseDC(status, dc);
  return fitted;
}

bool TBrowseDirectoryDlg::IsDirectory(const std::u16string& path) {
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  bool folder = false;
  if (path.size() == 3 && path[1] == u':' && path[2] == u'\\') {
    const int bit = static_cast<int>(std::towupper(path[0])) - 'A';
    folder = bit >= 0 && bit < 32 && (GetLogicalDrives() & (1u << bit));
  } else {
    std::u16string probe = path;
    if (!probe.empty() && probe.back() == u'\\') probe.pop_back();
    WIN32_FIND_DATAW found;
    HANDLE search = probe.empty() ? INVALID_HANDLE_VALUE : FindFirstFileW(W(probe).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      FindClose(search);
    }
  }
  SetErrorMode(oldMode);
  return folder;
}

}  // namespace szsfx
