// Win32 side of the platform layer.
#include "platform/ExtendedPath.h"
#include "platform/Platform.h"
#include "platform/Win32Helpers.h"

#include <windows.h>
// after windows.h
#include <ntsecapi.h>
#include <winternl.h>

#include <cstring>
#include <vector>

namespace plat {

namespace {

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

HANDLE H(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// A path from a call that writes into a buffer and reports the size it needs when the
// buffer is too small: the buffer grows to that size instead of cutting the path.
template <typename Call>
std::u16string GrowingPath(Call call) {
  std::u16string buffer(MAX_PATH + 1, u'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = call(static_cast<DWORD>(buffer.size()), reinterpret_cast<wchar_t*>(&buffer[0]));
    if (n == 0) return std::u16string();
    if (n < buffer.size()) return buffer.substr(0, n);
    buffer.assign(n + 1, u'\0');  // n counts the terminating NUL when it did not fit
  }
  return std::u16string();
}

}  // namespace

FileHandle OpenFile(const std::u16string& name, FileAccess access, FileSharing sharing, FileCreation creation) {
  HANDLE h = CreateFileW(Wide(PathForSystem(name)), static_cast<DWORD>(access), static_cast<DWORD>(sharing), nullptr,
                         static_cast<DWORD>(creation), FILE_ATTRIBUTE_NORMAL, nullptr);
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

// A synchronous handle reads at the position an OVERLAPPED names.
bool ReadFileAt(FileHandle handle, uint64_t position, void* buffer, uint32_t size, uint32_t& done) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(position);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  DWORD n = 0;
  const BOOL ok = ::ReadFile(H(handle), buffer, size, &n, &at);
  done = n;
  return ok != 0 || GetLastError() == ERROR_HANDLE_EOF;
}

bool FileSize(FileHandle handle, uint64_t& size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(H(handle), &value)) return false;
  size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

FileHandle DuplicateFile(FileHandle handle) {
  HANDLE copy = nullptr;
  const HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, H(handle), self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return kInvalidHandle;
  return reinterpret_cast<FileHandle>(copy);
}

// ---- Held files and folders ------------------------------------------------------
// Held handles share reading only (folders: reading and writing, so that files can be
// made in them): opening such a file for writing, renaming or deleting it needs a sharing
// mode the handle does not grant, and Windows refuses to rename a folder while anything
// below it is open. Held handles may delete what they hold, so that the clean-up removes
// that very file or folder and never one that took its name.

namespace {

constexpr DWORD kHeldFileAccess = GENERIC_READ | DELETE;
constexpr DWORD kHeldFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | DELETE | SYNCHRONIZE;

bool IsPlainOpen(HANDLE handle, bool folder) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return false;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
  return ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

// The process's default owner for new objects and the local system, each with full
// control, inherited by files and folders below; nothing inherited from the parent.
class TPrivateAccess {
 public:
  TPrivateAccess() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    GetTokenInformation(token, TokenOwner, nullptr, 0, &size);
    owner_.resize(size);
    const bool haveOwner = size && GetTokenInformation(token, TokenOwner, owner_.data(), size, &size);
    CloseHandle(token);
    if (!haveOwner) return;
    PSID ownerSid = reinterpret_cast<TOKEN_OWNER*>(owner_.data())->Owner;
    DWORD systemSize = SECURITY_MAX_SID_SIZE;
    system_.resize(systemSize);
    if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, system_.data(), &systemSize)) return;
    const DWORD aclSize = sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(ownerSid) + systemSize;
    acl_.resize(aclSize);
    auto* acl = reinterpret_cast<ACL*>(acl_.data());
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    ready_ = InitializeAcl(acl, aclSize, ACL_REVISION) &&
             AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, ownerSid) &&
             AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, system_.data()) &&
             InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
             SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
  // nullptr when the list could not be made: the folder is not made either.
  SECURITY_DESCRIPTOR* Descriptor() { return ready_ ? &descriptor_ : nullptr; }

 private:
  std::vector<BYTE> owner_, system_, acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  bool ready_ = false;
};

}  // namespace

FileHandle OpenFileHeld(const std::u16string& path) {
  HANDLE h = CreateFileW(Wide(PathForSystem(path)), kHeldFileAccess, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kInvalidHandle;
  if (!IsPlainOpen(h, false)) {
    CloseHandle(h);
    return kInvalidHandle;
  }
  return reinterpret_cast<FileHandle>(h);
}

// Made and opened in one call, relative to the parent's handle: between the folder's
// creation and its handle there is no moment in which another process could put
// something else under its name.
FileHandle CreatePrivateFolder(const std::u16string& parent, const std::u16string& name) {
  TPrivateAccess access;
  if (!access.Descriptor() || name.empty() || name.size() > 255) return kInvalidHandle;
  HANDLE folder = CreateFileW(Wide(PathForSystem(parent)), FILE_TRAVERSE | FILE_ADD_SUBDIRECTORY | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return kInvalidHandle;
  UNICODE_STRING relative;
  relative.Buffer = const_cast<wchar_t*>(Wide(name));
  relative.Length = relative.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &relative, OBJ_CASE_INSENSITIVE, folder, access.Descriptor());
  IO_STATUS_BLOCK status{};
  HANDLE created = nullptr;
  const NTSTATUS result =
      NtCreateFile(&created, kHeldFolderAccess, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL,
                   FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
                   FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  CloseHandle(folder);
  return result >= 0 ? reinterpret_cast<FileHandle>(created) : kInvalidHandle;
}

bool IsSameFile(FileHandle held, const std::u16string& path) {
  HANDLE named = CreateFileW(Wide(PathForSystem(path)), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a, b;
  const bool same = GetFileInformationByHandle(H(held), &a) && GetFileInformationByHandle(named, &b) &&
                    !(b.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                    a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                    a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(named);
  return same;
}

bool DeleteHeld(FileHandle handle, const std::u16string&) {
  FILE_DISPOSITION_INFO dispose{TRUE};
  const bool marked = SetFileInformationByHandle(H(handle), FileDispositionInfo, &dispose, sizeof dispose) != 0;
  CloseHandle(H(handle));
  return marked;
}

bool RandomBytes(void* buffer, uint32_t size) { return RtlGenRandom(buffer, size) != 0; }

bool SetFileModifiedTime(FileHandle handle, uint64_t utc) {
  FILETIME ft{static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
  return SetFileTime(H(handle), nullptr, nullptr, &ft) != 0;
}

std::u16string TempPath() {
  return GrowingPath([](DWORD size, wchar_t* buffer) { return GetTempPathW(size, buffer); });
}

std::u16string CurrentDirectory() {
  return GrowingPath([](DWORD size, wchar_t* buffer) { return GetCurrentDirectoryW(size, buffer); });
}

std::u16string WindowsFolder() {
  return GrowingPath([](DWORD size, wchar_t* buffer) { return GetWindowsDirectoryW(buffer, size); });
}

std::u16string SystemFolder() {
  return GrowingPath([](DWORD size, wchar_t* buffer) { return GetSystemDirectoryW(buffer, size); });
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

std::u16string CommandLine() { return reinterpret_cast<const char16_t*>(GetCommandLineW()); }

bool ReadRegistryString(RegistryRoot root, const std::u16string& key, const std::u16string& value,
                        std::u16string& out) {
  HKEY base = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  HKEY k;
  if (RegOpenKeyExW(base, Wide(key), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  DWORD type = 0, size = 0;
  bool ok = RegQueryValueExW(k, Wide(value), nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ;
  if (ok) {
    std::u16string data(size / sizeof(char16_t) + 1, u'\0');  // room for a NUL the value may lack
    DWORD got = size;
    ok = RegQueryValueExW(k, Wide(value), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &got) == ERROR_SUCCESS &&
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

BoxAnswer ShowMessageBox(const std::u16string& text, const std::u16string& caption, BoxIcon icon, BoxButtons buttons) {
  // A question is a service notification: shown on the active desktop.
  UINT flags = buttons == BoxButtons::YesNoCancel ? MB_YESNOCANCEL | MB_SERVICE_NOTIFICATION : MB_OK;
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
  switch (MessageBoxW(nullptr, Wide(text), Wide(caption), flags)) {
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

bool FileExists(const std::u16string& path) {
  DWORD a = GetFileAttributesW(Wide(PathForSystem(path)));
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::u16string& path) {
  DWORD a = GetFileAttributesW(Wide(PathForSystem(path)));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolder(const std::u16string& path) { return CreateDirectoryW(Wide(PathForSystem(path)), nullptr) != 0; }
bool DeleteFileNamed(const std::u16string& path) { return DeleteFileW(Wide(PathForSystem(path))) != 0; }

bool RenameFile(const std::u16string& from, const std::u16string& to, bool replace) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  return MoveFileExW(Wide(PathForSystem(from)), Wide(PathForSystem(to)), flags) != 0;
}

bool SetAttributes(const std::u16string& path, uint32_t attributes) {
  return SetFileAttributesW(Wide(PathForSystem(path)), attributes) != 0;
}

bool GetAttributes(const std::u16string& path, uint32_t& attributes) {
  attributes = GetFileAttributesW(Wide(PathForSystem(path)));
  return attributes != INVALID_FILE_ATTRIBUTES;
}

std::u16string LowerCase(const std::u16string& text) {
  std::u16string out = text;
  if (!out.empty()) CharLowerBuffW(reinterpret_cast<wchar_t*>(&out[0]), static_cast<DWORD>(out.size()));
  return out;
}

void* LoadModule(const std::u16string& path) { return reinterpret_cast<void*>(LoadLibraryW(Wide(path))); }

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
  if (auto setDefault = SystemFunction<SetDefaultDirs>(L"kernel32.dll", "SetDefaultDllDirectories")) {
    setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  SetDllDirectoryA("");  // takes the current folder out of the search order
}

TLock::TLock() : impl_(new CRITICAL_SECTION) { InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }
TLock::~TLock() {
  DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
  delete static_cast<CRITICAL_SECTION*>(impl_);
}
void TLock::Acquire() { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }
void TLock::Release() { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }

uint64_t CurrentThreadNumber() { return GetCurrentThreadId(); }

void EndProcess(unsigned code) { ExitProcess(code); }

uint32_t ProcessId() { return GetCurrentProcessId(); }

}  // namespace plat
