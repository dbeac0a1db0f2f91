// TBrowseDirectoryDlg: the shell's folder-selection dialog (Win32), as the main window's
// browse button shows it: the whole tree from the desktop, any item choosable, no owner,
// centred on the screen, with the given caption.
#pragma once

#include <string>

namespace szsfx {

class TBrowseDirectoryDlg {
 public:
  void SetCaption(const std::u16string& value) { caption_ = value; }

  // Runs the dialog modally; true when the user chose an item.
  bool Execute();

  // The chosen folder at any length; empty when none was chosen or the chosen item has
  // no file-system path (the computer itself, the network).
  const std::u16string& Selection() const { return selection_; }

 private:
  std::u16string caption_, selection_;
};

}  // namespace szsfx
