// The command started after an extraction run: a program or document opened by the
// shell, or an INF file installed through the platform's INF installer.
#pragma once

#include <cstdint>
#include <string>

namespace szsfx {

struct TAfterCommand {
  enum class Kind { None, Inf, Open };
  Kind What = Kind::None;
  std::u16string Text;        // destination + RunCommand's program: the file to open or install
  std::u16string Parameters;  // the arguments that option "#" appended
  std::u16string Folder;      // working folder: Text up to its last backslash or colon
};

// `commandLength` is where option "#" began appending to RunCommand (-1: it did not);
// the program is what stands before, the arguments what follows.
TAfterCommand PlanAfterCommand(const std::u16string& destination, const std::u16string& runCommand, int commandLength);

// The INF installation command line. The installer program is named by its full path in
// `systemFolder`, so that a program of the same name beside the self-extractor is never
// started instead.
std::u16string InfCommandLine(const std::u16string& systemFolder, const std::u16string& infPath);

}  // namespace szsfx
