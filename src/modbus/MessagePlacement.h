// MessagePlacement: the rules that place the requests of a Modbus
// transaction in as few messages as the map's TransactionConfig allows, and
// which requests a reply to each message answers.
//
// Rules, applied to each request as it is added:
//  1. A write gets a message of its own, single (functions 5 and 6, first
//     register only) when the map says multiple-register writes are not
//     supported; the transaction then closes, so the write goes out alone.
//  2. A file record read gets a message of its own.
//  3. A holding register read with a position goes to the dataset block that
//     starts at its address; one without a position goes to the block whose
//     range holds it, if any. A block is read whole, once per unit, and only
//     when the value fits in it; a block of 0 or more than 125 registers
//     cannot be read in one message and is ignored.
//  4. Any other read goes to a block read, unless the map supports scattered
//     reads and it reads holding registers: then to a scattered read.
//  5. Block read: merged into the first open read of the same unit and class
//     when the merged range stays within the limit L (MaxRequestRegisters
//     when 1 to 125, else 125) and covers no invalid range; a read that
//     reaches L is closed. Otherwise it starts a new open read.
//  6. Scattered read: nothing when a read message of the unit already covers
//     the request. Else each register not yet listed for the unit is
//     appended to the unit's last scattered read holding fewer than S
//     addresses (MaxRequestRegisters when 1 to 99, else 100), or to a new one
//     with the next process-wide transmission number.
#pragma once

#include "base/RefBase.h"
#include "map/TransactionConfig.h"
#include "modbus/ModbusMessage.h"
#include "modbus/ModbusRequest.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_set>
#include <vector>

namespace XLARX {

struct MessageItem {
  ModbusMessage message;
  uint32_t unit = 0;
  bool open = false;           // later reads may still be merged into it
  bool datasetBlock = false;   // the read of a whole dataset block
  std::optional<size_t> owner; // writes: the index of the request it was made for
};

class MessagePlacement {
public:
  // `config` may be empty: then there are no invalid ranges, dataset blocks
  // or scattered reads, writes carry all their registers, and L is 125.
  explicit MessagePlacement(arxmod::IRefPtr<arxmod::TransactionConfig> config);

  // Places request `index` (every earlier index placed before it). Raises
  // "Unsupported Modbus conversion" for a write whose format cannot be
  // encoded. True when it made a write message.
  bool place(ModbusRequest &request, size_t index);

  const std::vector<MessageItem> &items() const { return items_; }
  const arxmod::TransactionConfig *config() const { return config_.get(); }
  uint16_t readLimit() const;      // L
  uint16_t scatteredLimit() const; // S

  // Whether `request` may be merged into the open read `item` (rule 5).
  bool mayMerge(const MessageItem &item, const ModbusRequest &request) const;
  // Whether `request` belongs to a dataset block (rule 3).
  bool liesInDatasetBlock(const ModbusRequest &request) const;
  // Whether the merged range [first, last] of class `registerClass` covers
  // an invalid range.
  bool coversInvalidRange(uint8_t registerClass, uint32_t first, uint32_t last) const;
  // Whether a reply to `item` answers request `index`: writes and file
  // record reads their own message; scattered requests the scattered reads
  // of their unit that list any of their registers; other reads a read of
  // their unit and class that holds all their registers (dataset members:
  // that starts at their address and holds their position).
  bool answers(const MessageItem &item, const ModbusRequest &request, size_t index) const;

private:
  using RegisterItem = arxmod::TransactionConfig::RegisterItem;

  const RegisterItem *datasetBlockOf(const ModbusRequest &request) const;
  void placeWrite(const ModbusRequest &request, size_t index);
  void placeInDatasetBlock(const ModbusRequest &request, const RegisterItem &block);
  void placeInBlockRead(const ModbusRequest &request);
  void placeInScatteredRead(ModbusRequest &request);
  MessageItem &scatteredReadFor(uint32_t unit);

  arxmod::IRefPtr<arxmod::TransactionConfig> config_;
  std::vector<MessageItem> items_;
  std::unordered_set<uint64_t> scatteredRegisters_; // unit << 16 | register, already listed
};

// The next transmission number of a scattered read: the low 8 bits of a
// process-wide counter, incremented atomically.
uint8_t nextTransmissionNumber();

} // namespace XLARX
