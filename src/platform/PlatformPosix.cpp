// Linux side of the platform layer: the portable core's tests and tools run on it.
// The system speaks UTF-8 here (the 8-bit code page is UTF-8 too): texts are converted at
// each call. There is no registry and no window system.
#include "platform/Platform.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwctype>

#include "platform/Paths.h"

namespace plat {

namespace {

std::vector<ShownBox>& ShownBoxes() {
  static std::vector<ShownBox> boxes;
  return boxes;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[i]; malformed bytes come out as U+FFFD.
uint32_t NextUtf8(const std::string& text, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char b = byte(i++);
  int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
  if (b < 0x80) return b;
  if (extra == 0 || b >= 0xF8) return 0xFFFD;
  uint32_t c = b & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size() || (byte(i) & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (byte(i++) & 0x3F);
  }
  return c;
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Native(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string FromNative(const std::string& text) { return FromSystemCodePage(text); }

int Flags(FileAccess access, FileCreation creation) {
  int flags = O_CLOEXEC | (access == FileAccess::Write ? O_WRONLY : O_RDONLY);
  switch (creation) {
    case FileCreation::CreateNew:
      return flags | O_CREAT | O_EXCL;
    case FileCreation::CreateAlways:
      return flags | O_CREAT | O_TRUNC;
    case FileCreation::OpenAlways:
      return flags | O_CREAT;
    case FileCreation::OpenExisting:
      break;
  }
  return flags;
}

}  // namespace

FileHandle OpenFile(const std::u16string& name, FileAccess access, FileSharing /*sharing*/, FileCreation creation) {
  // POSIX has no sharing modes; the access and creation meanings hold.
  int fd = ::open(Native(name).c_str(), Flags(access, creation), 0644);
  if (fd < 0) return kInvalidHandle;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return kInvalidHandle;
  }
  if (fd == 0) {  // 0 means "no handle" to the file classes: move it
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    if (moved < 0) return kInvalidHandle;
    fd = moved;
  }
  return fd;
}

bool CloseFile(FileHandle handle) { return ::close(static_cast<int>(handle)) == 0; }

bool ReadFile(FileHandle handle, void* buffer, uint32_t size, uint32_t& done) {
  ssize_t n = ::read(static_cast<int>(handle), buffer, size);
  done = n > 0 ? static_cast<uint32_t>(n) : 0;
  return n >= 0;
}

bool WriteFile(FileHandle handle, const void* buffer, uint32_t size, uint32_t& done) {
  ssize_t n = ::write(static_cast<int>(handle), buffer, size);
  done = n > 0 ? static_cast<uint32_t>(n) : 0;
  return n >= 0;
}

bool SeekFile(FileHandle handle, int64_t distance, SeekOrigin origin, uint64_t& position) {
  const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  off_t now = ::lseek(static_cast<int>(handle), static_cast<off_t>(distance), whence);
  if (now < 0) return false;
  position = static_cast<uint64_t>(now);
  return true;
}

bool TruncateFile(FileHandle handle) {
  off_t now = ::lseek(static_cast<int>(handle), 0, SEEK_CUR);
  return now >= 0 && ::ftruncate(static_cast<int>(handle), now) == 0;
}

bool ReadFileAt(FileHandle handle, uint64_t position, void* buffer, uint32_t size, uint32_t& done) {
  ssize_t n = ::pread(static_cast<int>(handle), buffer, size, static_cast<off_t>(position));
  done = n > 0 ? static_cast<uint32_t>(n) : 0;
  return n >= 0;
}

bool FileSize(FileHandle handle, uint64_t& size) {
  struct stat st;
  if (fstat(static_cast<int>(handle), &st) != 0) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

FileHandle DuplicateFile(FileHandle handle) {
  const int copy = fcntl(static_cast<int>(handle), F_DUPFD_CLOEXEC, 3);
  return copy < 0 ? kInvalidHandle : copy;
}

// POSIX has no sharing modes: a held file or folder is opened without following links
// and checked to be what it claims; nothing keeps others from renaming it.
FileHandle OpenFileHeld(const std::u16string& path) {
  const int fd = ::open(Native(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st;
  if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return fd;
  if (fd >= 0) ::close(fd);
  return kInvalidHandle;
}

FileHandle CreatePrivateFolder(const std::u16string& parent, const std::u16string& name) {
  const std::string path = Native(JoinPath(parent, name));
  if (name.empty() || ::mkdir(path.c_str(), 0700) != 0) return kInvalidHandle;
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st;
  if (fd >= 0 && fstat(fd, &st) == 0 && st.st_uid == ::geteuid()) return fd;
  if (fd >= 0) ::close(fd);
  return kInvalidHandle;
}

bool IsSameFile(FileHandle held, const std::u16string& path) {
  std::u16string name = path;
  while (name.size() > 1 && name.back() == u'/') name.pop_back();  // "dir/" would follow a link
  struct stat a, b;
  return fstat(static_cast<int>(held), &a) == 0 && lstat(Native(name).c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

bool DeleteHeld(FileHandle handle, const std::u16string& path) {
  std::u16string name = path;
  while (name.size() > 1 && name.back() == u'/') name.pop_back();
  struct stat st;
  const bool folder = fstat(static_cast<int>(handle), &st) == 0 && S_ISDIR(st.st_mode);
  const bool same = IsSameFile(handle, name);
  ::close(static_cast<int>(handle));
  if (!same) return false;
  return (folder ? ::rmdir(Native(name).c_str()) : ::unlink(Native(name).c_str())) == 0;
}

bool RandomBytes(void* buffer, uint32_t size) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (uint32_t done = 0; done < size;) {
    const ssize_t n = getrandom(bytes + done, size - done, 0);
    if (n <= 0) return false;
    done += static_cast<uint32_t>(n);
  }
  return true;
}

std::u16string TempPath() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = dir && *dir ? dir : "/tmp";
  if (path.back() != '/') path += '/';
  return path.size() <= 255 ? FromNative(path) : std::u16string();
}

std::u16string CurrentDirectory() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) ? FromNative(buffer) : std::u16string();
}

// Linux has no Windows or system folder.
std::u16string WindowsFolder() { return std::u16string(); }
std::u16string SystemFolder() { return std::u16string(); }

bool FolderExists(const std::u16string& path) {
  struct stat st;
  return stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::u16string& path) {
  struct stat st;
  return stat(Native(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool CreateFolder(const std::u16string& path) { return ::mkdir(Native(path).c_str(), 0755) == 0; }
bool DeleteFileNamed(const std::u16string& path) { return ::unlink(Native(path).c_str()) == 0; }

std::u16string ModuleFileName() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? FromNative(std::string(buffer, static_cast<size_t>(n))) : u"";
}

std::u16string CommandLine() { return std::u16string(); }

bool ReadRegistryString(RegistryRoot, const std::u16string&, const std::u16string&, std::u16string&) { return false; }

std::u16string FromSystemCodePage(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    uint32_t c = NextUtf8(text, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

namespace {

// Converts all of `in` with iconv; false at the first sequence it cannot convert.
bool ConvertWith(const char* to, const char* from, const std::string& in, std::string& out, bool& known) {
  out.clear();
  iconv_t cd = iconv_open(to, from);
  known = cd != reinterpret_cast<iconv_t>(-1);
  if (!known) return false;
  std::string copy = in;
  char* next = copy.data();
  size_t left = copy.size();
  bool ok = true;
  while (ok && left > 0) {
    char chunk[256];
    char* write = chunk;
    size_t room = sizeof chunk;
    ok = iconv(cd, &next, &left, &write, &room) != static_cast<size_t>(-1) || errno == E2BIG;
    out.append(chunk, static_cast<size_t>(write - chunk));
  }
  iconv_close(cd);
  return ok;
}

}  // namespace

CodePageResult Utf8ToCodePage(const std::string& utf8, unsigned codePage, std::string& out) {
  bool known = false;
  std::string wide;
  if (!ConvertWith("UTF-32LE", "UTF-8", utf8, wide, known)) return CodePageResult::NotUtf8;
  const std::string target = "CP" + std::to_string(codePage);
  if (ConvertWith(target.c_str(), "UTF-8", utf8, out, known)) return CodePageResult::Ok;
  out.clear();
  return known ? CodePageResult::NotRepresentable : CodePageResult::UnknownCodePage;
}

uint32_t TickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

uint64_t MicrosecondsSinceStart() {
  const auto now = [] {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
  };
  static const uint64_t start = now();
  return now() - start;
}

std::u16string EnvironmentValue(const char16_t* name) {
  const char* value = std::getenv(Native(name).c_str());
  return value ? FromNative(value) : std::u16string();
}

BoxAnswer ShowMessageBox(const std::u16string& text, const std::u16string& caption, BoxIcon icon, BoxButtons buttons) {
  std::fprintf(stderr, "[%s] %s\n", Native(caption).c_str(), Native(text).c_str());
  ShownBoxes().push_back({text, caption, icon});
  return buttons == BoxButtons::YesNoCancel ? BoxAnswer::Cancel : BoxAnswer::Ok;
}

std::vector<ShownBox> TakeShownBoxes() {
  std::vector<ShownBox> boxes;
  boxes.swap(ShownBoxes());
  return boxes;
}

bool RenameFile(const std::u16string& from, const std::u16string& to, bool replace) {
  const std::string source = Native(from), target = Native(to);
  if (replace) return std::rename(source.c_str(), target.c_str()) == 0;
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without that flag: a second link never replaces anything either.
  return ::link(source.c_str(), target.c_str()) == 0 && ::unlink(source.c_str()) == 0;
}

// Only the read-only bit has a meaning here: it takes the write permissions away.
bool SetAttributes(const std::u16string& path, uint32_t attributes) {
  struct stat st;
  const std::string name = Native(path);
  if (stat(name.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & 1) ? (mode & ~0222) : (mode | 0200);
  return chmod(name.c_str(), mode) == 0;
}

bool GetAttributes(const std::u16string& path, uint32_t& attributes) {
  struct stat st;
  if (stat(Native(path).c_str(), &st) != 0) return false;
  attributes = (st.st_mode & 0200) ? 0 : kAttributeReadOnly;
  if (S_ISDIR(st.st_mode)) attributes |= 0x10;
  return true;
}

namespace {
constexpr int64_t kUnixEpoch = 116444736000000000;  // 1970 in 100 ns units since 1601
constexpr int64_t kPerSecond = 10000000;
}  // namespace

namespace {
// The access time left as it is, the modification time set to `utc`.
void ModifiedTimes(uint64_t utc, timespec (&times)[2]) {
  int64_t since = static_cast<int64_t>(utc) - kUnixEpoch;
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(since / kPerSecond);
  times[1].tv_nsec = static_cast<long>((since % kPerSecond) * 100);
  if (times[1].tv_nsec < 0) {
    times[1].tv_sec -= 1;
    times[1].tv_nsec += 1000000000;
  }
}
}  // namespace

bool SetFileModifiedTime(FileHandle handle, uint64_t utc) {
  timespec times[2];
  ModifiedTimes(utc, times);
  return futimens(static_cast<int>(handle), times) == 0;
}

std::u16string LowerCase(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out) c = static_cast<char16_t>(std::towlower(static_cast<wint_t>(c)));
  return out;
}

void* LoadModule(const std::u16string& path) { return dlopen(Native(path).c_str(), RTLD_NOW | RTLD_LOCAL); }
void* ModuleSymbol(void* module, const char* name) { return dlsym(module, name); }
void UnloadModule(void* module) { dlclose(module); }
void* SystemStringFunction(void* library, const char* name) { return library ? dlsym(library, name) : nullptr; }

void RestrictLibrarySearchPath() {}

TLock::TLock() : impl_(new pthread_mutex_t) { pthread_mutex_init(static_cast<pthread_mutex_t*>(impl_), nullptr); }
TLock::~TLock() {
  pthread_mutex_destroy(static_cast<pthread_mutex_t*>(impl_));
  delete static_cast<pthread_mutex_t*>(impl_);
}
void TLock::Acquire() { pthread_mutex_lock(static_cast<pthread_mutex_t*>(impl_)); }
void TLock::Release() { pthread_mutex_unlock(static_cast<pthread_mutex_t*>(impl_)); }

uint64_t CurrentThreadNumber() { return static_cast<uint64_t>(pthread_self()); }

void EndProcess(unsigned code) { std::exit(static_cast<int>(code)); }

uint32_t ProcessId() { return static_cast<uint32_t>(::getpid()); }

}  // namespace plat
