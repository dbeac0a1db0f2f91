// Where a run spends its time, in the measuring build of the stub (szsfx-trace.exe, built
// with SZSFX_PHASE_TRACE): with the environment variable SZSFX_TRACE naming a file, every
// phase's end is appended to it as one line: milliseconds since the process was created,
// milliseconds since the previous phase, the phase's name (and a count where one is
// given). Without the variable nothing is measured or written. In the stub that ships,
// these calls do nothing: it writes no file that a variable names.
#pragma once

#include <cstdint>

namespace plat {

void TracePhase(const char* name);
void TraceCount(const char* name, uint64_t count);

}  // namespace plat
