#include "platform/MemoryReserve.h"

#include <atomic>
#include <cstdlib>

namespace plat {

namespace {

std::atomic<void*> g_reserve{nullptr};
std::atomic<bool> g_ranOut{false};

}  // namespace

void SetMemoryReserve(size_t bytes) {
  void* expected = nullptr;
  void* block = std::malloc(bytes);
  if (block && !g_reserve.compare_exchange_strong(expected, block)) std::free(block);
}

bool ReleaseMemoryReserve() {
  g_ranOut = true;
  void* block = g_reserve.exchange(nullptr);
  std::free(block);
  return block != nullptr;
}

bool OutOfMemory() { return g_ranOut; }

}  // namespace plat
