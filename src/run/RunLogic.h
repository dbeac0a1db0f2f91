// The window-free decisions of the main window and its extraction run.
#pragma once

#include <cstdint>
#include <string>

#include "payload/PayloadFormat.h"
#include "payload/RunSetup.h"
#include "platform/Platform.h"

namespace szsfx {

// The radio button (1 Confirm, 2 Skip, 3 Overwrite) checked for an OverwriteMode; 0 none.
int RadioForOverwriteMode(uint8_t overwriteMode);
// The choice at run start: Confirm if the first radio is checked, Skip if the second, else Overwrite.
OverwriteChoice ChoiceFromRadios(bool confirmChecked, bool skipChecked);
// The choice of a run that shows no window: what the radios would hold for the mode.
OverwriteChoice ChoiceForOverwriteMode(uint8_t overwriteMode);

// True when a new file can be created (and deleted) in the folder. The probe name
// "_BL$TEMP$.$$$" gets more "$" while a file of that name exists; existing files stay.
bool DestinationWritable(const std::u16string& folder);
// Makes the destination folder (with its parents) and probes it: 0 when a run can extract
// into it, otherwise the message that says why not (kFolderEmpty, kFolderNotWritable).
int DestinationProblem(const std::u16string& destination);

// A message box, unless the run is silent: then nobody would be there to close it.
void ShowUnlessSilent(const TRunSetup& app, const std::u16string& text, const std::u16string& caption,
                      plat::BoxIcon icon);

// What the item-start handler does with an existing destination file.
// ReplaceOnceComplete: the new file takes the old one's name once it is whole.
enum class ExistingFileAction { Keep, ReplaceOnceComplete, Ask };
ExistingFileAction ActionForExistingFile(OverwriteChoice choice);

// Message 45, one space and the path.
std::u16string ItemStatusText(const std::u16string& progressPrefix, const std::u16string& path);
// The overwrite question: the path, one carriage return, message 36.
std::u16string OverwriteQuestion(const std::u16string& destination, const std::u16string& question);

}  // namespace szsfx
