// A group box that holds radio buttons (Win32). The buttons are its children, so their
// colour requests and notifications reach the group; it passes them on to the window it
// sits in, and paints the background behind the buttons.
#pragma once

#include <windows.h>

#include "ui/SubclassedControl.h"

namespace szsfx {

class TRadioGroup final : private TSubclassedControl {
 public:
  void Attach(HWND group);  // the group box, a child of the window that gets its buttons' messages
  using TSubclassedControl::Handle;
  HWND Button(int id) const { return GetDlgItem(Handle(), id); }
  bool Checked(int id) const { return SendMessageW(Button(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void Check(int id) const { SendMessageW(Button(id), BM_SETCHECK, BST_CHECKED, 0); }

 private:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace szsfx
