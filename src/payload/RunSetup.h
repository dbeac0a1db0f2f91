// What start-up settled from the payload for this run: the windows read it, start-up fills it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "payload/Payload.h"
#include "payload/PayloadFormat.h"

namespace szsfx {

// The messages of the payload's active block in UTF-16, decoded once at start-up.
class TMessages {
 public:
  // Takes row `block` of `table`, each string decoded from the system code page.
  void Decode(const TMessageTable& table, int block);
  // The string at `index`; empty when the block has no such string.
  const std::u16string& Get(int index) const;

 private:
  std::array<std::u16string, kMaxStringsPerBlock> strings_;
};

struct TRunSetup {
  std::u16string WorkFolder;  // always ends with the path separator (a backslash on Windows)
  // The program's own file, opened once at the start so that no other process can write,
  // rename or delete it while the program runs; nothing opens it by name again. The
  // payload is read from it, and the archive where it lies, from ArchiveOffset to its end.
  TInFile ProgramFile;
  TMessages Messages;
  // The record's flags and modes. Its texts are read once, into the fields below: nothing
  // reads them from the record afterwards.
  TSettingsRecord Settings{};
  uint64_t ArchiveOffset = 0;
  TCopyBuffer CopyBuffer = MakeCopyBuffer();
  // The record's title (the fixed caption when it is empty), and the destination folder
  // and the after-extraction command after the folder macros and the options.
  std::u16string Title, ExtractFolder, RunCommand;
  int CommandLength = -1;  // where "#" arguments begin in RunCommand; -1 without any
  // Option "s": no message box and no window waits for a person; a failure ends the run
  // with its exit code. Only the password window of an encrypted archive still asks.
  bool Silent = false;

  const std::u16string& Message(int index) const { return Messages.Get(index); }
};

}  // namespace szsfx
