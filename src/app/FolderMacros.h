// Folder macros in the extraction folder: %temp%, %temp-unique%, %win%, %winsys%,
// %PROG%/%prog%, %DOCS%, %DESKTOP%, %FONTS%.
#pragma once

#include <string>
#include <vector>

#include "platform/FileIO.h"
#include "platform/Platform.h"

namespace szsfx {

// Where the replacement texts come from.
class TMacroSource {
 public:
  virtual ~TMacroSource() = default;
  virtual std::u16string TempPath() = 0;
  // A new folder for %temp-unique%; empty when none could be made.
  virtual std::u16string UniqueTempFolder() = 0;
  virtual std::u16string WindowsFolder() = 0;
  virtual std::u16string SystemFolder() = 0;
  // Empty when the key or value is missing or not a plain string.
  virtual std::u16string RegistryString(plat::RegistryRoot root, const std::u16string& key,
                                        const std::u16string& value) = 0;
};

// The running system: the process's temp path, the platform's folders and registry. Each
// %temp-unique% is a fresh private folder, held in `held` until the process lets go.
class TSystemMacroSource : public TMacroSource {
 public:
  TSystemMacroSource(std::u16string tempPath, std::vector<THeldPath>& held) : temp_(std::move(tempPath)), held_(held) {}
  std::u16string TempPath() override { return temp_; }
  std::u16string UniqueTempFolder() override;
  // Whether a %temp-unique% folder could not be made.
  bool Failed() const { return failed_; }
  std::u16string WindowsFolder() override { return plat::WindowsFolder(); }
  std::u16string SystemFolder() override { return plat::SystemFolder(); }
  std::u16string RegistryString(plat::RegistryRoot root, const std::u16string& key,
                                const std::u16string& value) override;

 private:
  std::u16string temp_;
  std::vector<THeldPath>& held_;
  bool failed_ = false;
};

// Each %temp-unique% folder's name: this prefix and 16 random hexadecimal digits.
constexpr char16_t kUniqueTempPrefix[] = u"~SFX";

// A replacement that names its own macro would grow forever: passes stop here.
constexpr int kMaxMacroPasses = 256;

std::u16string ExpandFolderMacros(std::u16string text, TMacroSource& source);

// `value` in decimal digits.
std::u16string DecimalText(uint32_t value);

}  // namespace szsfx
