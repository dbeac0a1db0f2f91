// A reserve of memory set aside at the start and given back when an allocation fails, so
// that a run that runs out of memory can still stop in order: its item fails, the
// outcome is shown and the work folder is removed, instead of the process ending on the
// spot.
#pragma once

#include <cstddef>

namespace plat {

// Sets `bytes` aside (once; later calls do nothing).
void SetMemoryReserve(size_t bytes);
// Gives the reserve back and notes that memory ran out; false when it was given back
// before (or never set): the allocation then fails for good.
bool ReleaseMemoryReserve();
// Whether memory ran out in this process: the run stops and fails.
bool OutOfMemory();

}  // namespace plat
