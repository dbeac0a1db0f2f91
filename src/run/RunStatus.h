// What the extraction run shows while it works: the overall percentage and the item being
// written. The library's threads record the latest of each and never wait for the window;
// the window thread takes what changed a few dozen times a second (and before it asks the
// user anything), so a run of many small items costs no message per item.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace szsfx {

class TRunStatus {
 public:
  // Any thread.
  void SetProgress(uint8_t percent);
  void SetItem(const std::u16string& destination);

  // The window thread: what changed since the last call.
  struct TChange {
    bool HasProgress = false;
    uint8_t Progress = 0;
    bool HasItem = false;
    std::u16string Item;
  };
  TChange Take();

  // How often anything was recorded and taken (the phase trace reports them).
  uint64_t Recorded() const { return recorded_; }
  uint64_t Taken() const { return taken_; }

 private:
  mutable plat::TLock lock_;
  uint8_t progress_ = 0;
  bool progressChanged_ = false;
  std::u16string item_;
  bool itemChanged_ = false;
  uint64_t recorded_ = 0, taken_ = 0;
};

}  // namespace szsfx
