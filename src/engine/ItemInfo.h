// What the extraction callbacks work out for one item: where it may go, which
// attributes and time the written file gets.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace szsfx {

// What the begin event knows of an item besides its destination.
struct TItemFacts {
  uint64_t Size = 0;
  uint64_t ModifiedUtc = 0;  // the archive's time: UTC in 100 ns units since 1601
  bool HasTime = false;      // false: the archive has none, and the file is written now
};

// Attributes the file system accepts: archives made on POSIX systems carry the
// mode in the high 16 bits and 0x8000; folder and other special bits go too.
uint32_t WindowsAttributes(uint32_t attributes);
constexpr uint32_t kAttributeArchive = 0x20;  // what a newly written file has

// False for a path that would leave the destination: empty, "..", a drive or
// stream colon, a leading separator, a UNC prefix.
bool ItemPathIsSafe(const std::u16string& path);

// Folder part (up to and including the last separator or colon) and name part.
void SplitItemPath(const std::u16string& path, std::u16string& folder, std::u16string& name);

// The name an item is written under until it is complete, in its destination folder:
// "~szsfx<process id in hex>-<number>.tmp". Item names never need it, and a run
// interrupted by a power failure leaves a name that says where it came from.
std::u16string PartialFileName(uint32_t processId, uint32_t number);

}  // namespace szsfx
