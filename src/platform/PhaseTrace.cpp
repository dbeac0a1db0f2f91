#include "platform/PhaseTrace.h"

#ifdef SZSFX_PHASE_TRACE

#include <cstdio>
#include <string>

#include "platform/Platform.h"

namespace plat {

namespace {

struct TTraceState {
  std::u16string file;
  uint64_t last = 0;
};

TTraceState& State() {
  static TTraceState state{EnvironmentValue(u"SZSFX_TRACE"), 0};
  return state;
}

// Opened and closed for every line: a process that ends without its clean-up still
// leaves every phase it reached.
void AppendLine(const std::u16string& file, const std::string& line) {
  FileHandle handle = OpenFile(file, FileAccess::Write, FileSharing::ReadWrite, FileCreation::OpenAlways);
  if (handle == kInvalidHandle) return;
  uint64_t end = 0;
  uint32_t written = 0;
  if (SeekFile(handle, 0, SeekOrigin::End, end))
    WriteFile(handle, line.data(), static_cast<uint32_t>(line.size()), written);
  CloseFile(handle);
}

}  // namespace

void TracePhase(const char* name) {
  TTraceState& state = State();
  if (state.file.empty()) return;
  const uint64_t now = MicrosecondsSinceStart();
  const auto tenths = [](uint64_t microseconds) { return static_cast<unsigned long>(microseconds / 100); };
  char line[160];
  std::snprintf(line, sizeof line, "%7lu.%lu ms  +%7lu.%lu ms  %s\r\n", tenths(now) / 10, tenths(now) % 10,
                tenths(now - state.last) / 10, tenths(now - state.last) % 10, name);
  state.last = now;
  AppendLine(state.file, line);
}

void TraceCount(const char* name, uint64_t count) {
  TTraceState& state = State();
  if (state.file.empty()) return;
  char line[160];
  std::snprintf(line, sizeof line, "%24s  %s: %lu\r\n", "", name, static_cast<unsigned long>(count));
  AppendLine(state.file, line);
}

}  // namespace plat

#else

namespace plat {

void TracePhase(const char*) {}
void TraceCount(const char*, uint64_t) {}

}  // namespace plat

#endif
