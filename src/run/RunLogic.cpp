#include "run/RunLogic.h"

#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/Platform.h"

namespace szsfx {

int RadioForOverwriteMode(uint8_t overwriteMode) {
  switch (overwriteMode) {
    case kOverwriteModeOverwrite:
      return 3;
    case kOverwriteModeSkip:
      return 2;
    case kOverwriteModeConfirm:
      return 1;
    default:
      return 0;
  }
}

void ShowUnlessSilent(const TRunSetup& app, const std::u16string& text, const std::u16string& caption,
                      plat::BoxIcon icon) {
  if (!app.Silent) plat::ShowMessageBox(text, caption, icon);
}

OverwriteChoice ChoiceFromRadios(bool confirmChecked, bool skipChecked) {
  if (confirmChecked) return OverwriteChoice::Confirm;
  return skipChecked ? OverwriteChoice::Skip : OverwriteChoice::Overwrite;
}

OverwriteChoice ChoiceForOverwriteMode(uint8_t overwriteMode) {
  const int radio = RadioForOverwriteMode(overwriteMode);
  return ChoiceFromRadios(radio == 1, radio == 2);
}

bool DestinationWritable(const std::u16string& folder) {
  std::u16string name = u"_BL$TEMP$.$$$";
  while (plat::FileExists(plat::JoinPath(folder, name)) || plat::FolderExists(plat::JoinPath(folder, name)))
    name += u'$';
  const std::u16string probe = plat::JoinPath(folder, name);
  {
    TOutFile file;  // creates a new file only: nothing existing is ever touched
    if (!file.Open(probe)) return false;
  }
  if (!plat::FileExists(probe)) return false;
  plat::DeleteFileNamed(probe);
  return true;
}

int DestinationProblem(const std::u16string& destination) {
  if (destination.empty()) return msg::kFolderEmpty;
  if (!plat::CreateFolderTree(destination) || !DestinationWritable(destination)) return msg::kFolderNotWritable;
  return 0;
}

ExistingFileAction ActionForExistingFile(OverwriteChoice choice) {
  switch (choice) {
    case OverwriteChoice::Skip:
      return ExistingFileAction::Keep;
    case OverwriteChoice::Overwrite:
      return ExistingFileAction::ReplaceOnceComplete;
    default:
      return ExistingFileAction::Ask;
  }
}

std::u16string ItemStatusText(const std::u16string& progressPrefix, const std::u16string& path) {
  return progressPrefix + u" " + path;
}

std::u16string OverwriteQuestion(const std::u16string& destination, const std::u16string& question) {
  return destination + u"\r" + question;
}

}  // namespace szsfx
