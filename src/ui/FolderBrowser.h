// TBrowseDirectoryDlg: the shell's folder-selection dialog with properties and events (Win32).
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <functional>
#include <string>

#include "interface/ComPtr.h"
#include "run/BrowseLogic.h"

namespace szsfx {

class TBrowseDirectoryDlg;
using TNotifyEvent = std::function<void(TBrowseDirectoryDlg* Sender)>;
using TBDSelChangedEvent =
    std::function<void(TBrowseDirectoryDlg* Sender, const std::u16string& NewSel, LPCITEMIDLIST NewSelPIDL)>;
using TBDValidateFailedEvent =
    std::function<void(TBrowseDirectoryDlg* Sender, const std::u16string& Path, bool& Cancel)>;

class TBrowseDirectoryDlg {
 public:
  explicit TBrowseDirectoryDlg(HWND ownerControl = nullptr);
  virtual ~TBrowseDirectoryDlg();
  TBrowseDirectoryDlg(const TBrowseDirectoryDlg&) = delete;
  TBrowseDirectoryDlg& operator=(const TBrowseDirectoryDlg&) = delete;

  // Runs the dialog modally; true when the user chose an item.
  virtual bool Execute();

  // The chosen folder at any length (empty when none was chosen); before Execute, the
  // folder to preselect.
  const std::u16string& Selection() const { return selection_; }
  void SetSelection(const std::u16string& value);
  const std::u16string& StatusText() const { return statusText_; }
  void SetStatusText(const std::u16string& value);
  bool FitStatusText() const { return fitStatusText_; }
  void SetFitStatusText(bool value);
  bool EnableOKButton() const { return enableOkButton_; }
  void SetEnableOKButton(bool value);
  std::u16string Caption() const;
  void SetCaption(const std::u16string& value);
  int ImageIndex() const { return imageIndex_; }
  LPITEMIDLIST SelectionPIDL() const { return selectionPidl_; }
  HWND DialogHandle() const { return dialog_; }

  std::u16string Title;
  TRootID Root = idDesktop;
  TBrowseFlags Options = 0;
  bool Center = true;
  bool ShowSelectionInStatus = false;
  TBDSelChangedEvent OnSelChanged;
  TNotifyEvent OnCreate;
  TBDValidateFailedEvent OnValidateFailed;

  // The text sent as status text: shortened to the status line's width when asked to.
  std::u16string FittedStatusText() const;
  static bool IsDirectory(const std::u16string& path);

 protected:
  virtual void DoInitialized(HWND dialog);
  virtual void DoSelChanged(HWND dialog, LPCITEMIDLIST list);
  virtual void DoValidateFailed(const std::u16string& path, bool& cancel);

 private:
  static int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM parameter, LPARAM data);
  bool Browse(bool statusFlag, std::u16string& path, LPITEMIDLIST& list);
  void ApplySelection();
  void SetSelectionPIDL(LPITEMIDLIST list);
  bool ParseToList(IShellFolder* desktop, const std::u16string& path, LPITEMIDLIST& list) const;
  void SendStatusText() const;
  static std::u16string PathOf(LPCITEMIDLIST list);

  HWND dialog_ = nullptr;
  HWND ownerControl_;
  std::u16string caption_, selection_, statusText_;
  bool fitStatusText_ = true, enableOkButton_ = true;
  int imageIndex_ = -1;
  LPITEMIDLIST selectionPidl_ = nullptr;
  TComPtr<IMalloc> shellAllocator_;
};

}  // namespace szsfx
