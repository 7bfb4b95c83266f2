// LogKey: the 64-bit name of one PC-side log.
//
// High word: the device number (the number that names the log's device in
// the host's configuration); low word: the handle of the log register in
// that device's tree. The key names the log in the recorder table, in the
// position file and in its file names, where it is written as 16
// lower-case hexadecimal digits ("0000000700001234").
#pragma once

#include <cstdint>
#include <string>

namespace arxmod {

using LogKey = uint64_t;

constexpr LogKey makeLogKey(uint32_t device, uint32_t handle) {
  return (static_cast<LogKey>(device) << 32) | handle;
}
constexpr uint32_t logKeyDevice(LogKey key) { return static_cast<uint32_t>(key >> 32); }
constexpr uint32_t logKeyHandle(LogKey key) { return static_cast<uint32_t>(key); }

// The 16 hexadecimal digits of the key.
std::string logKeyText(LogKey key);

} // namespace arxmod
