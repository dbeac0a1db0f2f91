#include "ui/RunWindows.h"

#include <commctrl.h>

#include "platform/PhaseTrace.h"

namespace szsfx {

TRunWindows::TRunWindows(TRunSetup& app, TExtractionRun& run) : form_(app, run), password_(app) {}

bool TRunWindows::Make() {
  if (made_ || unavailable_) return made_;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  made_ = form_.Create() && password_.Create(form_.Handle());
  unavailable_ = !made_;
  if (made_) plat::TracePhase("windows created");
  return made_;
}

unsigned TRunWindows::Show() {
  // An archive that cannot be read (or whose password the user did not give) ends the
  // run in the preparation, failed or cancelled.
  return form_.ShowFirstTime() ? form_.RunMessageLoop() : form_.ExitCode();
}

bool TRunWindows::AskPassword(const std::u16string& item, std::u16string& password) {
  return Make() && password_.AskPassword(item, password);
}

void TRunWindows::Forget() {
  if (made_) password_.Forget();
}

}  // namespace szsfx
