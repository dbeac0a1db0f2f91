/* A small stand-in for the archive library in the payload's library slot: it loads
   the 7-Zip installed on the machine (the Path value that 7-Zip's installer writes
   under HKCU or HKLM "Software\7-Zip") and forwards to it. No C runtime. */
#include <windows.h>

typedef HRESULT(WINAPI* CreateObjectFn)(const GUID*, const GUID*, void**);
typedef HRESULT(WINAPI* GetHandlerPropertyFn)(PROPID, PROPVARIANT*);

static HMODULE library;

static BOOL ReadPath(HKEY root, WCHAR* path, DWORD room) {
  HKEY key;
  DWORD type = 0, size = room * sizeof(WCHAR);
  BOOL ok = FALSE;
  if (RegOpenKeyExW(root, L"Software\\7-Zip", 0, KEY_READ, &key) != ERROR_SUCCESS) return FALSE;
  if (RegQueryValueExW(key, L"Path", NULL, &type, (BYTE*)path, &size) == ERROR_SUCCESS && type == REG_SZ &&
      size >= sizeof(WCHAR)) {
    path[room - 1] = 0;
    ok = path[0] != 0;
  }
  RegCloseKey(key);
  return ok;
}

static HMODULE Library(void) {
  WCHAR path[MAX_PATH + 16];
  int n;
  if (library) return library;
  if (!ReadPath(HKEY_CURRENT_USER, path, MAX_PATH) && !ReadPath(HKEY_LOCAL_MACHINE, path, MAX_PATH)) return NULL;
  n = lstrlenW(path);
  if (n > 0 && path[n - 1] != L'\\') path[n++] = L'\\';
  lstrcpyW(path + n, L"7z.dll");
  library = LoadLibraryW(path);
  return library;
}

__declspec(dllexport) HRESULT WINAPI CreateObject(const GUID* classId, const GUID* interfaceId, void** object) {
  HMODULE lib = Library();
  CreateObjectFn fn = lib ? (CreateObjectFn)(void*)GetProcAddress(lib, "CreateObject") : NULL;
  return fn ? fn(classId, interfaceId, object) : E_FAIL;
}

__declspec(dllexport) HRESULT WINAPI GetHandlerProperty(PROPID id, PROPVARIANT* value) {
  HMODULE lib = Library();
  GetHandlerPropertyFn fn = lib ? (GetHandlerPropertyFn)(void*)GetProcAddress(lib, "GetHandlerProperty") : NULL;
  return fn ? fn(id, value) : E_FAIL;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_DETACH && library && !reserved) FreeLibrary(library);
  return TRUE;
}
