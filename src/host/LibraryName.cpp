// Storage of the library name.
#include "host/LibraryName.h"

#include "base/ProcessSingleton.h"

#include <algorithm>
#include <cctype>

namespace arxmod {
namespace {
constinit ProcessSingleton<std::string> storedName;

std::string &name() {
  return storedName.get([] { return new std::string("MX4110_4120.SO"); });
}
} // namespace

const std::string &libraryName() { return name(); }

void setLibraryName(std::string newName) { name() = std::move(newName); }

void releaseLibraryName() { storedName.release(); }

std::string libraryNameFromPath(const std::string &path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return name;
}

} // namespace arxmod
