// TreeFormat: small pieces of file layout shared by the XML and text tree
// readers and writers.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace arxmod {

// One inner list of input classes (or a register's allowed classes) as the
// writers lay it out: a list too short to hold its range and type is written
// as the range 1..1 of input type local_only (pre_programmed when empty),
// followed by its entries as classes.
struct InputClassLayout {
  uint32_t start;
  uint32_t end;
  uint32_t inputType;
  std::span<const uint32_t> classes;
};
InputClassLayout inputClassLayout(const std::vector<uint32_t> &list);

// " Handle: 5 (0x5)." as appended to the XML reader's messages.
std::string handleSuffix(uint32_t handle);

// "0x" and the handle in upper-case hexadecimal.
std::string handleText(uint32_t handle);

// A double in a form that reads back to the same value.
std::string realText(double value);

} // namespace arxmod
