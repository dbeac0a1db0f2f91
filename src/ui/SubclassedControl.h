// A control of a system class whose messages one of our objects sees first (Win32),
// through the common controls' subclassing. The object outlives the control's messages:
// it lets go of the control when either of them goes.
#pragma once

#include <windows.h>

namespace szsfx {

class TSubclassedControl {
 public:
  TSubclassedControl(const TSubclassedControl&) = delete;
  TSubclassedControl& operator=(const TSubclassedControl&) = delete;
  HWND Handle() const { return control_; }

 protected:
  TSubclassedControl() = default;
  ~TSubclassedControl();
  void Subclass(HWND control);
  // Sees every message of the control; what it does not handle goes to Default.
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) const;

 private:
  static LRESULT CALLBACK Procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR self);
  void Release();

  HWND control_ = nullptr;
};

}  // namespace szsfx
