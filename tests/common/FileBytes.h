// File helpers shared by the native and the Win32 test suites: whole files as bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace szsfx::test {

using Bytes = std::vector<uint8_t>;

// Creates or empties `path` and writes `bytes`; throws when the write fails.
void WriteFile(const std::string& path, const Bytes& bytes);
// The whole file; empty when it cannot be read.
Bytes ReadFile(const std::string& path);

}  // namespace szsfx::test
