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

constexpr char kOpeningError[] = "An error occured while opening Brambleloader 7-ZIP SFX.";
constexpr char kWorkFolderPrefix[] = "_BLSFX";
// The archive component loads "7z.dll"; where names are case-sensitive both use that spelling.
constexpr const char* kLibraryImageName = plat::kCaseSensitiveNames ? "7z.dll" : "7Z.DLL";
// Work-folder numbers are drawn at most this often before start-up gives up.
constexpr int kMaxWorkFolderDraws = 10000;

// Process-wide state, complete when start-up returns and only read afterwards. The
// windows see the part they need, TRunSetup.
struct TStartupState : TRunSetup {
  std::string TempPath;
  std::string LibraryImagePath;
  int BlockCount = 0;
  TRandom Random;
  bool UsageRequested = false;
};

TStartupState& App();

enum class StartupResult { Ready, OpeningError };

// Steps 1-11: work folder, library image, payload, defaults, folder, macros, options.
// On OpeningError the caller shows the opening error and ends the process.
StartupResult RunStartup(TStartupState& state, const std::u16string& stubPath, const std::u16string& commandLine);

// Shows the opening error box.
void ShowOpeningError();

// The usage text that option "?" shows, built from messages 52 to 60.
std::string UsageText(const TStartupState& state);

// Deletes the archive copy and the library image and removes the work folder.
void CleanUpWorkFolder(const TStartupState& state);

}  // namespace szsfx
