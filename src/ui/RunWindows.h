// The windows of a run (Win32): the main window and the password window it owns. A run
// that is shown makes them at once; a silent run makes them only when the archive asks
// for a password, and otherwise never pays for a window.
#pragma once

#include "ui/ExtractionRun.h"
#include "ui/MainWindow.h"
#include "ui/PasswordWindow.h"

namespace szsfx {

class TRunWindows final : public IPasswordQuestion {
 public:
  // The windows show `run`, which outlives them.
  TRunWindows(TRunSetup& app, TExtractionRun& run);
  TRunWindows(const TRunWindows&) = delete;
  TRunWindows& operator=(const TRunWindows&) = delete;

  // Makes both windows, hidden, once. False when they cannot be made (no window station
  // or desktop to show them on).
  bool Make();
  // Lists the archive (the preparation, an automatic run included), shows the main window
  // and handles its messages until it closes. Returns the exit code.
  unsigned Show();
  // A password was asked where no window could be made: the run could not go on.
  bool Unavailable() const { return unavailable_; }

  bool AskPassword(const std::u16string& item, std::u16string& password) override;
  void Forget() override;

 private:
  TMainWindow form_;
  TPasswordWindow password_;
  bool made_ = false;
  bool unavailable_ = false;
};

}  // namespace szsfx
