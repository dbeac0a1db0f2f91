// Where a run spends its time. With the environment variable SZSFX_TRACE naming a file,
// every phase's end is appended to it as one line: milliseconds since the process was
// created, milliseconds since the previous phase, the phase's name (and a count where one
// is given). Without it nothing is measured or written.
#pragma once

#include <cstdint>

namespace plat {

void TracePhase(const char* name);
void TraceCount(const char* name, uint64_t count);

}  // namespace plat
