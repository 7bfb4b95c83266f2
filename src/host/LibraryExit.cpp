// LibraryExit: exit functions registered with this library's handle.
#include "host/LibraryExit.h"

// The C++ runtime's registration, and the handle that the linker gives
// every library and program (the one this code is linked into).
extern "C" int __cxa_atexit(void (*handler)(void *), void *argument, void *library);
extern "C" void *__dso_handle;

namespace arxmod {

bool atLibraryExit(void (*handler)(void *), void *argument) noexcept {
  return __cxa_atexit(handler, argument, &__dso_handle) == 0;
}

} // namespace arxmod
