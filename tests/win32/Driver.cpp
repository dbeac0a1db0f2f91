#include "Driver.h"

#include <cstdio>
#include <cstdlib>

#include <vector>

namespace szsfx::test {

namespace {

struct Search {
  DWORD pid;
  const std::wstring* className;
  const std::wstring* caption;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
  if (WindowClass(window) != *search->className) return TRUE;
  if (!search->caption->empty() && WindowText(window) != *search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

TestProcess::~TestProcess() {
  if (info_.hProcess) {
    if (Running()) TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 10000);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  if (reader_) {
    WaitForSingleObject(reader_, 5000);
    CloseHandle(reader_);
  }
  if (outputRead_) CloseHandle(outputRead_);
  DeleteCriticalSection(&lock_);
}

bool TestProcess::Start(const std::wstring& commandLine, bool suspended) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE outputWrite = nullptr;
  if (!CreatePipe(&outputRead_, &outputWrite, &inherit, 0)) return false;
  SetHandleInformation(outputRead_, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = outputWrite;
  startup.hStdError = outputWrite;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  const DWORD flags = suspended ? CREATE_SUSPENDED : 0;
  BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup, &info_);
  if (!ok) {
    // Wine has been seen to refuse, rarely, to start a self-extractor built a moment
    // before: say with which error, and try once more.
    std::fprintf(stderr, "driver: CreateProcess failed with error %lu; trying once more\n", GetLastError());
    Sleep(500);
    ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup, &info_);
  }
  CloseHandle(outputWrite);
  if (!ok) return false;
  reader_ = CreateThread(nullptr, 0, &TestProcess::ReadOutput, this, 0, nullptr);
  return true;
}

DWORD WINAPI TestProcess::ReadOutput(LPVOID param) {
  auto* self = static_cast<TestProcess*>(param);
  char chunk[4096];
  DWORD n = 0;
  while (ReadFile(self->outputRead_, chunk, sizeof chunk, &n, nullptr) && n > 0) {
    EnterCriticalSection(&self->lock_);
    self->output_.append(chunk, n);
    LeaveCriticalSection(&self->lock_);
  }
  return 0;
}

void TestProcess::Resume() { ResumeThread(info_.hThread); }

DWORD Scaled(DWORD timeoutMs) {
  static const DWORD scale = [] {
    char text[16] = {};
    DWORD n = GetEnvironmentVariableA("SZSFX_TEST_TIME_SCALE", text, sizeof text);
    long value = n > 0 && n < sizeof text ? std::strtol(text, nullptr, 10) : 1;
    return static_cast<DWORD>(value >= 1 && value <= 100 ? value : 1);
  }();
  return timeoutMs == INFINITE ? INFINITE : timeoutMs * scale;
}

HWND TestProcess::WaitForWindow(const std::wstring& className, const std::wstring& caption, DWORD timeoutMs) const {
  const DWORD limit = Scaled(timeoutMs), start = GetTickCount();
  do {
    Search search{info_.dwProcessId, &className, &caption, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (!Running()) return nullptr;
    Sleep(50);
  } while (GetTickCount() - start < limit);
  return nullptr;
}

DWORD TestProcess::WaitForExit(DWORD timeoutMs) {
  if (WaitForSingleObject(info_.hProcess, Scaled(timeoutMs)) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(info_.hProcess, &code);
  if (reader_) WaitForSingleObject(reader_, 5000);
  return code;
}

bool TestProcess::Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

std::string TestProcess::Output() {
  EnterCriticalSection(&lock_);
  std::string copy = output_;
  LeaveCriticalSection(&lock_);
  return copy;
}

std::wstring WindowText(HWND window) {
  LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  LRESULT got = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(got));
  return text;
}

std::wstring WindowClass(HWND window) {
  wchar_t name[256];
  int n = GetClassNameW(window, name, 256);
  return std::wstring(name, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring MessageBoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text ? WindowText(text) : std::wstring();
}

void PressButton(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

namespace {

std::wstring ToWide(UINT codePage, const std::string& text) {
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string FromWide(UINT codePage, const std::wstring& text) {
  int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring Widen(const std::string& text) { return ToWide(CP_ACP, text); }
std::string Narrow(const std::wstring& text) { return FromWide(CP_ACP, text); }
std::wstring FromUtf8(const std::string& text) { return ToWide(CP_UTF8, text); }
std::string ToUtf8(const std::wstring& text) { return FromWide(CP_UTF8, text); }

}  // namespace szsfx::test
