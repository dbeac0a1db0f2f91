#include "ui/FileList.h"

#include "ui/WinText.h"

namespace szsfx {

void TFileList::ShowWaiting(const std::wstring& line) {
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

void TFileList::Fill(const TSevenZip& archive) {
  const uint32_t count = archive.ItemCount();
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);  // one layout for the whole list, not one per line
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  SendMessageW(list_, LB_INITSTORAGE, count, static_cast<LPARAM>(count) * 64);
  for (uint32_t i = 0; i < count; ++i) {
    const std::u16string path = archive.ItemPath(i);  // kept in UTF-16, whatever the code page shows
    if (!path.empty()) SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(path).c_str()));
  }
  SendMessageW(list_, LB_SETSEL, TRUE, -1);   // every line starts selected
  SendMessageW(list_, LB_SETTOPINDEX, 0, 0);  // the list starts at its first line
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
}

std::vector<std::u16string> TFileList::SelectedItems() const {
  std::vector<std::u16string> items;
  const LRESULT count = SendMessageW(list_, LB_GETCOUNT, 0, 0);
  const LRESULT selectedCount = SendMessageW(list_, LB_GETSELCOUNT, 0, 0);
  if (selectedCount == count || selectedCount <= 0) return items;
  // The selected lines' indices in one message, in ascending order, rather than one question per line.
  std::vector<int> selected(static_cast<size_t>(selectedCount));
  const LRESULT got = SendMessageW(list_, LB_GETSELITEMS, static_cast<WPARAM>(selected.size()),
                                   reinterpret_cast<LPARAM>(selected.data()));
  selected.resize(got > 0 ? static_cast<size_t>(got) : 0);
  items.reserve(selected.size());
  for (const int i : selected) {
    const auto index = static_cast<WPARAM>(i);
    std::wstring line(static_cast<size_t>(SendMessageW(list_, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
    line.resize(static_cast<size_t>(SendMessageW(list_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&line[0]))));
    items.push_back(std::u16string(line.begin(), line.end()));
  }
  return items;
}

}  // namespace szsfx
