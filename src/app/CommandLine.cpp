#include "app/CommandLine.h"

#include <algorithm>

namespace szsfx {

namespace {

bool IsSeparator(char16_t c) { return c >= 1 && c <= 32; }

// Skips separators and empty pairs of quotes where an argument would begin.
size_t SkipToArgument(const std::u16string& line, size_t i) {
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

std::vector<std::u16string> SplitCommandLine(const std::u16string& line) {
  std::vector<std::u16string> args;
  size_t i = SkipToArgument(line, 0);
  while (i < line.size() && line[i] != '\0') {
    size_t start = i;
    bool quoted = false;
    for (; i < line.size() && line[i] != '\0' && (quoted || !IsSeparator(line[i])); ++i) {
      if (line[i] == '"') quoted = !quoted;
    }
    std::u16string arg = line.substr(start, i - start);
    if (arg.size() > 1 && arg.front() == '"' && arg.back() == '"') arg = arg.substr(1, arg.size() - 2);
    args.push_back(arg);
    i = SkipToArgument(line, i);
  }
  return args;
}

TOptionsOutcome ApplyOptions(const std::vector<std::u16string>& args, TSettingsRecord& record,
                             std::u16string& extractFolder, std::u16string& runCommand) {
  TOptionsOutcome outcome;
  const size_t count = args.size();
  for (size_t i = 1; i < count; ++i) {
    const std::u16string& arg = args[i];
    if (arg.empty() || (arg[0] != u'-' && arg[0] != u'/')) continue;
    const std::u16string option = arg.substr(1);
    if (option == u"?") {
      outcome.Usage = true;
    } else if (option == u"a") {
      record.AutoExtract = 1;
    } else if (option == u"x") {
      runCommand.clear();
    } else if (option == u"s") {
      record.AutoExtract = 1;
      record.OverwriteMode = OverwriteModeOverwrite;
    } else if (option == u"o") {
      record.OverwriteMode = OverwriteModeOverwrite;
    } else if (option == u"n") {
      record.OverwriteMode = OverwriteModeSkip;
    } else if (option == u"q") {
      record.OverwriteMode = OverwriteModeConfirm;
    } else if (option == u"d") {
      // The folder argument is still examined as an option in its own turn.
      if (i + 1 < count) extractFolder = args[i + 1].substr(0, kFolderCapacity);
    } else if (option == u"#") {
      outcome.CommandLength = static_cast<int>(runCommand.size());
      for (size_t k = i + 1; k < count; ++k) {
        runCommand.append(u" ").append(args[k]);
        runCommand.resize(std::min(runCommand.size(), kCommandCapacity));
      }
      break;
    }
  }
  return outcome;
}

}  // namespace szsfx
