// Command-line splitting and the options that change the settings record.
#pragma once

#include <string>
#include <vector>

#include "payload/PayloadFormat.h"

namespace szsfx {

// Splits an 8-bit command line; element 0 is the program's own name.
std::vector<std::string> SplitCommandLine(const std::string& line);

struct TOptionsOutcome {
  bool Usage = false;  // "?" asked for the usage text
  // Length of RunCommand when "#" began appending arguments; -1 without "#". The
  // after-extraction command separates the program from those arguments here.
  int CommandLength = -1;
};

// Applies the options of args[1..] to the record in order.
TOptionsOutcome ApplyOptions(const std::vector<std::string>& args, TSettingsRecord& record);

}  // namespace szsfx
