// The Windows half of tests that start the stub from a script (under a file-size limit,
// which a Windows program cannot set for another): finds the stub's message box, prints
// its text and answers it. Runs only when such a script asks for it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "Driver.h"

namespace szsfx::test {
namespace {

TEST(OutsideRun, AnswersTheStubsMessageBox) {
  const char* caption = std::getenv("SZSFX_OUTSIDE_CAPTION");
  if (!caption) GTEST_SKIP() << "only for a run that a script started (tests/win32/full_disk_wine.sh)";
  const std::wstring wanted = Widen(caption);
  HWND box = nullptr;
  const bool seen = WaitUntil(
      [&] {
        box = FindWindowW(L"#32770", wanted.c_str());
        return box != nullptr && IsWindowVisible(box);
      },
      90000, 100);
  ASSERT_TRUE(seen) << "no message box captioned " << caption;
  std::printf("box text: %s\n", Narrow(MessageBoxText(box)).c_str());
  std::fflush(stdout);
  PressButton(box, IDOK);
}

}  // namespace
}  // namespace szsfx::test
