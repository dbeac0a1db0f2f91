// The stub's entry point: start-up, the main window's message loop, the clean-up.
#include <windows.h>

#include <commctrl.h>

#include "app/Startup.h"
#include "platform/MemoryReserve.h"
#include "platform/PhaseTrace.h"
#include "platform/Platform.h"
#include "ui/MainWindow.h"
#include "ui/PasswordWindow.h"

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
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // Windows that cannot be created (no window station or desktop to show them on) end
  // the run as failed: nothing was extracted.
  unsigned code = kExitFailed;
  plat::TracePhase("start-up");
  {
    TMainWindow form(app);  // its archive component lets go of the library before the clean-up
    TPasswordWindow password(app);
    if (form.Create() && password.Create(form.Handle())) {
      plat::TracePhase("windows created");
      form.SetPasswordWindow(&password);
      // An archive that cannot be read (or whose password the user did not give) ends the
      // run here, failed or cancelled; the clean-up below removes our own library only.
      code = form.ShowFirstTime() ? form.RunMessageLoop() : form.ExitCode();
    }
  }
  plat::TracePhase("window closed");
  CleanUpWorkFolder(app);
  plat::TracePhase("clean-up");
  return static_cast<int>(code);
}
