#include "app/CommandLine.h"

#include "platform/Platform.h"

namespace szsfx {

namespace {

template <typename Char>
bool IsSeparator(Char c) {
  const auto code = static_cast<std::make_unsigned_t<Char>>(c);
  return code >= 1 && code <= 32;
}

// Skips separators and empty pairs of quotes where an argument would begin.
template <typename Text>
size_t SkipToArgument(const Text& line, size_t i) {
  for (;;) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    if (i + 1 < line.size() && line[i] == '"' && line[i + 1] == '"') {
      i += 2;
      continue;
    }
    return i;
  }
}

template <typename Text>
std::vector<Text> Split(const Text& line) {
  std::vector<Text> args;
  size_t i = SkipToArgument(line, 0);
  while (i < line.size() && line[i] != '\0') {
    size_t start = i;
    bool quoted = false;
    for (; i < line.size() && line[i] != '\0' && (quoted || !IsSeparator(line[i])); ++i) {
      if (line[i] == '"') quoted = !quoted;
    }
    Text arg = line.substr(start, i - start);
    if (arg.size() > 1 && arg.front() == '"' && arg.back() == '"') arg = arg.substr(1, arg.size() - 2);
    args.push_back(arg);
    i = SkipToArgument(line, i);
  }
  return args;
}

// The wide texts keep the record's limits, counted in UTF-16 units.
template <size_t Capacity>
void SetBoth(ShortString<Capacity>& field, std::u16string& wide, const std::u16string& value) {
  wide = value.substr(0, Capacity);
  field.Set(plat::ToSystemCodePage(wide));
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& line) { return Split(line); }
std::vector<std::u16string> SplitCommandLine(const std::u16string& line) { return Split(line); }

TOptionsOutcome ApplyOptions(const std::vector<std::u16string>& args, TSettingsRecord& record) {
  TOptionsOutcome outcome;
  outcome.ExtractFolder = plat::FromSystemCodePage(record.ExtractFolder.Get());
  outcome.RunCommand = plat::FromSystemCodePage(record.RunCommand.Get());
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
      SetBoth(record.RunCommand, outcome.RunCommand, u"");
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
      if (i + 1 < count) SetBoth(record.ExtractFolder, outcome.ExtractFolder, args[i + 1]);
    } else if (option == u"#") {
      outcome.CommandLength = static_cast<int>(outcome.RunCommand.size());
      for (size_t k = i + 1; k < count; ++k)
        SetBoth(record.RunCommand, outcome.RunCommand, outcome.RunCommand + u" " + args[k]);
      break;
    }
  }
  return outcome;
}

}  // namespace szsfx
