// The one place that knows which operating system the program runs on.
// Everything above this layer is the same code on Win32 and on Linux.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// ---- Files (wide names, 64-bit positions) --------------------------------
using FileHandle = intptr_t;
constexpr FileHandle kInvalidHandle = -1;

// Who opens a file for what, who else may open it meanwhile, and what opening does when
// a file of that name exists or does not; the values are the Win32 ones.
enum class FileAccess : uint32_t { Read = 0x80000000u, Write = 0x40000000u };
enum class FileSharing : uint32_t { Read = 1, ReadWrite = 3 };
enum class FileCreation : uint32_t { CreateNew = 1, CreateAlways = 2, OpenExisting = 3, OpenAlways = 4 };

// Opens with normal attributes; kInvalidHandle on failure.
FileHandle OpenFile(const std::u16string& name, FileAccess access, FileSharing sharing, FileCreation creation);
bool CloseFile(FileHandle handle);
bool ReadFile(FileHandle handle, void* buffer, uint32_t size, uint32_t& done);
bool WriteFile(FileHandle handle, const void* buffer, uint32_t size, uint32_t& done);
// Where a seek distance counts from (the values the system calls and the archive
// library's streams use).
enum class SeekOrigin : uint32_t { Begin = 0, Current = 1, End = 2 };
bool SeekFile(FileHandle handle, int64_t distance, SeekOrigin origin, uint64_t& position);
bool TruncateFile(FileHandle handle);  // ends the file at the current position
// Reads at `position` without regard to (or need of) the handle's own position: several
// readers can share one open file.
bool ReadFileAt(FileHandle handle, uint64_t position, void* buffer, uint32_t size, uint32_t& done);
bool FileSize(FileHandle handle, uint64_t& size);
// A second handle to the same open file (no new open by name); kInvalidHandle on failure.
FileHandle DuplicateFile(FileHandle handle);
// Sets the last-write time of an open file; `utc` counts 100 ns units since 1601.
bool SetFileModifiedTime(FileHandle handle, uint64_t utc);

// ---- Folders and paths -------------------------------------------------------
// Every text is UTF-16; the Linux side speaks UTF-8 to the system.
#ifdef _WIN32
constexpr char16_t kPathSeparator = u'\\';
constexpr bool kCaseSensitiveNames = false;
#else
constexpr char16_t kPathSeparator = u'/';
constexpr bool kCaseSensitiveNames = true;
#endif
std::u16string TempPath();  // with its trailing separator
std::u16string CurrentDirectory();
std::u16string WindowsFolder();
std::u16string SystemFolder();
std::u16string ModuleFileName();              // the running program's own file
std::u16string CommandLine();                 // the process's command line
bool FileExists(const std::u16string& path);  // a file, not a folder
bool FolderExists(const std::u16string& path);
bool CreateFolder(const std::u16string& path);  // one level; false when it exists already
bool DeleteFileNamed(const std::u16string& path);
// Gives a file its final name in one step. With `replace` an existing file of that name
// is replaced (it stays as it was if the call fails); without, the call fails instead.
bool RenameFile(const std::u16string& from, const std::u16string& to, bool replace);
bool SetAttributes(const std::u16string& path, uint32_t attributes);
bool GetAttributes(const std::u16string& path, uint32_t& attributes);
constexpr uint32_t kAttributeReadOnly = 1;

// ---- Held files and folders ---------------------------------------------------
// A file or folder held open so that no other process can write, rename or delete it
// (nor replace it with another under its name) until it is closed. Others may read it.
//
// Opens the existing file `path` to read it; a link is refused, never followed.
FileHandle OpenFileHeld(const std::u16string& path);
// Creates the folder `name` in `parent` and holds it. The folder is new: an existing
// folder, file or link of that name makes it fail. Only its owner and the system may use
// it (on Windows: a protected access list with those two, inherited by what it holds).
FileHandle CreatePrivateFolder(const std::u16string& parent, const std::u16string& name);
// Whether `path` names, without following a link, the very file or folder `held` is open on.
bool IsSameFile(FileHandle held, const std::u16string& path);
// Deletes the held file or empty folder `handle` (found at `path` where the system needs
// the name) and closes the handle either way; false when it is still there.
bool DeleteHeld(FileHandle handle, const std::u16string& path);

// ---- Randomness ----------------------------------------------------------------
// Bytes from the system's cryptographic generator; false when it gives none.
bool RandomBytes(void* buffer, uint32_t size);

// The text in lower case by the system's rules.
std::u16string LowerCase(const std::u16string& text);

// ---- Loadable modules ------------------------------------------------------
void* LoadModule(const std::u16string& path);  // by full path only
void* ModuleSymbol(void* module, const char* name);
void UnloadModule(void* module);
// The system-string allocator the archive library uses ("SysAllocString" or
// "SysFreeString"): the platform's own on Windows, the library's export on Linux.
void* SystemStringFunction(void* library, const char* name);

// ---- Registry (always empty where there is none) -------------------------
enum class RegistryRoot { LocalMachine, CurrentUser };
// Reads a plain string value (REG_SZ); false when the key, the value or its type does not fit.
bool ReadRegistryString(RegistryRoot root, const std::u16string& key, const std::u16string& value, std::u16string& out);

// ---- Code page -------------------------------------------------------------
// The payload's texts (settings record, messages) are in the system code page: start-up
// turns them into UTF-16 once. Tools decode their 8-bit arguments with it too.
std::u16string FromSystemCodePage(const std::string& text);
// UTF-8 text in the Windows code page `codePage` (1252, 1251, 932, ...), character for
// character; never a best-fit or default character in place of one it cannot hold.
enum class CodePageResult { Ok, UnknownCodePage, NotUtf8, NotRepresentable };
CodePageResult Utf8ToCodePage(const std::string& utf8, unsigned codePage, std::string& out);

// ---- Clocks ----------------------------------------------------------------
uint32_t TickCount();
// Microseconds since the process was created (on Linux: since its first call).
uint64_t MicrosecondsSinceStart();

// ---- Environment -------------------------------------------------------------
// The value of an environment variable; empty when it is not set.
std::u16string EnvironmentValue(const char16_t* name);

// ---- Message boxes ---------------------------------------------------------
enum class BoxIcon { None, Error, Information, Question };
enum class BoxButtons { Ok, YesNoCancel };
enum class BoxAnswer { Ok, Yes, No, Cancel };
BoxAnswer ShowMessageBox(const std::u16string& text, const std::u16string& caption, BoxIcon icon,
                         BoxButtons buttons = BoxButtons::Ok);

// Boxes shown so far in this process; kept by the Linux layer only, where no
// window system exists, so that tests can read what the user would have seen.
struct ShownBox {
  std::u16string text, caption;
  BoxIcon icon;
};
std::vector<ShownBox> TakeShownBoxes();

// ---- Locks -------------------------------------------------------------------
// The calling thread's number, never 0.
uint64_t CurrentThreadNumber();

// A mutual-exclusion lock (the archive library calls back from its own threads). Builds
// with assertions record the thread that holds it, so that code meant to run under it
// can assert that it does.
class TLock {
 public:
  TLock();
  ~TLock();
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;
  void Enter() {
    Acquire();
#ifndef NDEBUG
    owner_ = CurrentThreadNumber();
#endif
  }
  void Leave() {
#ifndef NDEBUG
    owner_ = 0;
#endif
    Release();
  }
  // Whether the calling thread holds the lock; always true where nothing records the owner.
  bool HeldByThisThread() const {
#ifndef NDEBUG
    return owner_ == CurrentThreadNumber();
#else
    return true;
#endif
  }

 private:
  void Acquire();
  void Release();
  void* impl_;
#ifndef NDEBUG
  std::atomic<uint64_t> owner_{0};  // the holding thread's number, 0 when free
#endif
};

class TLockGuard {
 public:
  explicit TLockGuard(TLock& lock) : lock_(lock) { lock_.Enter(); }
  ~TLockGuard() { lock_.Leave(); }
  TLockGuard(const TLockGuard&) = delete;
  TLockGuard& operator=(const TLockGuard&) = delete;

 private:
  TLock& lock_;
};

// ---- Process ---------------------------------------------------------------
// Limits where the loader may find modules to the system folder, before anything is loaded.
void RestrictLibrarySearchPath();
[[noreturn]] void EndProcess(unsigned code);
uint32_t ProcessId();

}  // namespace plat
