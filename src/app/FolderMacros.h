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
  virtual std::string TempPath() = 0;
  virtual uint32_t Random(uint32_t k) = 0;
  virtual std::string WindowsFolder() = 0;
  virtual std::string SystemFolder() = 0;
  // Empty when the key or value is missing or not a plain string.
  virtual std::string RegistryString(plat::RegistryRoot root, const std::string& key, const std::string& value) = 0;
};

// The running system: the process's temp path and generator, the platform's folders and registry.
class TSystemMacroSource : public TMacroSource {
 public:
  TSystemMacroSource(std::string tempPath, TRandom& random) : temp_(std::move(tempPath)), random_(random) {}
  std::string TempPath() override { return temp_; }
  uint32_t Random(uint32_t k) override { return random_.Next(k); }
  std::string WindowsFolder() override { return plat::WindowsFolder(); }
  std::string SystemFolder() override { return plat::SystemFolder(); }
  std::string RegistryString(plat::RegistryRoot root, const std::string& key, const std::string& value) override;

 private:
  std::string temp_;
  TRandom& random_;
};

// A replacement that names its own macro would grow forever: passes stop here.
constexpr int kMaxMacroPasses = 256;

std::string ExpandFolderMacros(std::string text, TMacroSource& source);

}  // namespace szsfx
