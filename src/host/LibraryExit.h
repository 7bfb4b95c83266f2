// LibraryExit: a function to run at process exit that belongs to the
// library (or program) this code is linked into.
//
// When a host unloads the plug-in with dlclose, the C library runs the
// plug-in's exit functions then and forgets them, so that nothing calls
// into the unmapped library when the process later exits. std::atexit
// gives that only while the C library's own atexit is the one called:
// sanitizer runtimes replace it with one that keeps the function for the
// process, and the process then crashes at exit. This registers with the
// library's own handle explicitly.
//
//   atLibraryExit(+[](void *) { stopEverything(); });
#pragma once

namespace arxmod {

// Runs `handler(argument)` at process exit, or when this library is
// unloaded, whichever comes first; false when it could not be registered.
bool atLibraryExit(void (*handler)(void *), void *argument = nullptr) noexcept;

} // namespace arxmod
