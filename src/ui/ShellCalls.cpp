#include "ui/ShellCalls.h"

namespace szsfx::shell {

namespace {

struct TShellFunctions {
  decltype(&ShellExecuteW) ExecuteW = nullptr;
  decltype(&ShellExecuteA) ExecuteA = nullptr;
  decltype(&SHGetMalloc) GetMalloc = nullptr;
  decltype(&SHBrowseForFolderW) BrowseForFolder = nullptr;
  decltype(&SHGetPathFromIDListW) PathFromList = nullptr;
  BOOL(WINAPI* PathFromListSized)(LPCITEMIDLIST, PWSTR, DWORD, int) = nullptr;  // Windows Vista on
};

template <typename Function>
void Find(HMODULE module, const char* name, Function& function) {
  if (module) function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loaded at the first shell call, on the window thread.
TShellFunctions g_functions;
bool g_loaded = false;

const TShellFunctions& Functions() {
  if (g_loaded) return g_functions;
  g_loaded = true;
  const HMODULE ole = LoadLibraryExW(L"ole32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  decltype(&CoInitializeEx) initialize = nullptr;
  Find(ole, "CoInitializeEx", initialize);
  if (initialize) initialize(nullptr, COINIT_APARTMENTTHREADED);  // the shell's calls want an apartment
  const HMODULE shell = LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  Find(shell, "ShellExecuteW", g_functions.ExecuteW);
  Find(shell, "ShellExecuteA", g_functions.ExecuteA);
  Find(shell, "SHGetMalloc", g_functions.GetMalloc);
  Find(shell, "SHBrowseForFolderW", g_functions.BrowseForFolder);
  Find(shell, "SHGetPathFromIDListW", g_functions.PathFromList);
  Find(shell, "SHGetPathFromIDListEx", g_functions.PathFromListSized);
  return g_functions;
}

// ShellExecute's answer for a file that could not be started at all.
HINSTANCE NotStarted() { return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_ACCESSDENIED)); }

}  // namespace

HINSTANCE Execute(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters, const wchar_t* folder,
                  int show) {
  const auto call = Functions().ExecuteW;
  return call ? call(nullptr, verb, file, parameters, folder, show) : NotStarted();
}

HINSTANCE ExecuteAnsi(const char* verb, const char* file, const char* parameters, const char* folder, int show) {
  const auto call = Functions().ExecuteA;
  return call ? call(nullptr, verb, file, parameters, folder, show) : NotStarted();
}

HRESULT GetMalloc(IMalloc** allocator) {
  const auto call = Functions().GetMalloc;
  return call ? call(allocator) : E_NOTIMPL;
}

LPITEMIDLIST BrowseForFolder(BROWSEINFOW* info) {
  const auto call = Functions().BrowseForFolder;
  return call ? call(info) : nullptr;
}

bool PathFromItemList(LPCITEMIDLIST list, wchar_t* path, DWORD size) {
  const TShellFunctions& f = Functions();
  if (f.PathFromListSized) return f.PathFromListSized(list, path, size, 0) != FALSE;
  return size >= MAX_PATH && f.PathFromList && f.PathFromList(list, path) != FALSE;
}

}  // namespace szsfx::shell
