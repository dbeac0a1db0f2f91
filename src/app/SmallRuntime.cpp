// The stub has no exception handlers, so a failure inside the C++ library ends the
// process either way. Ending it here directly keeps the library's exception,
// message-formatting and symbol-demangling machinery out of the stub image.
#include <bits/functexcept.h>

#include <cstddef>
#include <cstdlib>

#include "platform/MemoryReserve.h"

namespace __gnu_cxx {
// NOLINTNEXTLINE(bugprone-reserved-identifier): the C++ library's own name, replaced here
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_bad_function_call() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
}  // namespace std

// An allocation that fails takes the memory reserve once: the run then stops and fails
// in order (see plat::OutOfMemory). Only when that is gone too does the process end here.
void* operator new(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p && plat::ReleaseMemoryReserve()) p = std::malloc(size ? size : 1);
  if (!p) std::abort();
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
