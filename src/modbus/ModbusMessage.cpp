// Function codes of messages and their request PDUs. Quantity limits are
// those of the public Modbus Application Protocol (V1.1b3).
#include "modbus/ModbusMessage.h"

#include "base/ByteWriter.h"
#include "base/KSXmsg.h"
#include "modbus/ModbusRequest.h"

#include <array>

namespace XLARX {
namespace {

constexpr size_t kPduBuffer = 256;
// Function 20: one sub-request of 7 bytes, reference type 6.
constexpr uint8_t kFileSubRequestBytes = 7;
constexpr uint8_t kFileReferenceType = 6;
// Function 100: the byte after the byte count.
constexpr uint8_t kScatteredMarker = 4;
// Function 100: code, byte count, marker, transmission number and n
// addresses of 2 bytes in a 253-byte PDU: n <= 124.
constexpr size_t kMaxScatteredAddresses = 124;

[[noreturn]] void cannotBuild() { throw arxmod::KSXmsg("Could not build Modbus packet"); }

void require(bool condition) {
  if (!condition)
    cannotBuild();
}

uint16_t narrow16(uint32_t value) {
  require(value <= 0xFFFF);
  return static_cast<uint16_t>(value);
}

void writeRead(const ModbusMessage &message, arxmod::ByteWriter &out) {
  require(message.count >= 1 && message.count <= kMaxReadCount && message.last() <= 0xFFFF);
  out.writeU16BE(message.start);
  out.writeU16BE(message.count);
}

void writeWrite(const ModbusMessage &message, arxmod::ByteWriter &out) {
  const bool coils = message.registerClass == 0;
  require(!message.data.empty() && message.data.size() == message.count &&
          message.last() <= 0xFFFF);
  out.writeU16BE(message.start);
  if (message.single) { // the first register alone
    out.writeU16BE(coils ? (message.data[0] ? 0xFF00 : 0x0000) : message.data[0]);
    return;
  }
  require(message.count <= (coils ? kMaxWriteCoils : kMaxWriteRegisters));
  out.writeU16BE(message.count);
  if (coils) {
    std::vector<uint8_t> bits((message.count + 7) / 8, 0);
    for (size_t i = 0; i < message.count; ++i)
      if (message.data[i])
        bits[i / 8] = static_cast<uint8_t>(bits[i / 8] | 1u << (i % 8));
    out.writeU8(static_cast<uint8_t>(bits.size()));
    out.writeBytes(bits);
    return;
  }
  out.writeU8(static_cast<uint8_t>(2 * message.count));
  for (uint16_t word : message.data)
    out.writeU16BE(word);
}

void writeFileRecordRead(const ModbusMessage &message, arxmod::ByteWriter &out) {
  require(message.count >= 1);
  out.writeU8(kFileSubRequestBytes);
  out.writeU8(kFileReferenceType);
  out.writeU16BE(narrow16(message.fileNumber));
  out.writeU16BE(narrow16(message.recordNumber));
  out.writeU16BE(message.count);
}

void writeScatteredRead(const ModbusMessage &message, arxmod::ByteWriter &out) {
  const size_t n = message.data.size();
  require(n >= 1 && n <= kMaxScatteredAddresses && n == message.count);
  out.writeU8(static_cast<uint8_t>(2 * n + 2));
  out.writeU8(kScatteredMarker);
  out.writeU8(message.transmissionNumber);
  for (uint16_t address : message.data)
    out.writeU16BE(address);
}

} // namespace

uint8_t ModbusMessage::functionCode() const {
  switch (kind) {
  case MessageKind::FileRecordRead:
    return function::kReadFileRecord;
  case MessageKind::ScatteredRead:
    return function::kScatteredRead;
  case MessageKind::Write:
    if (registerClass == 0)
      return single ? function::kWriteSingleCoil : function::kWriteMultipleCoils;
    if (registerClass == 4)
      return single ? function::kWriteSingleRegister : function::kWriteMultipleRegisters;
    return 0;
  case MessageKind::Read:
    break;
  }
  switch (registerClass) {
  case 0:
    return function::kReadCoils;
  case 1:
    return function::kReadDiscreteInputs;
  case 3:
    return function::kReadInputRegisters;
  default:
    return function::kReadHoldingRegisters;
  }
}

std::vector<uint8_t> buildRequestPdu(const ModbusMessage &message) {
  const uint8_t code = message.functionCode();
  require(code != 0);
  std::array<uint8_t, kPduBuffer> buffer{};
  arxmod::ByteWriter out(buffer.data(), buffer.size());
  out.writeU8(code);
  switch (message.kind) {
  case MessageKind::Read:
    writeRead(message, out);
    break;
  case MessageKind::Write:
    writeWrite(message, out);
    break;
  case MessageKind::FileRecordRead:
    writeFileRecordRead(message, out);
    break;
  case MessageKind::ScatteredRead:
    writeScatteredRead(message, out);
    break;
  }
  require(!out.failed());
  return {buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(out.size())};
}

} // namespace XLARX
