// Drives a real Win32 program from a test: starts it, finds its windows and message
// boxes, reads their texts and presses their buttons, and waits for it to end.
#pragma once

#include <windows.h>

#include <string>

namespace szsfx::test {

class TestProcess {
 public:
  TestProcess() { InitializeCriticalSection(&lock_); }
  TestProcess(const TestProcess&) = delete;
  TestProcess& operator=(const TestProcess&) = delete;
  ~TestProcess();  // ends a process that is still running

  // Starts `commandLine`; with `suspended` the first thread waits for Resume().
  // Standard output is collected and read with Output().
  bool Start(const std::wstring& commandLine, bool suspended = false);
  void Resume();
  DWORD Id() const { return info_.dwProcessId; }

  // A visible top-level window of this process with the class (and caption, when
  // given); nullptr when none appears within the time.
  HWND WaitForWindow(const std::wstring& className, const std::wstring& caption = L"", DWORD timeoutMs = 30000) const;
  // Waits for the end of the process; its exit code, or STILL_ACTIVE on timeout.
  DWORD WaitForExit(DWORD timeoutMs = 30000);
  bool Running() const;
  // Everything the process wrote to standard output so far (complete after its end).
  std::string Output();

 private:
  static DWORD WINAPI ReadOutput(LPVOID self);

  PROCESS_INFORMATION info_{};
  HANDLE outputRead_ = nullptr;
  HANDLE reader_ = nullptr;
  CRITICAL_SECTION lock_;
  std::string output_;
};

// A waiting time stretched by SZSFX_TEST_TIME_SCALE (a whole number, default 1), for
// runs under a slow emulator; the waits end early as soon as what they wait for happens.
DWORD Scaled(DWORD timeoutMs);

// Polls `condition` until it holds or the (scaled) time is up; whether it held. The one
// way the Wine tests wait for something to happen.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 10000, DWORD stepMs = 20) {
  const DWORD limit = Scaled(timeoutMs), start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= limit) return false;
    Sleep(stepMs);
  }
}

std::wstring WindowText(HWND window);
std::wstring WindowClass(HWND window);
// The text of a message box (its static control 0xFFFF).
std::wstring MessageBoxText(HWND box);
// Posts the command of a button (IDOK, IDYES, ...) to a dialog; never waits for it.
void PressButton(HWND dialog, int id);

std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
std::string ToUtf8(const std::wstring& text);

}  // namespace szsfx::test
