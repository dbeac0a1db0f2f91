// The publisher's changes to the stub's resources: its icon, its version information and
// the execution level its manifest asks for. The stub is untrusted input: every size and
// offset is checked against the image before it is used.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace szsfx {

struct TStubResourceChanges {
  std::vector<uint8_t> IconFile;  // an .ico file; empty keeps the stub's icon
  // Version strings by their resource names ("ProductName", "FileVersion", ...), UTF-8.
  std::vector<std::pair<std::string, std::string>> VersionStrings;
  std::string ExecutionLevel;  // "asInvoker", "highestAvailable", "requireAdministrator"; "" keeps
  bool Any() const { return !IconFile.empty() || !VersionStrings.empty() || !ExecutionLevel.empty(); }
};

// Rebuilds the resource section of `image` (a stub padded to its fixed size) with the
// changes, inside the image's size; the headers that describe the section follow it.
// Returns "" or the error; `image` is changed only on success.
std::string ChangeStubResources(std::vector<uint8_t>& image, const TStubResourceChanges& changes);

// One resource as the image holds it; `Name` is an ID unless `NameText` is set.
struct TResource {
  uint16_t Type = 0, Name = 0, Language = 0;
  std::u16string NameText;
  uint32_t CodePage = 0;
  std::vector<uint8_t> Data;
};
// Every resource of `image` with a numeric type, or an error.
std::string ReadResources(const std::vector<uint8_t>& image, std::vector<TResource>& resources);

// The strings of the first string table of a version resource, UTF-8, and the numeric
// file and product versions (most significant part first).
struct TVersionInfo {
  std::vector<std::pair<std::string, std::string>> Strings;
  uint16_t FileVersion[4] = {}, ProductVersion[4] = {};
};
bool ParseVersionInfo(const std::vector<uint8_t>& resource, TVersionInfo& info);

// Where the checksum field is in the Windows image that starts with `head` (its first
// kilobytes); false when they do not start one.
bool ImageChecksumField(const std::vector<uint8_t>& head, uint64_t& at);

// The image checksum as the system computes it over a whole file, payload included: its
// 16-bit words summed with the carries folded back, the checksum field counted as zero,
// plus the file's length. Fed the file's bytes in order, in pieces of any size.
class TImageChecksum {
 public:
  explicit TImageChecksum(uint64_t fieldAt) : fieldAt_(fieldAt) {}
  void Add(const uint8_t* data, size_t size);
  uint32_t Value() const;
  uint64_t FieldAt() const { return fieldAt_; }
  // The field's four bytes for what was added so far.
  std::vector<uint8_t> Field() const;

 private:
  uint64_t fieldAt_;
  uint64_t total_ = 0, sum_ = 0;  // 2^48 words fit before the sum could overflow
};

enum : uint16_t { kResourceIcon = 3, kResourceIconGroup = 14, kResourceVersion = 16, kResourceManifest = 24 };

}  // namespace szsfx
