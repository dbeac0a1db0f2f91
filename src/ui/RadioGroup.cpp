#include "ui/RadioGroup.h"

namespace szsfx {

void TRadioGroup::Attach(HWND group) { Subclass(group); }

LRESULT TRadioGroup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_COMMAND:
      return SendMessageW(GetParent(Handle()), message, wParam, lParam);
    case WM_ERASEBKGND: {
      RECT area;
      GetClientRect(Handle(), &area);
      FillRect(reinterpret_cast<HDC>(wParam), &area, GetSysColorBrush(COLOR_BTNFACE));
      return TRUE;
    }
    default:
      return Default(message, wParam, lParam);
  }
}

}  // namespace szsfx
