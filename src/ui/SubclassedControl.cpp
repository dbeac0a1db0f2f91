#include "ui/SubclassedControl.h"

#include <commctrl.h>

namespace szsfx {

namespace {

constexpr UINT_PTR kSubclassId = 1;  // one subclass of ours per control

}  // namespace

TSubclassedControl::~TSubclassedControl() { Release(); }

void TSubclassedControl::Subclass(HWND control) {
  Release();
  if (control && SetWindowSubclass(control, &Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    control_ = control;
  }
}

LRESULT TSubclassedControl::Default(UINT message, WPARAM wParam, LPARAM lParam) const {
  return DefSubclassProc(control_, message, wParam, lParam);
}

void TSubclassedControl::Release() {
  if (control_ && IsWindow(control_)) RemoveWindowSubclass(control_, &Procedure, kSubclassId);
  control_ = nullptr;
}

LRESULT CALLBACK TSubclassedControl::Procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                               DWORD_PTR self) {
  auto* owner = reinterpret_cast<TSubclassedControl*>(self);
  if (message == WM_NCDESTROY) {  // the control's last message: the subclass goes with it
    owner->Release();
    return DefSubclassProc(control, message, wParam, lParam);
  }
  return owner->OnMessage(message, wParam, lParam);
}

}  // namespace szsfx
