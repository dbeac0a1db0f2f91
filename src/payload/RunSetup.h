// What start-up settled from the payload for this run: the windows read it, start-up fills it.
#pragma once

#include <cstdint>
#include <string>

#include "payload/Payload.h"
#include "payload/PayloadFormat.h"

namespace szsfx {

struct TRunSetup {
  std::string WorkFolder;  // always ends with the path separator (a backslash on Windows)
  // The archive is read where it lies: in this file (the program's own), from ArchiveOffset
  // to its end.
  std::u16string ArchivePath;
  int ActiveBlock = 0;
  TMessageTable Messages;
  TSettingsRecord Settings{};
  uint64_t ArchiveOffset = 0;
  TCopyBuffer CopyBuffer = MakeCopyBuffer();
  int CommandLength = -1;  // where "#" arguments begin in RunCommandText; -1 without any
  // The destination folder and the after-extraction command after the options, in
  // UTF-16 (a folder given with "d" may hold names outside the code page).
  std::u16string ExtractFolderText, RunCommandText;

  const std::string& Message(int index) const { return Messages.Get(ActiveBlock, index); }
};

}  // namespace szsfx
