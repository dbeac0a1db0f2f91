// Win32 side of the platform layer.
#include "platform/ExtendedPath.h"
#include "platform/Platform.h"

#include <windows.h>

#include <cstring>

namespace plat {

namespace {

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

HANDLE H(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// A path from a call that writes into a buffer and reports the size it needs when the
// buffer is too small: the buffer grows to that size instead of cutting the path.
template <typename Char, typename Call>
std::basic_string<Char> GrowingPath(Call call) {
  std::basic_string<Char> buffer(MAX_PATH + 1, Char());
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = call(static_cast<DWORD>(buffer.size()), &buffer[0]);
    if (n == 0) return std::basic_string<Char>();
    if (n < buffer.size()) return buffer.substr(0, n);
    buffer.assign(n + 1, Char());  // n counts the terminating NUL when it did not fit
  }
  return std::basic_string<Char>();
}

// An existing path in the code page: as it is where the code page holds every character
// of it, else in its short form, which the system spells in characters the code page has
// (a user name outside the code page still gives a usable temp path).
std::string CodePagePath(const std::wstring& path) {
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0, nullptr, &lossy);
  std::wstring usable = path;
  if (lossy) {
    const std::wstring shortPath = GrowingPath<wchar_t>(
        [&](DWORD size, wchar_t* buffer) { return GetShortPathNameW(path.c_str(), buffer, size); });
    if (!shortPath.empty()) usable = shortPath;
  }
  return ToSystemCodePage(std::u16string(usable.begin(), usable.end()));
}

}  // namespace

FileHandle OpenFile(const std::u16string& name, uint32_t access, uint32_t sharing, uint32_t creation,
                    uint32_t attributes) {
  HANDLE h = CreateFileW(Wide(PathForSystem(name)), access, sharing, nullptr, creation, attributes, nullptr);
  return h == INVALID_HANDLE_VALUE ? kInvalidHandle : reinterpret_cast<FileHandle>(h);
}

bool CloseFile(FileHandle handle) { return CloseHandle(H(handle)) != 0; }

bool ReadFile(FileHandle handle, void* buffer, uint32_t size, uint32_t& done) {
  DWORD n = 0;
  BOOL ok = ::ReadFile(H(handle), buffer, size, &n, nullptr);
  done = n;
  return ok != 0;
}

bool WriteFile(FileHandle handle, const void* buffer, uint32_t size, uint32_t& done) {
  DWORD n = 0;
  BOOL ok = ::WriteFile(H(handle), buffer, size, &n, nullptr);
  done = n;
  return ok != 0;
}

bool SeekFile(FileHandle handle, int64_t distance, SeekOrigin origin, uint64_t& position) {
  LARGE_INTEGER move, now;
  move.QuadPart = distance;
  if (!SetFilePointerEx(H(handle), move, &now, static_cast<DWORD>(origin))) return false;
  position = static_cast<uint64_t>(now.QuadPart);
  return true;
}

bool TruncateFile(FileHandle handle) { return SetEndOfFile(H(handle)) != 0; }

bool SetFileModifiedTime(FileHandle handle, uint64_t utc) {
  FILETIME ft{static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
  return SetFileTime(H(handle), nullptr, nullptr, &ft) != 0;
}

std::string TempPath() {
  return CodePagePath(GrowingPath<wchar_t>([](DWORD size, wchar_t* buffer) { return GetTempPathW(size, buffer); }));
}

std::string CurrentDirectory() {
  return CodePagePath(
      GrowingPath<wchar_t>([](DWORD size, wchar_t* buffer) { return GetCurrentDirectoryW(size, buffer); }));
}

std::string WindowsFolder() {
  return GrowingPath<char>([](DWORD size, char* buffer) { return GetWindowsDirectoryA(buffer, size); });
}

std::string SystemFolder() {
  return GrowingPath<char>([](DWORD size, char* buffer) { return GetSystemDirectoryA(buffer, size); });
}

// The 8-bit calls take the same wide, extended-path route as the engine's calls.
bool FolderExists(const std::string& path) { return FolderExistsW(FromSystemCodePage(path)); }
bool FileExists(const std::string& path) { return FileExistsW(FromSystemCodePage(path)); }
bool CreateFolder(const std::string& path) { return CreateFolderW(FromSystemCodePage(path)); }
bool RemoveFolder(const std::string& path) {
  return RemoveDirectoryW(Wide(PathForSystem(FromSystemCodePage(path)))) != 0;
}
bool DeleteFileNamed(const std::string& path) { return DeleteFileW(FromSystemCodePage(path)); }

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return RenameFileW(FromSystemCodePage(from), FromSystemCodePage(to), true);
}

std::u16string ModuleFileName() {
  std::u16string buffer(MAX_PATH, u'\0');
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD n = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(&buffer[0]), size);
    if (n == 0) return std::u16string();
    if (n < size) return buffer.substr(0, n);
    buffer.resize(buffer.size() * 2);
  }
}

std::u16string CommandLineW() { return reinterpret_cast<const char16_t*>(GetCommandLineW()); }

bool ReadRegistryString(RegistryRoot root, const std::string& key, const std::string& value, std::string& out) {
  HKEY base = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  HKEY k;
  if (RegOpenKeyExA(base, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  bool ok = RegQueryValueExA(k, value.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ;
  if (ok) {
    std::string data(size + 1, '\0');
    DWORD got = size;
    ok = RegQueryValueExA(k, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &got) == ERROR_SUCCESS &&
         type == REG_SZ;
    if (ok) out.assign(data.c_str());  // the text up to its terminating NUL
  }
  RegCloseKey(k);
  return ok;
}

std::u16string FromSystemCodePage(const std::string& text) {
  if (text.empty()) return std::u16string();
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(&out[0]), n);
  return out;
}

std::string ToSystemCodePage(const std::u16string& text) {
  if (text.empty()) return std::string();
  const wchar_t* w = Wide(text);
  int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

CodePageResult Utf8ToCodePage(const std::string& utf8, unsigned codePage, std::string& out) {
  out.clear();
  if (utf8.empty()) return IsValidCodePage(codePage) ? CodePageResult::Ok : CodePageResult::UnknownCodePage;
  const int size = static_cast<int>(utf8.size());
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (n <= 0) return CodePageResult::NotUtf8;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, &wide[0], n);
  if (!IsValidCodePage(codePage)) return CodePageResult::UnknownCodePage;
  if (codePage == CP_UTF8) {
    out = utf8;
    return CodePageResult::Ok;
  }
  BOOL defaulted = FALSE;
  int bytes = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr, &defaulted);
  if (bytes <= 0 || defaulted) return CodePageResult::NotRepresentable;
  out.assign(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), n, &out[0], bytes, nullptr, nullptr);
  return CodePageResult::Ok;
}

bool PerformanceCounterLow(uint32_t& value) {
  LARGE_INTEGER c;
  if (!QueryPerformanceCounter(&c)) return false;
  value = static_cast<uint32_t>(c.QuadPart);
  return true;
}

uint32_t TickCount() { return GetTickCount(); }

uint64_t MicrosecondsSinceStart() {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  GetSystemTimeAsFileTime(&now);
  const auto value = [](const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return value(now) > value(created) ? (value(now) - value(created)) / 10 : 0;
}

std::u16string EnvironmentValue(const char16_t* name) {
  const auto* wideName = reinterpret_cast<const wchar_t*>(name);
  const DWORD size = GetEnvironmentVariableW(wideName, nullptr, 0);
  if (size == 0) return std::u16string();
  std::u16string value(size, u'\0');
  const DWORD length = GetEnvironmentVariableW(wideName, reinterpret_cast<wchar_t*>(&value[0]), size);
  value.resize(length < size ? length : 0);
  return value;
}

BoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, BoxIcon icon, BoxButtons buttons) {
  UINT flags = buttons == BoxButtons::YesNoCancel ? MB_YESNOCANCEL : MB_OK;
  switch (icon) {
    case BoxIcon::Error:
      flags |= MB_ICONERROR;
      break;
    case BoxIcon::Information:
      flags |= MB_ICONINFORMATION;
      break;
    case BoxIcon::Question:
      flags |= MB_ICONQUESTION;
      break;
    case BoxIcon::None:
      break;
  }
  switch (MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags)) {
    case IDYES:
      return BoxAnswer::Yes;
    case IDNO:
      return BoxAnswer::No;
    case IDCANCEL:
      return BoxAnswer::Cancel;
    default:
      return BoxAnswer::Ok;
  }
}

std::vector<ShownBox> TakeShownBoxes() { return {}; }

bool FileExistsW(const std::u16string& path) {
  DWORD a = GetFileAttributesW(Wide(PathForSystem(path)));
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExistsW(const std::u16string& path) {
  DWORD a = GetFileAttributesW(Wide(PathForSystem(path)));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolderW(const std::u16string& path) { return CreateDirectoryW(Wide(PathForSystem(path)), nullptr) != 0; }
bool DeleteFileW(const std::u16string& path) { return ::DeleteFileW(Wide(PathForSystem(path))) != 0; }

bool RenameFileW(const std::u16string& from, const std::u16string& to, bool replace) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  return MoveFileExW(Wide(PathForSystem(from)), Wide(PathForSystem(to)), flags) != 0;
}

bool SetAttributesW(const std::u16string& path, uint32_t attributes) {
  return SetFileAttributesW(Wide(PathForSystem(path)), attributes) != 0;
}

bool GetAttributesW(const std::u16string& path, uint32_t& attributes) {
  attributes = GetFileAttributesW(Wide(PathForSystem(path)));
  return attributes != INVALID_FILE_ATTRIBUTES;
}

namespace {
FILETIME ToFileTime(uint64_t v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; }
uint64_t FromFileTime(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
SYSTEMTIME ToSystemTime(const TCalendar& c) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(c.Year);
  st.wMonth = static_cast<WORD>(c.Month);
  st.wDay = static_cast<WORD>(c.Day);
  st.wHour = static_cast<WORD>(c.Hour);
  st.wMinute = static_cast<WORD>(c.Minute);
  st.wSecond = static_cast<WORD>(c.Second);
  return st;
}
}  // namespace

bool UtcToLocal(uint64_t utc, uint64_t& local) {
  FILETIME in = ToFileTime(utc), out;
  if (!FileTimeToLocalFileTime(&in, &out)) return false;
  local = FromFileTime(out);
  return true;
}

bool LocalToUtc(uint64_t local, uint64_t& utc) {
  FILETIME in = ToFileTime(local), out;
  if (!LocalFileTimeToFileTime(&in, &out)) return false;
  utc = FromFileTime(out);
  return true;
}

uint64_t LocalNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  return FromFileTime(ft);
}

std::string ThousandSeparator() {
  char buffer[8];
  int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, sizeof buffer);
  return n > 1 ? std::string(buffer) : std::string();
}

std::string FormatShortDate(const TCalendar& when) {
  SYSTEMTIME st = ToSystemTime(when);
  char buffer[16];
  return GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 16) ? buffer : "";
}

std::string FormatTimeNoSeconds(const TCalendar& when) {
  SYSTEMTIME st = ToSystemTime(when);
  char buffer[16];
  return GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, buffer, 16) ? buffer : "";
}

std::u16string LowerCase(const std::u16string& text) {
  std::u16string out = text;
  if (!out.empty()) CharLowerBuffW(reinterpret_cast<wchar_t*>(&out[0]), static_cast<DWORD>(out.size()));
  return out;
}

void* LoadModule(const std::string& path) {
  return reinterpret_cast<void*>(LoadLibraryW(Wide(FromSystemCodePage(path))));
}

void* ModuleSymbol(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

void* SystemStringFunction(void*, const char* name) {
  static HMODULE oleaut = LoadLibraryA("oleaut32.dll");
  return oleaut ? ModuleSymbol(oleaut, name) : nullptr;
}

void RestrictLibrarySearchPath() {
  // SetDefaultDllDirectories exists from Windows 7 with KB2533623 on; look it up.
  using SetDefaultDirs = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto set_default =
      reinterpret_cast<SetDefaultDirs>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_default) set_default(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  SetDllDirectoryA("");  // takes the current folder out of the search order
}

TLock::TLock() : impl_(new CRITICAL_SECTION) { InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }
TLock::~TLock() {
  DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
  delete static_cast<CRITICAL_SECTION*>(impl_);
}
void TLock::Enter() { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }
void TLock::Leave() { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }

void EndProcess(unsigned code) { ExitProcess(code); }

uint32_t ProcessId() { return GetCurrentProcessId(); }

}  // namespace plat
