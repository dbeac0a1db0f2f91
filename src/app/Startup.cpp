#include "app/Startup.h"

#include <memory>

#include "app/CommandLine.h"
#include "app/FolderMacros.h"
#include "engine/SevenZip.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

// A candidate counts only if creating it succeeds: a folder that someone else made
// (and could have planted a library in) is never used.
bool CreateWorkFolder(TStartupState& state) {
  const std::u16string base = plat::WithSeparator(state.TempPath) + kWorkFolderPrefix;
  for (int draw = 0; draw < kMaxWorkFolderDraws; ++draw) {
    std::u16string candidate = base + DecimalText(1 + state.Random.Next(999)) + plat::kPathSeparator;
    if (plat::FolderExists(candidate)) continue;
    if (plat::CreateFolder(candidate)) {
      state.WorkFolder = candidate;
      return true;
    }
  }
  return false;
}

// The payload's texts are decoded from the code page here, once: the active message
// block and the record's title, folder and command.
bool ReadPayload(TStartupState& state, const std::u16string& stubPath) {
  TInFile stub;
  if (!stub.Open(stubPath, plat::FileSharing::ReadWrite)) return false;
  auto table = std::make_unique<TMessageTable>();
  if (!WriteLibraryImage(stub, state.LibraryImagePath, state.CopyBuffer) ||
      !ReadMessageBlocks(stub, *table, state.CopyBuffer, state.BlockCount) ||
      !ReadSettingsRecord(stub, state.Settings, state.ArchiveOffset)) {
    return false;
  }
  state.Messages.Decode(*table, kActiveMessageBlock);
  const TSettingsRecord& record = state.Settings;
  state.Title = plat::FromSystemCodePage(record.Title.Get());
  state.ExtractFolder = plat::FromSystemCodePage(record.ExtractFolder.Get());
  state.RunCommand = plat::FromSystemCodePage(record.RunCommand.Get());
  return true;
}

void SettleExtractFolder(TStartupState& state) {
  std::u16string& folder = state.ExtractFolder;
  switch (state.Settings.FolderMode) {
    case FolderModeGiven:
      if (folder.empty() || folder == u"Current directory") folder = plat::CurrentDirectory();
      break;
    case FolderModeTemp:
      folder = state.TempPath;
      break;
    case FolderModeProgramFiles:
      folder = u"%PROG%";
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
  state.LibraryImagePath = state.WorkFolder + kLibraryImageName;
  if (!ReadPayload(state, stubPath)) return StartupResult::OpeningError;
  if (!SignatureMatches(state.Settings)) {
    plat::ShowMessageBox(state.Message(msg::WrongSignature), std::u16string(kFixedCaption), plat::BoxIcon::Error);
  }
  state.ArchivePath = stubPath;

  if (state.Title.empty()) state.Title = kFixedCaption;
  SettleExtractFolder(state);
  TSystemMacroSource macros(state.TempPath, state.Random);
  state.ExtractFolder = ExpandFolderMacros(state.ExtractFolder, macros).substr(0, kFolderCapacity);
  const TOptionsOutcome options =
      ApplyOptions(SplitCommandLine(commandLine), state.Settings, state.ExtractFolder, state.RunCommand);
  state.UsageRequested = options.Usage;
  state.CommandLength = options.CommandLength;
  return StartupResult::Ready;
}

void ShowOpeningError() { plat::ShowMessageBox(kOpeningError, std::u16string(kFixedCaption), plat::BoxIcon::Error); }

std::u16string UsageText(const TStartupState& state) {
  auto line = [&](const char16_t* option, int index) {
    return std::u16string(option) + u"\t" + state.Message(index) + u"\r\n";
  };
  return state.Message(msg::UsageHeading) + u"\r\n\r\n" + line(u"-a", msg::UsageAutoExtract) +
         line(u"-x", msg::UsageNoCommand) + line(u"-s", msg::UsageSilent) + state.Message(msg::UsageOverwriteHeading) +
         u"\r\n" + line(u"-q", msg::UsageConfirm) + line(u"-o", msg::UsageOverwrite) + line(u"-n", msg::UsageSkip) +
         line(u"-d dir", msg::UsageFolder);
}

void CleanUpWorkFolder(const TStartupState& state) {
  ReleaseArchiveLibrary();  // loaded from the work folder: release it before deleting it
  if (state.WorkFolder.empty()) return;
  plat::DeleteFileNamed(state.LibraryImagePath);
  plat::RemoveFolder(state.WorkFolder);
}

}  // namespace szsfx
