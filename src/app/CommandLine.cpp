#include "app/CommandLine.h"

namespace szsfx {

namespace {

bool IsSeparator(char c) {
  auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

// Skips separators and empty pairs of quotes where an argument would begin.
size_t SkipToArgument(const std::string& line, size_t i) {
  for (;;) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    if (i + 1 < line.size() && line[i] == '"' && line[i + 1] == '"') {
      i += 2;
      continue;
    }
    return i;
  }
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  size_t i = SkipToArgument(line, 0);
  while (i < line.size() && line[i] != '\0') {
    size_t start = i;
    bool quoted = false;
    for (; i < line.size() && line[i] != '\0' && (quoted || !IsSeparator(line[i])); ++i) {
      if (line[i] == '"') quoted = !quoted;
    }
    std::string arg = line.substr(start, i - start);
    if (arg.size() > 1 && arg.front() == '"' && arg.back() == '"') arg = arg.substr(1, arg.size() - 2);
    args.push_back(arg);
    i = SkipToArgument(line, i);
  }
  return args;
}

TOptionsOutcome ApplyOptions(const std::vector<std::string>& args, TSettingsRecord& record) {
  TOptionsOutcome outcome;
  const size_t count = args.size();
  for (size_t i = 1; i < count; ++i) {
    const std::string& arg = args[i];
    if (arg.empty() || (arg[0] != '-' && arg[0] != '/')) continue;
    const std::string option = arg.substr(1);
    if (option == "?") {
      outcome.Usage = true;
    } else if (option == "a") {
      record.AutoExtract = 1;
    } else if (option == "x") {
      record.RunCommand.Set("");
    } else if (option == "s") {
      record.AutoExtract = 1;
      record.OverwriteMode = OverwriteModeOverwrite;
    } else if (option == "o") {
      record.OverwriteMode = OverwriteModeOverwrite;
    } else if (option == "n") {
      record.OverwriteMode = OverwriteModeSkip;
    } else if (option == "q") {
      record.OverwriteMode = OverwriteModeConfirm;
    } else if (option == "d") {
      // The folder argument is still examined as an option in its own turn.
      if (i + 1 < count) record.ExtractFolder.Set(args[i + 1]);
    } else if (option == "#") {
      outcome.CommandLength = record.RunCommand.Length;
      for (size_t k = i + 1; k < count; ++k) record.RunCommand.Set(record.RunCommand.Get() + " " + args[k]);
      break;
    }
  }
  return outcome;
}

}  // namespace szsfx
