// The stub's entry point: start-up, then (for now) straight to the clean-up.
#include <windows.h>

#include <cstdio>

#include "platform/Platform.h"
#include "szsfxmain2/Startup.h"

using namespace szsfx;

namespace {

// One line on standard output (seen when run from a console or a test driver).
void ReportStartup(const TStartupState& app) {
  const TSettingsRecord& s = app.Settings;
  std::printf("work folder: %s\nextract folder: %s\noverwrite mode: %u\nauto extract: %u\n"
              "run command: %s\ntitle: %s\n",
              app.WorkFolder.c_str(), s.ExtractFolder.Get().c_str(), s.OverwriteMode,
              s.AutoExtract, s.RunCommand.Get().c_str(), s.Title.Get().c_str());
  std::fflush(stdout);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  plat::RestrictLibrarySearchPath();
  TStartupState& app = App();
  if (RunStartup(app, plat::ModuleFileName(), plat::CommandLine()) != StartupResult::Ready) {
    ShowOpeningError();
    CleanUpWorkFolder(app);  // only what this run created; nothing else is touched
    plat::EndProcess(1);
  }
  if (app.UsageRequested) {
    plat::ShowMessageBox(UsageText(app), app.Settings.Title.Get(), plat::BoxIcon::Information);
  } else {
    ReportStartup(app);
  }
  CleanUpWorkFolder(app);
  return 0;
}
