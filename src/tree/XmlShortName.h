// The key of a tree document's element or attribute name in the reader's
// field table.
//
// Names are "t:" and one or two ASCII characters, so those characters index
// a table directly; this look-up runs for every attribute and child element
// of a tree and a hash of the name costs more than the rest of the read.
// Each character is read only after the one before it proved not to be the
// terminator, so a name shorter than "t:" is never read past its end.
#pragma once

#include <cstddef>

namespace arxmod {

inline constexpr size_t kShortNameKeys = 128 * 128;
inline constexpr size_t kNoShortName = kShortNameKeys;

constexpr size_t shortNameKey(const char *name) {
  if (name[0] != 't' || name[1] != ':')
    return kNoShortName;
  const auto first = static_cast<unsigned char>(name[2]);
  if (!first || first >= 128)
    return kNoShortName;
  const auto second = static_cast<unsigned char>(name[3]);
  if (second >= 128 || (second && name[4]))
    return kNoShortName;
  return first * 128 + second;
}

} // namespace arxmod
