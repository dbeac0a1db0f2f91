#include "ui/FolderBrowser.h"

#include <windows.h>

#include <shlobj.h>

#include "interface/ComPtr.h"
#include "platform/Win32Helpers.h"
#include "ui/ShellCalls.h"
#include "ui/WinText.h"

namespace szsfx {

namespace {

// The path of an item list without MAX_PATH's limit, in a growing buffer.
std::u16string PathOf(LPCITEMIDLIST list) {
  std::wstring buffer;
  for (DWORD size = MAX_PATH + 1; size <= 32768; size *= 4) {
    buffer.assign(size, L'\0');
    if (shell::PathFromItemList(list, &buffer[0], size)) return WideText(buffer.c_str());
  }
  return std::u16string();
}

// Centres the dialog on the screen and gives it the caption once it is up.
int CALLBACK OnDialogEvent(HWND dialog, UINT message, LPARAM, LPARAM caption) {
  if (message != BFFM_INITIALIZED) return 0;
  RECT r;
  GetWindowRect(dialog, &r);
  SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const auto* text = reinterpret_cast<const std::wstring*>(caption);
  if (!text->empty()) SetWindowTextW(dialog, text->c_str());
  return 0;
}

}  // namespace

bool TBrowseDirectoryDlg::Execute() {
  selection_.clear();
  TComPtr<IMalloc> shellAllocator;
  if (shell::GetMalloc(shellAllocator.Receive()) != S_OK) return false;
  const std::wstring caption = W(caption_);
  wchar_t displayName[MAX_PATH] = L"";
  BROWSEINFOW info{};
  info.pszDisplayName = displayName;
  info.lpfn = &OnDialogEvent;
  info.lParam = reinterpret_cast<LPARAM>(&caption);
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  LPITEMIDLIST list = shell::BrowseForFolder(&info);
  SetErrorMode(oldMode);
  if (!list) return false;
  selection_ = PathOf(list);
  shellAllocator->Free(list);
  return true;  // an item without a file-system path still counts as chosen
}

}  // namespace szsfx
