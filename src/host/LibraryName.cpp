// Storage of the library name.
#include "host/LibraryName.h"

#include <algorithm>
#include <cctype>

namespace arxmod {
namespace {
std::string &storedName() {
  static std::string name = "MX4110_4120.SO";
  return name;
}
} // namespace

const std::string &libraryName() { return storedName(); }

void setLibraryName(std::string name) { storedName() = std::move(name); }

std::string libraryNameFromPath(const std::string &path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return name;
}

} // namespace arxmod
