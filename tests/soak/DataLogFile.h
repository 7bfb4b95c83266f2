// DataLogFile: reads a data log file (".arx") as bytes and checks it on its
// own terms: the header's CRC and the CRC of every slot that holds a
// record. A file the soak finds damaged this way was torn by a write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace arxmod::test::soak {

// The type byte of a value that was not available (the double holds the
// code of the exception the cache held).
inline constexpr uint8_t kNotAvailableValue = 0;

struct LoggedValue {
  uint8_t type = kNotAvailableValue;
  double value = 0;
};

struct LoggedRecord {
  uint32_t sequence = 0;
  std::vector<LoggedValue> values;
};

struct DataLogContent {
  std::string fault; // empty when header and every written slot are sound
  std::vector<LoggedRecord> records;
};

DataLogContent readDataLog(const std::filesystem::path &file);

} // namespace arxmod::test::soak
