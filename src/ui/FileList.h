// The list of the archive's files in the main window (Win32): a list box with extended
// selection, every line selected at first; the lines the user keeps selected are the
// ones extracted.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/SevenZip.h"

namespace szsfx {

class TFileList {
 public:
  void Attach(HWND list) { list_ = list; }
  HWND Handle() const { return list_; }
  void ShowWaiting(const std::wstring& line);  // one line while the archive is being opened
  void Fill(const TSevenZip& archive);         // the archive's item paths, all selected
  // The selected lines; none when every line is selected (the whole archive).
  std::vector<std::u16string> SelectedItems() const;

 private:
  HWND list_ = nullptr;
};

}  // namespace szsfx
