// The keyboard rules of the stub's windows (Win32), and the dispatch of the thread's
// messages that applies them. Alt+letter clicks the first visible, enabled button or
// radio button whose caption marks the letter (a label's mark has no binding). With
// dialog navigation, Tab, Shift+Tab and Enter move and press as in a dialog, while the
// arrow and page keys and typing go to the focused control; without it they have no
// binding.
#pragma once

#include <windows.h>

#include <vector>

namespace szsfx {

class TDialogKeyboard {
 public:
  enum class Navigation { None, Dialog };

  // `marked`: the buttons and radio buttons whose caption marks may click them, in the
  // order they are tried.
  void Attach(HWND window, std::vector<HWND> marked, Navigation navigation);
  // Applies the rules to `msg` when it is for the window; any other message is
  // translated and dispatched.
  void Dispatch(MSG& msg) const;
  // Takes one pending message and dispatches it; false when none was pending or the
  // process is quitting (the quit request is left for the main loop).
  bool DispatchOne() const;
  void DispatchPending() const;

 private:
  bool ApplyRules(MSG& msg) const;  // true when the rules handled `msg`
  bool ClickMarked(wchar_t letter) const;

  HWND window_ = nullptr;
  std::vector<HWND> marked_;
  Navigation navigation_ = Navigation::None;
};

}  // namespace szsfx
