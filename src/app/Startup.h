// The main sequence before any window exists, and the clean-up after the last one closed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "payload/Payload.h"
#include "payload/PayloadFormat.h"
#include "payload/RunSetup.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"

namespace szsfx {

constexpr char16_t kOpeningError[] = u"An error occured while opening Brambleloader 7-ZIP SFX.";
constexpr char16_t kWorkFolderPrefix[] = u"_BLSFX";
// The archive component loads "7z.dll"; where names are case-sensitive both use that spelling.
constexpr const char16_t* kLibraryImageName = plat::kCaseSensitiveNames ? u"7z.dll" : u"7Z.DLL";
// The message block the program shows.
constexpr int kActiveMessageBlock = 1;

// Process-wide state, complete when start-up returns and only read afterwards. The
// windows see the part they need, TRunSetup.
struct TStartupState : TRunSetup {
  std::u16string TempPath;
  // The work folder and the library image in it, held from their creation (the image from
  // the check of its bytes) to the clean-up: no other process can change, rename or
  // replace them meanwhile.
  THeldPath WorkFolderHold, LibraryImage;
  // The %temp-unique% folders, held while the program runs.
  std::vector<THeldPath> UniqueFolders;
  bool UsageRequested = false;
};

// Opens the program's own file first thing: without write or delete sharing, so that it
// stays the file that was started. False when it cannot be opened.
bool OpenProgramFile(TRunSetup& state, const std::u16string& path);

enum class StartupResult { Ready, OpeningError };

// From the program's file (OpenProgramFile): work folder, library image, payload, the
// record's texts in UTF-16, defaults, folder, macros, options. On OpeningError the caller
// shows the opening error and ends the process.
StartupResult RunStartup(TStartupState& state, const std::u16string& commandLine);

// Shows the opening error box.
void ShowOpeningError();

// The usage text that option "?" shows, built from messages 52 to 60.
std::u16string UsageText(const TStartupState& state);

// Releases the library, deletes its image and removes the work folder; lets go of the
// %temp-unique% folders, removing those that stayed empty.
void CleanUpWorkFolder(TStartupState& state);

}  // namespace szsfx
