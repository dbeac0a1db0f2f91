#include "run/RunStatus.h"

namespace szsfx {

void TRunStatus::SetProgress(uint8_t percent) {
  plat::TLockGuard guard(lock_);
  ++recorded_;
  if (percent == progress_) return;
  progress_ = percent;
  progressChanged_ = true;
}

void TRunStatus::SetItem(const std::u16string& destination) {
  plat::TLockGuard guard(lock_);
  ++recorded_;
  item_ = destination;
  itemChanged_ = true;
}

TRunStatus::TChange TRunStatus::Take() {
  TChange change;
  plat::TLockGuard guard(lock_);
  if (progressChanged_) {
    change.HasProgress = true;
    change.Progress = progress_;
    progressChanged_ = false;
  }
  if (itemChanged_) {
    change.HasItem = true;
    change.Item = item_;
    itemChanged_ = false;
  }
  if (change.HasProgress || change.HasItem) ++taken_;
  return change;
}

}  // namespace szsfx
