// Assembling a self-extractor: stub + library image + message blocks + settings record + archive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "payload/PayloadFormat.h"

namespace szsfx {

// Indices 0 to 65 in English.
const std::vector<std::string>& DefaultMessages();

// The code page the stub's texts are written in unless the builder names another.
constexpr unsigned kDefaultCodePage = 1252;

// UTF-8 text in the Windows code page `codePage`; sets `error` (naming `what`) and returns
// "" when the text is not UTF-8 or holds a character the code page cannot hold.
std::string InCodePage(const std::string& utf8, unsigned codePage, const std::string& what, std::string& error);

// Message files hold one message per line in UTF-8, written to the block in `codePage`;
// "\r", "\n", "\t", "\\" and "\xHH" are escapes (an "\xHH" byte is taken as it is).
// Sets `error` and returns nothing on a bad escape or a character the code page cannot hold.
std::vector<std::string> ParseMessageText(const std::string& text, std::string& error,
                                          unsigned codePage = kDefaultCodePage);
std::string FormatMessageText(const std::vector<std::string>& messages);

// The string area of one block: every message followed by one NUL.
std::vector<uint8_t> StringArea(const std::vector<std::string>& messages, std::string& error);
// A whole block: "{SLF}", the 32-bit length, the area.
std::vector<uint8_t> EncodeBlock(const std::vector<uint8_t>& area);

// A record with the signature and the builder's defaults: current directory, confirm.
TSettingsRecord DefaultSettings();

struct TBuildRequest {
  std::string StubPath, LibraryPath, ArchivePath, OutputPath;
  std::vector<std::vector<uint8_t>> Areas;  // one string area per block, in file order
  TSettingsRecord Settings{};
  // Sets the image checksum over the whole output, payload included (for a stub whose
  // resources were changed; otherwise the stub keeps the linker's).
  bool ImageChecksum = false;
};

// Writes the self-extractor to a temporary file beside the output and renames it into
// place, so that a failure never leaves a half-written output. Returns "" or the error.
std::string BuildSelfExtractor(const TBuildRequest& request);

}  // namespace szsfx
