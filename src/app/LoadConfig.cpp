// The image's load configuration. Its one setting that matters: the DLLs that the
// static imports need are looked for in the system folder only (DependentLoadFlags), never
// beside the program, where a downloaded self-extractor usually sits with whatever else
// was downloaded. The loader reads the record before any code runs, so it is constant
// data, in a section of its own that the build points the image's load-configuration
// directory at (tools/set_load_config.py).
#include <windows.h>

namespace {

constexpr WORD kSystemFolderOnly = LOAD_LIBRARY_SEARCH_SYSTEM32;

constexpr IMAGE_LOAD_CONFIG_DIRECTORY LoadConfiguration() {
  IMAGE_LOAD_CONFIG_DIRECTORY config{};
  config.Size = sizeof config;
  config.Reserved1 = kSystemFolderOnly;  // DependentLoadFlags
  return config;
}

}  // namespace

extern "C" {
extern const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used;
__attribute__((section(".lcfg"), used)) constinit const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used =
    LoadConfiguration();
}
