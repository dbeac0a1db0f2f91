#include "Form.h"

#include <commctrl.h>

namespace szsfx::test {

HWND FormView::Item(int id) const {
  HWND parent = IsOverwriteRadio(id) ? GetDlgItem(form_, kIdOverwriteGroup) : form_;
  return GetDlgItem(parent, id);
}

std::vector<TControlLayout> MainWindowControls() {
  std::vector<TControlLayout> controls(std::begin(kMainWindowControls), std::end(kMainWindowControls));
  controls.insert(controls.end(), std::begin(kOverwriteRadios), std::end(kOverwriteRadios));
  return controls;
}

RECT Edges(const TPlace& place) { return RECT{place.x, place.y, place.x + place.width, place.y + place.height}; }

TPlace PlaceOf(int id) {
  for (const TControlLayout& control : MainWindowControls()) {
    if (control.id == id) return control.place;
  }
  return TPlace{};
}

RECT FormView::Bounds(int id) const {
  HWND item = Item(id);
  RECT r;
  GetWindowRect(item, &r);
  MapWindowPoints(nullptr, GetParent(item), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

SIZE FormView::ClientSize() const {
  RECT r;
  GetClientRect(form_, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

HWND FormView::Focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(form_, nullptr), &info);
  return info.hwndFocus;
}

int FormView::ListCount() const { return static_cast<int>(SendMessageW(Item(kIdFileList), LB_GETCOUNT, 0, 0)); }
int FormView::ListSelected() const { return static_cast<int>(SendMessageW(Item(kIdFileList), LB_GETSELCOUNT, 0, 0)); }

std::wstring FormView::ListLine(int index) const {
  HWND list = Item(kIdFileList);
  std::wstring line(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
  line.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&line[0]))));
  return line;
}

int FormView::ProgressPosition() const {
  return static_cast<int>(SendMessageW(Item(kIdProgressBar), PBM_GETPOS, 0, 0));
}

void FormView::SetEditText(const std::wstring& text) const {
  SendMessageW(Item(kIdDestinationEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

HWND WaitForReadyForm(TestProcess& process, DWORD timeoutMs) {
  HWND form = process.WaitForWindow(kMainWindowClass, L"", timeoutMs);
  if (!form) return nullptr;
  // Ready: Extract enabled and the keyboard focus given (the window takes it once shown).
  auto ready = [&] { return IsWindowEnabled(GetDlgItem(form, kIdExtractButton)) != 0 && FormView(form).Focus(); };
  WaitUntil([&] { return ready() || !process.Running(); }, timeoutMs);
  return ready() ? form : nullptr;
}

}  // namespace szsfx::test
