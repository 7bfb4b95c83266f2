// ModbusMessage: one unit of Modbus traffic (a request PDU and the reply it
// expects), and the building of its protocol data unit.
//
// A transaction places its requests in messages (MessagePlacement.h): block
// reads, dataset block reads, scattered reads of listed holding registers,
// file record reads, and one message per write. Function codes follow the
// kind and the register class:
//
//   read     class 0: 1, class 1: 2, class 3: 4, class 4: 3
//   write    class 0: 15 (5 when single), class 4: 16 (6 when single);
//            classes 1 and 3 cannot be written
//   file record read: 20          scattered read: 100
//
// All PDU integers are big-endian.
#pragma once

#include <cstdint>
#include <vector>

namespace XLARX {

enum class MessageKind : uint8_t { Read, Write, FileRecordRead, ScatteredRead };

namespace function {
constexpr uint8_t kReadCoils = 1;
constexpr uint8_t kReadDiscreteInputs = 2;
constexpr uint8_t kReadHoldingRegisters = 3;
constexpr uint8_t kReadInputRegisters = 4;
constexpr uint8_t kWriteSingleCoil = 5;
constexpr uint8_t kWriteSingleRegister = 6;
constexpr uint8_t kWriteMultipleCoils = 15;
constexpr uint8_t kWriteMultipleRegisters = 16;
constexpr uint8_t kReadFileRecord = 20;
constexpr uint8_t kScatteredRead = 100;
constexpr uint8_t kExceptionBit = 0x80; // added to the function code of an exception reply
} // namespace function

struct ModbusMessage {
  MessageKind kind = MessageKind::Read;
  bool single = false;        // a write of one coil or register without a count (5, 6)
  uint8_t registerClass = 4;  // 0, 1, 3 or 4 (ModbusAddress.h)
  uint16_t start = 0;         // first register offset
  uint16_t count = 0;         // registers, bits or (scattered reads) addresses
  std::vector<uint16_t> data; // registers to write, or the addresses of a scattered read
  uint32_t fileNumber = 0;    // file record reads
  uint32_t recordNumber = 0;
  uint8_t transmissionNumber = 0; // scattered reads: echoed by the reply

  // 16-bit registers rather than bits.
  bool registerData() const { return registerClass == 3 || registerClass == 4; }
  // The function code; 0 for a message that cannot be built (a write of
  // input registers or discrete inputs).
  uint8_t functionCode() const;
  // The last register a block or dataset read covers.
  uint32_t last() const { return uint32_t{start} + count - 1; }
};

// The request PDU of `message`, built into a buffer of 256 bytes. Raises
// KSXmsg "Could not build Modbus packet" for a message that cannot be built
// or does not fit, and for counts and numbers the PDU cannot carry.
std::vector<uint8_t> buildRequestPdu(const ModbusMessage &message);

} // namespace XLARX
