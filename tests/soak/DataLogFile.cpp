// DataLogFile: the header and record slots of a data log file.
#include "DataLogFile.h"

#include "TempHostDatabase.h"
#include "logs/Crc16.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <span>

namespace arxmod::test::soak {
namespace {

uint32_t bigEndian32(std::span<const uint8_t> bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
         bytes[at + 3];
}

uint16_t storedCrc(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

double littleEndianDouble(std::span<const uint8_t> bytes, size_t at) {
  uint64_t bits = 0;
  for (size_t i = 0; i < 8; ++i)
    bits |= uint64_t{bytes[at + i]} << (8 * i);
  return std::bit_cast<double>(bits);
}

} // namespace

DataLogContent readDataLog(const std::filesystem::path &file) {
  const std::string text = readFile(file);
  const std::span bytes(reinterpret_cast<const uint8_t *>(text.data()), text.size());
  DataLogContent content;
  if (bytes.size() < 46 || bigEndian32(bytes, 0) != 0xAAFF55AA) {
    content.fault = "no data log header";
    return content;
  }
  const uint64_t headerLength = bigEndian32(bytes, 8);
  const uint64_t depth = bigEndian32(bytes, 20);
  const uint64_t values = bigEndian32(bytes, 40);
  const uint64_t recordSize = 9 * values + 14;
  if (headerLength < 46 || headerLength + recordSize * depth > bytes.size()) {
    content.fault = "header longer than the file";
    return content;
  }
  if (crc16Modbus(bytes.first(headerLength - 2)) != storedCrc(bytes, headerLength - 2)) {
    content.fault = "header CRC";
    return content;
  }
  for (uint64_t slot = 0; slot < depth; ++slot) {
    const auto record = bytes.subspan(headerLength + recordSize * slot, recordSize);
    const auto body = record.first(recordSize - 2);
    if (std::all_of(body.begin(), body.end(), [](uint8_t b) { return b == 0; }))
      continue; // never written: zeros under a CRC that cannot match them
    if (crc16Modbus(body) != storedCrc(record, recordSize - 2)) {
      content.fault = "CRC of slot " + std::to_string(slot);
      return content;
    }
    LoggedRecord logged;
    logged.sequence = bigEndian32(record, 0);
    for (uint64_t j = 0; j < values; ++j)
      logged.values.push_back({record[12 + 9 * j], littleEndianDouble(record, 13 + 9 * j)});
    content.records.push_back(std::move(logged));
  }
  return content;
}

} // namespace arxmod::test::soak
