// MessagePlan: the messages a Modbus transaction will send, with the
// requests each answers and why each ends where it does. `arxhost plan`
// prints it; it is computed from the placement itself, never from a copy of
// its rules.
//
//   for (const PlannedMessage &m : transaction->plan())
//     std::cout << int(m.functionCode) << " " << m.start << "+" << m.count << " "
//               << messageEndName(m.end) << "\n";     // "3 100+11 last"
//
// Why a message ends (for a block read: what keeps it from reaching the
// nearest requested register after it, of its register class, that it
// does not answer):
//   SizeLimit     it holds L registers (S addresses), or the next requested
//                 register right after it would take it past L
//   Gap           registers nobody asked for lie before the next requested
//                 one, and reading over them would take it past L
//   InvalidRange  reaching the next requested register covers an invalid range
//   DatasetBlock  it is a dataset block, or the next requested register
//                 belongs to one
//   UnitChange    the next requested register is one of another unit
//   Write         a write goes out alone
//   FileRecord    a file record read is a message of its own
//   Last          nothing further of its unit and class was requested
#pragma once

#include "modbus/MessagePlacement.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace XLARX {

enum class MessageEnd {
  SizeLimit,
  Gap,
  InvalidRange,
  DatasetBlock,
  UnitChange,
  Write,
  FileRecord,
  Last
};

// "size limit", "gap", "invalid range", "dataset block", "unit change",
// "write", "file record", "last".
std::string_view messageEndName(MessageEnd end);

struct PlannedMessage {
  uint8_t functionCode = 0; // 0: a message that cannot be built
  uint32_t unit = 0;
  uint8_t registerClass = 4;
  uint16_t start = 0;              // first register (file record reads: 0)
  uint16_t count = 0;              // registers, bits or addresses
  std::vector<uint16_t> addresses; // scattered reads: the registers listed
  std::vector<size_t> requests;    // indexes of the requests a reply answers
  MessageEnd end = MessageEnd::Last;
};

// The plan of `placement` for `requests` (the transaction's requests, in
// order, all placed).
std::vector<PlannedMessage> planMessages(const MessagePlacement &placement,
                                         const std::vector<const ModbusRequest *> &requests);

} // namespace XLARX
