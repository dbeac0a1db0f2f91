// Fuzzes command-line splitting, the options and folder macro expansion.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/CommandLine.h"
#include "app/FolderMacros.h"
#include "engine/ItemInfo.h"
#include "engine/SevenZip.h"
#include "platform/Paths.h"
#include "platform/Platform.h"

using namespace szsfx;

namespace {

// Every replacement comes from the input, so replacements may name macros again.
class InputMachine : public TMacroSource {
 public:
  explicit InputMachine(std::u16string value) : value_(std::move(value)) {}
  std::u16string TempPath() override { return value_.substr(0, 40); }
  std::u16string UniqueTempFolder() override { return value_.substr(0, 60); }
  std::u16string WindowsFolder() override { return value_; }
  std::u16string SystemFolder() override { return value_ + u"\\system32"; }
  std::u16string RegistryString(plat::RegistryRoot, const std::u16string&, const std::u16string& name) override {
    return name == u"Personal" ? value_ : name;
  }

 private:
  std::u16string value_;
};

// Item paths and wildcards, on the same input.
void CheckPathRules(const std::string& text) {
  const std::u16string path = plat::FromSystemCodePage(text);
  if (ItemPathIsSafe(path)) {
    if (path.find(u':') != std::u16string::npos || plat::IsPathSeparator(path[0])) std::abort();
    std::u16string folder, name;
    SplitItemPath(path, folder, name);
    if (folder + name != path) std::abort();
  }
  const bool plain = path.find_first_of(u"*?") == std::u16string::npos;
  if (plain && !WildcardMatch(path, path)) std::abort();  // a plain name matches itself
  if (!WildcardMatch(path, u"*")) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Input: command line, NUL, folder text, NUL, replacement value.
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t a = input.find('\0');
  std::string line = input.substr(0, a);
  std::string rest = a == std::string::npos ? "" : input.substr(a + 1);
  size_t b = rest.find('\0');
  std::string folder = rest.substr(0, b);
  std::string value = b == std::string::npos ? "" : rest.substr(b + 1, 300);

  // The texts come in as the payload's do: in the code page, decoded once.
  const std::u16string wideValue = plat::FromSystemCodePage(value), wideFolder = plat::FromSystemCodePage(folder);
  TSettingsRecord record;
  std::memset(&record, 0, sizeof record);
  const TSettingsRecord before = record;
  std::u16string runCommand = wideValue.substr(0, kCommandCapacity), extractFolder;
  ApplyOptions(SplitCommandLine(plat::FromSystemCodePage(line)), record, extractFolder, runCommand);
  if (runCommand.size() > kCommandCapacity || extractFolder.size() > kFolderCapacity) std::abort();
  if (std::memcmp(record.ExtractFolder.Chars, before.ExtractFolder.Chars, kFolderCapacity) != 0) std::abort();

  CheckPathRules(folder.substr(0, 300));
  InputMachine machine(wideValue);
  const std::u16string expanded = ExpandFolderMacros(wideFolder.substr(0, kFolderCapacity), machine);
  if (expanded.find(u'|') != std::u16string::npos && wideFolder.find(u'|') == std::u16string::npos &&
      wideValue.find(u'|') == std::u16string::npos) {
    std::abort();  // no macro may bring in a "|"
  }
  return 0;
}
