// The main sequence before any window exists, and the clean-up after the last one closed.
#pragma once

#include <cstdint>
#include <string>

#include "app/Random.h"
#include "payload/Payload.h"
#include "payload/PayloadFormat.h"
#include "payload/RunSetup.h"
#include "platform/Platform.h"

namespace szsfx {

constexpr char16_t kOpeningError[] = u"An error occured while opening Brambleloader 7-ZIP SFX.";
constexpr char16_t kWorkFolderPrefix[] = u"_BLSFX";
// The archive component loads "7z.dll"; where names are case-sensitive both use that spelling.
constexpr const char16_t* kLibraryImageName = plat::kCaseSensitiveNames ? u"7z.dll" : u"7Z.DLL";
// Work-folder numbers are drawn at most this often before start-up gives up.
constexpr int kMaxWorkFolderDraws = 10000;
// The message block the program shows.
constexpr int kActiveMessageBlock = 1;

// Process-wide state, complete when start-up returns and only read afterwards. The
// windows see the part they need, TRunSetup.
struct TStartupState : TRunSetup {
  std::u16string TempPath;
  std::u16string LibraryImagePath;
  int BlockCount = 0;
  TRandom Random;
  bool UsageRequested = false;
};

TStartupState& App();

enum class StartupResult { Ready, OpeningError };

// Work folder, library image, payload, the record's texts in UTF-16, defaults, folder,
// macros, options. On OpeningError the caller shows the opening error and ends the process.
StartupResult RunStartup(TStartupState& state, const std::u16string& stubPath, const std::u16string& commandLine);

// Shows the opening error box.
void ShowOpeningError();

// The usage text that option "?" shows, built from messages 52 to 60.
std::u16string UsageText(const TStartupState& state);

// Deletes the library image and removes the work folder.
void CleanUpWorkFolder(const TStartupState& state);

}  // namespace szsfx
