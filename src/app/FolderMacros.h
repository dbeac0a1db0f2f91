// Folder macros in the extraction folder: %temp%, %temp-unique%, %win%, %winsys%,
// %PROG%/%prog%, %DOCS%, %DESKTOP%, %FONTS%.
#pragma once

#include <string>

#include "app/Random.h"
#include "platform/Platform.h"

namespace szsfx {

// Where the replacement texts come from.
class TMacroSource {
 public:
  virtual ~TMacroSource() = default;
  virtual std::u16string TempPath() = 0;
  virtual uint32_t Random(uint32_t k) = 0;
  virtual std::u16string WindowsFolder() = 0;
  virtual std::u16string SystemFolder() = 0;
  // Empty when the key or value is missing or not a plain string.
  virtual std::u16string RegistryString(plat::RegistryRoot root, const std::u16string& key,
                                        const std::u16string& value) = 0;
};

// The running system: the process's temp path and generator, the platform's folders and registry.
class TSystemMacroSource : public TMacroSource {
 public:
  TSystemMacroSource(std::u16string tempPath, TRandom& random) : temp_(std::move(tempPath)), random_(random) {}
  std::u16string TempPath() override { return temp_; }
  uint32_t Random(uint32_t k) override { return random_.Next(k); }
  std::u16string WindowsFolder() override { return plat::WindowsFolder(); }
  std::u16string SystemFolder() override { return plat::SystemFolder(); }
  std::u16string RegistryString(plat::RegistryRoot root, const std::u16string& key,
                                const std::u16string& value) override;

 private:
  std::u16string temp_;
  TRandom& random_;
};

// A replacement that names its own macro would grow forever: passes stop here.
constexpr int kMaxMacroPasses = 256;

std::u16string ExpandFolderMacros(std::u16string text, TMacroSource& source);

// `value` in decimal digits.
std::u16string DecimalText(uint32_t value);

}  // namespace szsfx
