// TransactionConfig: a map's limits on the Modbus messages built for its
// devices, read by the Modbus transaction.
//
// Register ranges are kept as {first offset, last offset, count}, offsets
// of holding registers (class 4). Dataset blocks are ranges read as one
// block; invalid ranges are registers no read may cover. The lists are
// short (a handful per map) and searched by their first offset.
#pragma once

#include "base/RefBase.h"

#include <cstdint>
#include <vector>

namespace arxmod {

class TransactionConfig : public RefBase {
public:
  struct RegisterItem {
    uint16_t first; // register offset (address - 400001)
    uint16_t last;  // first + count - 1, never past 65535
    uint16_t count;
    friend bool operator==(const RegisterItem &, const RegisterItem &) = default;
  };

  TransactionConfig() {
    invalidRanges.reserve(11);
    datasetBlocks.reserve(11);
  }

  // The item of `items` whose first offset is `first`, or nullptr.
  static const RegisterItem *findFirst(const std::vector<RegisterItem> &items, uint16_t first) {
    for (const RegisterItem &item : items)
      if (item.first == first)
        return &item;
    return nullptr;
  }

  uint16_t maxRequestRegisters = 0; // 0: no limit of the map's own
  bool multiplePresetSupported = true;
  bool scatteredReadSupported = false;
  uint32_t diagnosticFlags = 0; // bit value 1: value trace, 2: packet trace
  std::vector<RegisterItem> invalidRanges;
  std::vector<RegisterItem> datasetBlocks;
};

} // namespace arxmod
