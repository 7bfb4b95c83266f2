// The request decoding and reply encoding of every supported function code.
#include "sim/PduAnswer.h"

#include "base/ByteReader.h"
#include "base/ByteWriter.h"

#include <optional>

namespace arxmod::sim {
namespace {

// A request that cannot be answered normally: its exception code.
struct Refusal {
  uint8_t code;
};

void require(bool condition, uint8_t code) {
  if (!condition)
    throw Refusal{code};
}

// Reads the 16-bit fields of a fixed-size request and refuses any other length.
class Fields {
public:
  Fields(std::span<const uint8_t> data, size_t count) : in_(data) {
    require(data.size() == count * 2, ex::kIllegalDataValue);
  }
  uint16_t next() {
    uint16_t value = 0;
    in_.readU16BE(value);
    return value;
  }

private:
  ByteReader in_;
};

void checkRange(const RegisterBank &bank, Table table, uint16_t first, size_t count) {
  require(bank.mapped(table, first, count), ex::kIllegalDataAddress);
}

void hookResult(uint8_t code) { require(code == 0, code); }

// The range of a read request (start, count), checked against the limit of
// its function and the bank, with the read hooks run.
Access readRange(RegisterBank &bank, Table table, std::span<const uint8_t> data,
                 uint16_t maxCount) {
  Fields fields(data, 2);
  const uint16_t first = fields.next();
  const uint16_t count = fields.next();
  require(count >= 1 && count <= maxCount, ex::kIllegalDataValue);
  checkRange(bank, table, first, count);
  hookResult(bank.beforeRead({table, first, count}));
  return {table, first, count};
}

std::vector<uint8_t> readBits(RegisterBank &bank, Table table, uint8_t function,
                              std::span<const uint8_t> data) {
  const Access range = readRange(bank, table, data, kMaxReadBits);
  const auto bits = bank.range(table, range.first, range.count);
  std::vector<uint8_t> reply{function, static_cast<uint8_t>((range.count + 7) / 8)};
  reply.resize(2 + reply[1], 0);
  for (size_t i = 0; i < bits.size(); ++i)
    if (bits[i])
      reply[2 + i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  return reply;
}

std::vector<uint8_t> readRegisters(RegisterBank &bank, Table table, uint8_t function,
                                   std::span<const uint8_t> data) {
  const Access range = readRange(bank, table, data, kMaxReadRegisters);
  ByteWriter out;
  out.writeU8(function);
  out.writeU8(static_cast<uint8_t>(range.count * 2));
  for (uint16_t value : bank.range(table, range.first, range.count))
    out.writeU16BE(value);
  return out.takeBytes();
}

// Functions 5 and 6 answer with their request.
std::vector<uint8_t> writeSingle(RegisterBank &bank, Table table, std::span<const uint8_t> pdu) {
  Fields fields(pdu.subspan(1), 2);
  const uint16_t address = fields.next();
  uint16_t value = fields.next();
  if (table == Table::Coils) {
    require(value == 0xFF00 || value == 0x0000, ex::kIllegalDataValue);
    value = value != 0;
  }
  checkRange(bank, table, address, 1);
  bank.set(table, address, value);
  hookResult(bank.afterWrite({table, address, 1}));
  return {pdu.begin(), pdu.end()};
}

std::vector<uint8_t> writeMultiple(RegisterBank &bank, Table table, uint8_t function,
                                   std::span<const uint8_t> data) {
  ByteReader in(data);
  uint16_t first = 0, count = 0;
  uint8_t byteCount = 0;
  require(in.readU16BE(first) && in.readU16BE(count) && in.readU8(byteCount),
          ex::kIllegalDataValue);
  const bool bits = table == Table::Coils;
  require(count >= 1 && count <= (bits ? kMaxWriteBits : kMaxWriteRegisters),
          ex::kIllegalDataValue);
  require(byteCount == (bits ? (count + 7) / 8 : count * 2) && in.remaining() == byteCount,
          ex::kIllegalDataValue);
  checkRange(bank, table, first, count);
  std::vector<uint16_t> values(count);
  std::span<const uint8_t> bytes;
  in.readView(byteCount, bytes);
  for (size_t i = 0; i < count; ++i)
    values[i] = bits ? (bytes[i / 8] >> (i % 8)) & 1
                     : static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  bank.setRange(table, first, values);
  hookResult(bank.afterWrite({table, first, count}));
  ByteWriter out;
  out.writeU8(function);
  out.writeU16BE(first);
  out.writeU16BE(count);
  return out.takeBytes();
}

std::vector<uint8_t> readFileRecords(RegisterBank &bank, std::span<const uint8_t> data) {
  ByteReader in(data);
  uint8_t byteCount = 0;
  require(in.readU8(byteCount) && byteCount >= kFileSubRequestSize &&
              byteCount <= kMaxFileByteCount && byteCount % kFileSubRequestSize == 0 &&
              in.remaining() == byteCount,
          ex::kIllegalDataValue);
  ByteWriter records;
  while (!in.atEnd()) {
    uint8_t type = 0;
    uint16_t file = 0, record = 0, length = 0;
    in.readU8(type);
    in.readU16BE(file);
    in.readU16BE(record);
    in.readU16BE(length);
    require(type == kFileReferenceType && record <= kMaxFileRecordNumber, ex::kIllegalDataAddress);
    require(length >= 1, ex::kIllegalDataValue);
    // Each sub-reply takes 2 + 2 * length bytes of the 0xF5 the reply may hold.
    const size_t room = kMaxFileByteCount - records.size();
    require(room >= 4 && length <= (room - 2) / 2, ex::kIllegalDataValue);
    std::vector<uint16_t> values;
    require(bank.fileRecords(file, record, length, values), ex::kIllegalDataAddress);
    hookResult(bank.beforeRead({Table::FileRecords, record, length, file}));
    bank.fileRecords(file, record, length, values); // a hook may have changed them
    records.writeU8(static_cast<uint8_t>(1 + 2 * length));
    records.writeU8(kFileReferenceType);
    for (uint16_t value : values)
      records.writeU16BE(value);
  }
  ByteWriter reply;
  reply.writeU8(fc::kReadFileRecord);
  reply.writeU8(static_cast<uint8_t>(records.size()));
  reply.writeBytes(records.bytes());
  return reply.takeBytes();
}

std::vector<uint8_t> scatteredRead(RegisterBank &bank, std::span<const uint8_t> data) {
  ByteReader in(data);
  uint8_t byteCount = 0, marker = 0, transmission = 0;
  require(in.readU8(byteCount) && in.readU8(marker) && in.readU8(transmission),
          ex::kIllegalDataValue);
  // The byte count covers the marker, the transmission number and n addresses.
  require(byteCount >= 4 && byteCount % 2 == 0 && in.remaining() == byteCount - 2u &&
              (byteCount - 2u) / 2 <= kMaxScatteredAddresses && marker == kScatteredMarker,
          ex::kIllegalDataValue);
  std::vector<uint16_t> addresses((byteCount - 2u) / 2);
  for (uint16_t &address : addresses) {
    in.readU16BE(address);
    checkRange(bank, Table::HoldingRegisters, address, 1);
  }
  for (uint16_t address : addresses)
    hookResult(bank.beforeRead({Table::HoldingRegisters, address, 1}));
  ByteWriter out;
  out.writeU8(fc::kScatteredRead);
  out.writeU8(byteCount);
  out.writeU8(kScatteredMarker);
  out.writeU8(transmission);
  for (uint16_t address : addresses)
    out.writeU16BE(bank.get(Table::HoldingRegisters, address));
  return out.takeBytes();
}

std::vector<uint8_t> dispatch(RegisterBank &bank, std::span<const uint8_t> pdu) {
  const uint8_t function = pdu[0];
  const auto data = pdu.subspan(1);
  switch (function) {
  case fc::kReadCoils:
    return readBits(bank, Table::Coils, function, data);
  case fc::kReadDiscreteInputs:
    return readBits(bank, Table::DiscreteInputs, function, data);
  case fc::kReadHoldingRegisters:
    return readRegisters(bank, Table::HoldingRegisters, function, data);
  case fc::kReadInputRegisters:
    return readRegisters(bank, Table::InputRegisters, function, data);
  case fc::kWriteSingleCoil:
    return writeSingle(bank, Table::Coils, pdu);
  case fc::kWriteSingleRegister:
    return writeSingle(bank, Table::HoldingRegisters, pdu);
  case fc::kWriteMultipleCoils:
    return writeMultiple(bank, Table::Coils, function, data);
  case fc::kWriteMultipleRegisters:
    return writeMultiple(bank, Table::HoldingRegisters, function, data);
  case fc::kReadFileRecord:
    return readFileRecords(bank, data);
  case fc::kScatteredRead:
    return scatteredRead(bank, data);
  default:
    throw Refusal{ex::kIllegalFunction};
  }
}

} // namespace

std::vector<uint8_t> exceptionPdu(uint8_t function, uint8_t code) {
  return {static_cast<uint8_t>(function | fc::kExceptionBit), code};
}

std::vector<uint8_t> answerPdu(RegisterBank &bank, std::span<const uint8_t> pdu) {
  try {
    return dispatch(bank, pdu);
  } catch (const Refusal &refusal) {
    return exceptionPdu(pdu[0], refusal.code);
  }
}

} // namespace arxmod::sim
