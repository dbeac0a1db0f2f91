// Command-line splitting and the options that change the settings record.
#pragma once

#include <string>
#include <vector>

#include "payload/PayloadFormat.h"

namespace szsfx {

// Splits a command line; element 0 is the program's own name.
std::vector<std::u16string> SplitCommandLine(const std::u16string& line);

struct TOptionsOutcome {
  bool Usage = false;   // "?" asked for the usage text
  bool Silent = false;  // "s": nothing waits for a person (but the password window)
  // Length of RunCommand (in UTF-16 units) when "#" began appending arguments; -1
  // without "#". The after-extraction command separates the program from those
  // arguments here.
  int CommandLength = -1;
};

// Applies the options of args[1..] in order: the modes to the record, the folder ("d")
// and the command ("x", "#") to the run's texts. The folder is taken whole, however long;
// the command keeps the record's capacity in UTF-16 units, and an argument appended to it
// that holds a space or a tab is quoted again.
TOptionsOutcome ApplyOptions(const std::vector<std::u16string>& args, TSettingsRecord& record,
                             std::u16string& extractFolder, std::u16string& runCommand);

}  // namespace szsfx
