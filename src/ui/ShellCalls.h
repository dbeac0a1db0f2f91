// The shell's calls (Win32). shell32 and ole32 serve only the folder browser, the link and
// the command afterwards, so they are loaded from the system folder on the first such call
// rather than at every start, and COM is set up then, once, on the calling thread (the
// window thread: these calls come from it only). Where the DLLs or a function cannot be
// had, each call fails as the system's own reports a failure.
#pragma once

#include <windows.h>

#include <shlobj.h>

namespace szsfx::shell {

HINSTANCE Execute(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters, const wchar_t* folder, int show);
HINSTANCE ExecuteAnsi(const char* verb, const char* file, const char* parameters, const char* folder, int show);
HRESULT GetMalloc(IMalloc** allocator);
LPITEMIDLIST BrowseForFolder(BROWSEINFOW* info);
// The path of an item list, up to `size` characters with the terminating NUL (where the
// system has the call that takes a size; MAX_PATH otherwise).
bool PathFromItemList(LPCITEMIDLIST list, wchar_t* path, DWORD size);

}  // namespace szsfx::shell
