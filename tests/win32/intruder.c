/* A library that another process tries to slip into a self-extractor's work folder.
   Any process that loads it leaves "szsfx-intruder-<its process id>.txt" in the temp
   folder, so a test sees whether foreign code ran. Kernel32 only, no C runtime. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  WCHAR path[MAX_PATH + 64];
  DWORD n = GetTempPathW(MAX_PATH, path);
  if (n == 0 || n > MAX_PATH) return TRUE;
  static const WCHAR prefix[] = L"szsfx-intruder-";
  for (const WCHAR* c = prefix; *c; ++c) path[n++] = *c;
  WCHAR digits[16];
  int count = 0;
  DWORD pid = GetCurrentProcessId();
  do {
    digits[count++] = (WCHAR)(L'0' + pid % 10);
    pid /= 10;
  } while (pid);
  while (count) path[n++] = digits[--count];
  static const WCHAR suffix[] = L".txt";
  for (const WCHAR* c = suffix; *c; ++c) path[n++] = *c;
  path[n] = 0;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, "loaded\n", 7, &written, NULL);
    CloseHandle(file);
  }
  return TRUE;
}
