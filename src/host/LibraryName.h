// The library's own name: its file name without directory, in upper case
// ("MX4110_4120.SO"). It is the origin of system-log entries and selects
// this library's devices in the configuration database.
#pragma once

#include <string>

namespace arxmod {

const std::string &libraryName();
// Set once when the library loads; tools that link the core directly keep
// the default "MX4110_4120.SO".
void setLibraryName(std::string name);
// Forgets the name (at unload, once nothing logs any more).
void releaseLibraryName();

// Upper-cased last path component of `path` ("/a/mx4110_4120.so" -> "MX4110_4120.SO").
std::string libraryNameFromPath(const std::string &path);

} // namespace arxmod
