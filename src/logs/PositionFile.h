// The log position file "log_position.dat": the position (sequence number of
// the next record) of every PC-side log, so positions survive a restart.
//
// Layout, integers big-endian:
//
//   offset     size  content
//   0          4     magic 0x3CEB762F
//   4          4     version 1
//   8          4     total length L = 16 * N + 18
//   12         4     number of entries N
//   16 + 16i   4     entry i: key, high word (device number)
//   20 + 16i   4     entry i: key, low word (log register handle)
//   24 + 16i   4     entry i: position, high word (always 0)
//   28 + 16i   4     entry i: position, low word
//   L - 2      2     CRC-16/MODBUS of bytes 0 .. L - 3, high byte first
//
// A file of one entry is 34 bytes. Entries are written in key order so the
// same positions always give the same bytes. The reader accepts 32 to
// 1600000 bytes, so at most 99998 entries can be stored.
#pragma once

#include "logs/LogKey.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace arxmod {

using PositionMap = std::unordered_map<LogKey, uint32_t>;

inline constexpr uint32_t kPositionFileMagic = 0x3CEB762F;
inline constexpr uint32_t kPositionFileVersion = 1;
inline constexpr size_t kPositionFileHeaderSize = 16;
inline constexpr size_t kPositionEntrySize = 16;
inline constexpr size_t kPositionFileMinSize = 32;
inline constexpr size_t kPositionFileMaxSize = 1600000;
inline constexpr size_t kPositionFileMaxEntries =
    (kPositionFileMaxSize - kPositionFileHeaderSize - 2) / kPositionEntrySize;
inline constexpr const char *kPositionFileName = "log_position.dat";

// The file's bytes for `positions` (at most kPositionFileMaxEntries).
std::vector<uint8_t> encodePositionFile(const PositionMap &positions);

// Checks the bytes of a whole file (steps 4 to 6 of reading) and adds its
// entries to `positions`. Empty on success, else the message of the check
// that failed; `positions` is then unchanged.
std::string decodePositionFile(std::span<const uint8_t> bytes, PositionMap &positions);

// Reads and decodes the file at `path` (every step of reading). Empty on
// success, else the message of the step that failed. `missing` is set when
// the file does not exist, which is no fault: the logs start at 0.
std::string readPositionFile(const std::filesystem::path &path, PositionMap &positions,
                             bool &missing);

} // namespace arxmod
