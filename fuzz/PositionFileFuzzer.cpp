// Fuzz target: the log position file. The first input byte says whether
// the file's CRC is recomputed over the rest (so that damaged bodies reach
// the checks behind the CRC); the rest is the file. A file is refused with
// a message and no position, or read whole: then its CRC holds and it gave
// no more positions than it has room for entries.
#include "QuietStreams.h"
#include "logs/Crc16.h"
#include "logs/PositionFile.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  arxmod::fuzz::quietStandardStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace arxmod;
  if (size == 0)
    return 0;
  std::vector<uint8_t> file(data + 1, data + size);
  if ((data[0] & 1) && file.size() >= 2)
    storeCrc16(crc16Modbus({file.data(), file.size() - 2}), file.data() + file.size() - 2);
  PositionMap positions;
  const std::string message = decodePositionFile(file, positions);
  if (!message.empty()) {
    if (!positions.empty())
      __builtin_trap();
    return 0;
  }
  // The entry count is checked as (size - 18) / 16, so up to 15 bytes past
  // the last entry pass; entries with the same key leave one position, so
  // a file may hold more entries than the map has keys, never fewer.
  const size_t entries = (file.size() - kPositionFileHeaderSize - 2) / kPositionEntrySize;
  if (!crc16Matches(file) || positions.size() > entries)
    __builtin_trap();
  return 0;
}
