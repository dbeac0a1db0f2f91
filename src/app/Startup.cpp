#include "app/Startup.h"

#include <algorithm>
#include <memory>

#include "app/CommandLine.h"
#include "app/FolderMacros.h"
#include "app/FreshFolder.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/Platform.h"

namespace szsfx {

namespace {

bool CreateWorkFolder(TStartupState& state) {
  state.WorkFolderHold = CreateFreshFolder(state.TempPath, kWorkFolderPrefix);
  state.WorkFolder = state.WorkFolderHold.Path();
  return state.WorkFolderHold.Held();
}

// The held file holds exactly `bytes`.
bool HoldsBytes(const THeldPath& file, const TCopyBuffer& bytes) {
  TCopyBuffer held(bytes.size() + 1);
  uint32_t read = 0;
  return file.ReadAt(0, held.data(), static_cast<uint32_t>(held.size()), read) && read == bytes.size() &&
         std::equal(bytes.begin(), bytes.end(), held.begin());
}

// A file open for writing cannot be loaded, so the image is written, closed and opened
// again to be held until the clean-up. Another process could change it between the two:
// the held file must hold the bytes written, and the work folder must still be ours.
bool HoldLibraryImage(TStartupState& state) {
  const std::u16string path = state.WorkFolder + kLibraryImageName;
  if (!WriteLibraryImage(state.ProgramFile, path, state.CopyBuffer)) return false;
  state.LibraryImage = THeldPath(plat::OpenFileHeld(path), path);
  return state.LibraryImage.Held() && HoldsBytes(state.LibraryImage, state.CopyBuffer) &&
         state.WorkFolderHold.StillAtPath();
}

// The payload's texts are decoded from the code page here, once: the active message
// block and the record's title, folder and command.
bool ReadPayload(TStartupState& state) {
  auto table = std::make_unique<TMessageTable>();
  int blockCount = 0;
  if (!ReadMessageBlocks(state.ProgramFile, *table, state.CopyBuffer, blockCount) ||
      !ReadSettingsRecord(state.ProgramFile, state.Settings, state.ArchiveOffset)) {
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
    case kFolderModeGiven:
      if (folder.empty() || folder == u"Current directory") folder = plat::CurrentDirectory();
      break;
    case kFolderModeTemp:
      folder = state.TempPath;
      break;
    case kFolderModeProgramFiles:
      folder = u"%PROG%";
      break;
    default:
      break;
  }
}

}  // namespace

bool OpenProgramFile(TRunSetup& state, const std::u16string& path) {
  return state.ProgramFile.Open(path, plat::FileSharing::Read);
}

StartupResult RunStartup(TStartupState& state, const std::u16string& commandLine) {
  const std::vector<std::u16string> args = SplitCommandLine(commandLine);
  {
    // Whether the run is silent is known before anything can fail: a failure then shows no box.
    TSettingsRecord scratch{};
    std::u16string folder, command;
    state.Silent = ApplyOptions(args, scratch, folder, command).Silent;
  }
  if (!state.ProgramFile.IsOpen()) return StartupResult::OpeningError;
  state.TempPath = plat::TempPath();
  if (!CreateWorkFolder(state) || !HoldLibraryImage(state) || !ReadPayload(state)) {
    return StartupResult::OpeningError;
  }

  if (state.Title.empty()) state.Title = kFixedCaption;
  SettleExtractFolder(state);
  TSystemMacroSource macros(state.TempPath, state.UniqueFolders);
  state.ExtractFolder = ExpandFolderMacros(state.ExtractFolder, macros);  // never cut: a cut names another folder
  if (macros.Failed()) return StartupResult::OpeningError;
  const TOptionsOutcome options = ApplyOptions(args, state.Settings, state.ExtractFolder, state.RunCommand);
  state.UsageRequested = options.Usage;
  state.CommandLength = options.CommandLength;
  if (!SignatureMatches(state.Settings) && !state.Silent) {
    plat::ShowMessageBox(state.Message(msg::kWrongSignature), std::u16string(kFixedCaption), plat::BoxIcon::Error);
  }
  return StartupResult::Ready;
}

void ShowOpeningError() { plat::ShowMessageBox(kOpeningError, std::u16string(kFixedCaption), plat::BoxIcon::Error); }

std::u16string UsageText(const TStartupState& state) {
  auto line = [&](const char16_t* option, int index) {
    return std::u16string(option) + u"\t" + state.Message(index) + u"\r\n";
  };
  return state.Message(msg::kUsageHeading) + u"\r\n\r\n" + line(u"-a", msg::kUsageAutoExtract) +
         line(u"-x", msg::kUsageNoCommand) + line(u"-s", msg::kUsageSilent) +
         state.Message(msg::kUsageOverwriteHeading) + u"\r\n" + line(u"-q", msg::kUsageConfirm) +
         line(u"-o", msg::kUsageOverwrite) + line(u"-n", msg::kUsageSkip) + line(u"-d dir", msg::kUsageFolder);
}

void CleanUpWorkFolder(TStartupState& state) {
  if (state.LibraryImage.Held()) {
    state.LibraryImage.Delete();
  } else if (state.WorkFolderHold.Held()) {  // written but not held: whatever has its name in our folder
    plat::DeleteFileNamed(state.WorkFolder + kLibraryImageName);
  }
  state.WorkFolderHold.Delete();
  for (THeldPath& folder : state.UniqueFolders) folder.Delete();  // only those that stayed empty
}

}  // namespace szsfx
