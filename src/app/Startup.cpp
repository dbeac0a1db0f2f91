#include "app/Startup.h"

#include "app/CommandLine.h"
#include "app/FolderMacros.h"
#include "engine/SevenZip.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

std::string WithSeparator(std::string path) {
  if (path.empty() || path.back() != plat::kPathSeparator) path += plat::kPathSeparator;
  return path;
}

// A candidate counts only if creating it succeeds: a folder that someone else made
// (and could have planted a library in) is never used.
bool CreateWorkFolder(TStartupState& state) {
  const std::string base = WithSeparator(state.TempPath) + kWorkFolderPrefix;
  for (int draw = 0; draw < kMaxWorkFolderDraws; ++draw) {
    std::string candidate = base + std::to_string(1 + state.Random.Next(999)) + plat::kPathSeparator;
    if (plat::FolderExists(candidate)) continue;
    if (plat::CreateFolder(candidate)) {
      state.WorkFolder = candidate;
      return true;
    }
  }
  return false;
}

bool ReadPayload(TStartupState& state, const std::u16string& stubPath) {
  TInFile stub;
  if (!stub.OpenRead(stubPath, plat::kShareRead | plat::kShareWrite, plat::kOpenExisting, plat::kAttributeNormal)) {
    return false;
  }
  const std::u16string image = plat::FromSystemCodePage(state.LibraryImagePath);
  return WriteLibraryImage(stub, image, state.CopyBuffer) &&
         ReadMessageBlocks(stub, state.Messages, state.CopyBuffer, state.BlockCount) &&
         ReadSettingsRecord(stub, state.Settings, state.ArchiveOffset);
}

void SettleExtractFolder(TSettingsRecord& settings, const std::string& tempPath) {
  switch (settings.FolderMode) {
    case FolderModeGiven: {
      const std::string folder = settings.ExtractFolder.Get();
      if (folder.empty() || folder == "Current directory") {
        settings.ExtractFolder.Set(plat::CurrentDirectory());
      }
      break;
    }
    case FolderModeTemp:
      settings.ExtractFolder.Set(tempPath);
      break;
    case FolderModeProgramFiles:
      settings.ExtractFolder.Set("%PROG%");
      break;
    default:
      break;
  }
}

}  // namespace

TStartupState& App() {
  static TStartupState* state = new TStartupState();  // lives until the process ends
  return *state;
}

StartupResult RunStartup(TStartupState& state, const std::u16string& stubPath, const std::u16string& commandLine) {
  state.TempPath = plat::TempPath();
  state.Random = SeededFromClock();
  if (!CreateWorkFolder(state)) return StartupResult::OpeningError;
  state.ActiveBlock = 1;
  state.LibraryImagePath = state.WorkFolder + kLibraryImageName;
  if (!ReadPayload(state, stubPath)) return StartupResult::OpeningError;
  if (!SignatureMatches(state.Settings)) {
    plat::ShowMessageBox(state.Message(msg::WrongSignature), std::string(kFixedCaption), plat::BoxIcon::Error);
  }
  state.ArchivePath = stubPath;

  TSettingsRecord& settings = state.Settings;
  if (settings.Title.Get().empty()) settings.Title.Set(kFixedCaption);
  SettleExtractFolder(settings, state.TempPath);
  TSystemMacroSource macros(state.TempPath, state.Random);
  settings.ExtractFolder.Set(ExpandFolderMacros(settings.ExtractFolder.Get(), macros));
  const TOptionsOutcome options = ApplyOptions(SplitCommandLine(commandLine), settings);
  state.UsageRequested = options.Usage;
  state.CommandLength = options.CommandLength;
  state.ExtractFolderText = options.ExtractFolder;
  state.RunCommandText = options.RunCommand;
  return StartupResult::Ready;
}

void ShowOpeningError() { plat::ShowMessageBox(kOpeningError, std::string(kFixedCaption), plat::BoxIcon::Error); }

std::string UsageText(const TStartupState& state) {
  auto line = [&](const char* option, int index) { return std::string(option) + "\t" + state.Message(index) + "\r\n"; };
  return state.Message(msg::UsageHeading) + "\r\n\r\n" + line("-a", msg::UsageAutoExtract) +
         line("-x", msg::UsageNoCommand) + line("-s", msg::UsageSilent) + state.Message(msg::UsageOverwriteHeading) +
         "\r\n" + line("-q", msg::UsageConfirm) + line("-o", msg::UsageOverwrite) + line("-n", msg::UsageSkip) +
         line("-d dir", msg::UsageFolder);
}

void CleanUpWorkFolder(const TStartupState& state) {
  ReleaseArchiveLibrary();  // loaded from the work folder: release it before deleting it
  if (state.WorkFolder.empty()) return;
  plat::DeleteFileNamed(state.LibraryImagePath);
  plat::RemoveFolder(state.WorkFolder);
}

}  // namespace szsfx
