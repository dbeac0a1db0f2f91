// A view of the stub's main window from the test process: its controls by identifier.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Driver.h"
#include "ui/MainWindow.h"

namespace szsfx::test {

// Every control of the main window as the window lays itself out (the radio buttons'
// places inside the overwrite group), and a place's edges: left, top, right, bottom.
std::vector<TControlLayout> MainWindowControls();
RECT Edges(const TPlace& place);
TPlace PlaceOf(int id);  // of a main window's control

class FormView {
 public:
  explicit FormView(HWND form) : form_(form) {}
  HWND Window() const { return form_; }
  HWND Item(int id) const;
  std::wstring Text(int id) const { return WindowText(Item(id)); }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != 0; }
  bool Visible(int id) const { return IsWindowVisible(Item(id)) != 0; }
  bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  bool IsDefault(int id) const { return (GetWindowLongW(Item(id), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON; }
  RECT Bounds(int id) const;  // left, top, right, bottom inside the parent's client area
  SIZE ClientSize() const;
  HWND Focus() const;
  int ListCount() const;
  int ListSelected() const;
  std::wstring ListLine(int index) const;
  int ProgressPosition() const;
  void Click(int id) const { PostMessageW(Item(id), BM_CLICK, 0, 0); }
  void SetEditText(const std::wstring& text) const;

 private:
  HWND form_;
};

// Starts a self-extractor and waits for its main window in the ready state.
HWND WaitForReadyForm(TestProcess& process, DWORD timeoutMs = 30000);

}  // namespace szsfx::test
