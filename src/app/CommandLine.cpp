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

// An argument as a started program reads it back: one with a space or a tab goes in
// quotes, a quote inside gets a backslash, and backslashes before a quote (or before the
// closing one) are doubled. Others stay as they are.
std::u16string QuotedArgument(const std::u16string& arg) {
  if (arg.find_first_of(u" \t") == std::u16string::npos) return arg;
  std::u16string quoted = u"\"";
  size_t backslashes = 0;
  for (const char16_t c : arg) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(backslashes * 2, u'\\');
  return quoted + u"\"";
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
      outcome.Silent = true;
      record.AutoExtract = 1;
      record.OverwriteMode = kOverwriteModeOverwrite;
    } else if (option == u"o") {
      record.OverwriteMode = kOverwriteModeOverwrite;
    } else if (option == u"n") {
      record.OverwriteMode = kOverwriteModeSkip;
    } else if (option == u"q") {
      record.OverwriteMode = kOverwriteModeConfirm;
    } else if (option == u"d") {
      // Taken as given, however long: a cut would name another folder. The folder argument
      // is still examined as an option in its own turn.
      if (i + 1 < count) extractFolder = args[i + 1];
    } else if (option == u"#") {
      outcome.CommandLength = static_cast<int>(runCommand.size());
      for (size_t k = i + 1; k < count; ++k) {
        runCommand.append(u" ").append(QuotedArgument(args[k]));
        runCommand.resize(std::min(runCommand.size(), kCommandCapacity));
      }
      break;
    }
  }
  return outcome;
}

}  // namespace szsfx
