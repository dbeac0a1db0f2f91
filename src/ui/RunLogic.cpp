#include "ui/RunLogic.h"

#include "platform/FileIO.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == static_cast<char16_t>(plat::kPathSeparator); }

std::u16string Joined(const std::u16string& folder, const std::u16string& name) {
  return !folder.empty() && IsSeparator(folder.back()) ? folder + name
                                                       : folder + static_cast<char16_t>(plat::kPathSeparator) + name;
}

}  // namespace

int RadioForOverwriteMode(uint8_t overwriteMode) {
  switch (overwriteMode) {
    case 0:
      return 3;
    case 1:
      return 2;
    case 2:
      return 1;
    default:
      return 0;
  }
}

OverwriteChoice ChoiceFromRadios(bool confirmChecked, bool skipChecked) {
  if (confirmChecked) return OverwriteChoice::Confirm;
  return skipChecked ? OverwriteChoice::Skip : OverwriteChoice::Overwrite;
}

bool ForceDestinationFolder(const std::u16string& path) {
  std::u16string folder = path;
  if (!folder.empty() && IsSeparator(folder.back())) folder.pop_back();
  if (folder.size() <= 2 || plat::FolderExistsW(folder)) return true;
  size_t cut = folder.size();
  while (cut > 0 && !IsSeparator(folder[cut - 1]) && folder[cut - 1] != u':') --cut;
  if (cut > 0) {
    std::u16string parent = folder.substr(0, cut);
    if (parent.back() != u':') parent.pop_back();  // "C:" stays, "C:\a\" becomes "C:\a"
    if (!ForceDestinationFolder(parent)) return false;
  }
  plat::CreateFolderW(folder);
  return plat::FolderExistsW(folder);
}

bool DestinationWritable(const std::u16string& folder) {
  std::u16string name = u"_BL$TEMP$.$$$";
  while (plat::FileExistsW(Joined(folder, name)) || plat::FolderExistsW(Joined(folder, name))) name += u'$';
  const std::u16string probe = Joined(folder, name);
  {
    TOutFile file;  // creates a new file only: nothing existing is ever touched
    if (!file.Open(probe)) return false;
  }
  if (!plat::FileExistsW(probe)) return false;
  plat::DeleteFileW(probe);
  return true;
}

ExistingFileAction ActionForExistingFile(OverwriteChoice choice) {
  switch (choice) {
    case OverwriteChoice::Skip:
      return ExistingFileAction::Keep;
    case OverwriteChoice::Overwrite:
      return ExistingFileAction::Delete;
    default:
      return ExistingFileAction::Ask;
  }
}

std::u16string ItemStatusText(const std::string& progressPrefix, const std::u16string& path) {
  return plat::FromSystemCodePage(progressPrefix + " ") + path;
}

std::u16string OverwriteQuestion(const std::u16string& destination, const std::string& question) {
  return destination + u"\r" + plat::FromSystemCodePage(question);
}

}  // namespace szsfx
