// Command-line splitting and the options that change the settings record.
#pragma once

#include <string>
#include <vector>

#include "payload/PayloadFormat.h"

namespace szsfx {

// Splits a command line; element 0 is the program's own name.
std::vector<std::string> SplitCommandLine(const std::string& line);
std::vector<std::u16string> SplitCommandLine(const std::u16string& line);

struct TOptionsOutcome {
  bool Usage = false;  // "?" asked for the usage text
  // Length of RunCommand (in UTF-16 units) when "#" began appending arguments; -1
  // without "#". The after-extraction command separates the program from those
  // arguments here.
  int CommandLength = -1;
  // The folder and the command as the run uses them: the record's texts, changed by
  // "d" and "#" in UTF-16, so that names outside the code page arrive intact. The
  // record gets the same changes in its 8-bit form.
  std::u16string ExtractFolder, RunCommand;
};

// Applies the options of args[1..] to the record in order.
TOptionsOutcome ApplyOptions(const std::vector<std::u16string>& args, TSettingsRecord& record);

}  // namespace szsfx
