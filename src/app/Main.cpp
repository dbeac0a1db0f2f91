// The stub's entry point: start-up, the run (shown in its windows, or silent), the clean-up.
#include <windows.h>

#include "app/Startup.h"
#include "platform/MemoryReserve.h"
#include "platform/PhaseTrace.h"
#include "platform/Platform.h"
#include "ui/RunWindows.h"

using namespace szsfx;

namespace {
// Enough to show the outcome and clean up after memory ran out.
constexpr size_t kMemoryReserve = 1 << 20;
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  TStartupState app;
  // First thing: from here on the program's file cannot be renamed away or replaced.
  OpenProgramFile(app, plat::ModuleFileName());  // start-up fails without it
  plat::RestrictLibrarySearchPath();
  plat::SetMemoryReserve(kMemoryReserve);
  plat::TracePhase("process start");
  if (RunStartup(app, plat::CommandLine()) != StartupResult::Ready) {
    if (!app.Silent) ShowOpeningError();
    CleanUpWorkFolder(app);  // only what this run created; nothing else is touched
    plat::EndProcess(kExitFailed);
  }
  if (app.UsageRequested) {
    plat::ShowMessageBox(UsageText(app), app.Title, plat::BoxIcon::Information);
    CleanUpWorkFolder(app);
    return kExitOk;
  }
  unsigned code = kExitFailed;
  plat::TracePhase("start-up");
  {
    TExtractionRun run(app);  // lets go of the library before the clean-up
    TRunWindows windows(app, run);
    run.SetPasswordQuestion(&windows);
    if (app.Silent) {
      // Nothing to show: the windows are made only to ask for a password. Where they
      // cannot be made, that question had no answer and the run failed.
      code = run.ExtractSilently();
      if (windows.Unavailable()) code = kExitFailed;
    } else if (windows.Make()) {
      code = windows.Show();
    }  // else no window station or desktop to show them on: failed, nothing extracted
  }
  plat::TracePhase("run ended");
  CleanUpWorkFolder(app);
  plat::TracePhase("clean-up");
  return static_cast<int>(code);
}
