// Reply PDUs: their shapes, and whether one answers the message sent.
#include "modbus/ModbusReply.h"

#include "base/ByteReader.h"
#include "base/KSXmsg.h"

#include <algorithm>

namespace XLARX {
namespace {

constexpr uint8_t kFileReferenceType = 6;
constexpr uint8_t kDiagnostics = 8;       // recognised, never decoded
constexpr uint8_t kFunction101 = 101;     // recognised, never decoded
constexpr size_t kBytesPerTraceLine = 32; // bytes per line of a reply in a message
constexpr size_t kMaxBitsTaken = 125;     // no message reads more coils than that

struct Undecodable {};

void require(bool condition) {
  if (!condition)
    throw Undecodable{};
}

// Reads a byte count and requires exactly that many bytes to follow.
std::span<const uint8_t> countedBytes(arxmod::ByteReader &in) {
  uint8_t count = 0;
  std::span<const uint8_t> bytes;
  require(in.readU8(count) && in.remaining() == count && in.readView(count, bytes));
  return bytes;
}

std::vector<uint16_t> wordsOf(std::span<const uint8_t> bytes) {
  require(bytes.size() % 2 == 0);
  std::vector<uint16_t> words(bytes.size() / 2);
  for (size_t i = 0; i < words.size(); ++i)
    words[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  return words;
}

void decodeBits(arxmod::ByteReader &in, ModbusReply &reply) {
  const std::span<const uint8_t> bytes = countedBytes(in);
  reply.bitBytes = bytes.size();
  reply.registers.resize(std::min<size_t>(8 * bytes.size(), kMaxBitsTaken));
  for (size_t i = 0; i < reply.registers.size(); ++i)
    reply.registers[i] = (bytes[i / 8] >> (i % 8)) & 1;
}

void decodeFileRecord(arxmod::ByteReader &in, ModbusReply &reply) {
  arxmod::ByteReader records(countedBytes(in));
  uint8_t length = 0, type = 0;
  std::span<const uint8_t> data;
  require(records.readU8(length) && length >= 1 && records.readU8(type) &&
          type == kFileReferenceType && records.remaining() == length - 1u &&
          records.readView(length - 1u, data));
  reply.registers = wordsOf(data);
}

void decodeScattered(arxmod::ByteReader &in, ModbusReply &reply) {
  arxmod::ByteReader body(countedBytes(in));
  uint8_t ignored = 0;
  std::span<const uint8_t> data;
  require(body.size() >= 2 && body.size() % 2 == 0 && body.readU8(ignored) &&
          body.readU8(reply.transmissionNumber) && body.readView(body.remaining(), data));
  reply.registers = wordsOf(data);
}

void decodeBody(arxmod::ByteReader &in, ModbusReply &reply) {
  switch (reply.function) {
  case function::kReadCoils:
  case function::kReadDiscreteInputs:
    return decodeBits(in, reply);
  case function::kReadHoldingRegisters:
  case function::kReadInputRegisters:
    reply.registers = wordsOf(countedBytes(in));
    return;
  case function::kWriteSingleCoil:
  case function::kWriteSingleRegister:
  case function::kWriteMultipleCoils:
  case function::kWriteMultipleRegisters:
    require(in.readU16BE(reply.address) && in.readU16BE(reply.quantity) && in.atEnd());
    return;
  case function::kReadFileRecord:
    return decodeFileRecord(in, reply);
  case function::kScatteredRead:
    return decodeScattered(in, reply);
  default: // functions 8 and 101
    throw Undecodable{};
  }
}

bool supported(uint8_t code) {
  switch (code) {
  case function::kReadCoils:
  case function::kReadDiscreteInputs:
  case function::kReadHoldingRegisters:
  case function::kReadInputRegisters:
  case function::kWriteSingleCoil:
  case function::kWriteSingleRegister:
  case function::kWriteMultipleCoils:
  case function::kWriteMultipleRegisters:
  case function::kReadFileRecord:
  case function::kScatteredRead:
  case kDiagnostics:
  case kFunction101:
    return true;
  default:
    return false;
  }
}

bool quantitiesMatch(const ModbusReply &reply, const ModbusMessage &sent) {
  switch (sent.kind) {
  case MessageKind::Read:
    if (sent.registerData())
      return reply.registers.size() == sent.count;
    return reply.bitBytes == (sent.count + 7u) / 8u;
  case MessageKind::ScatteredRead:
  case MessageKind::FileRecordRead:
    return reply.registers.size() == sent.count;
  case MessageKind::Write:
    return reply.address == sent.start && (sent.single || reply.quantity == sent.count);
  }
  return false;
}

} // namespace

std::string couldNotDecodeText(std::span<const uint8_t> bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = "Invalid Modbus response - Could not decode. Response: (" +
                     std::to_string(bytes.size()) + ") ";
  for (size_t i = 0; i < bytes.size(); ++i) {
    text.push_back(kHex[bytes[i] >> 4]);
    text.push_back(kHex[bytes[i] & 0x0F]);
    text.push_back((i + 1) % kBytesPerTraceLine == 0 ? '\n' : ' ');
  }
  return text;
}

ModbusReply decodeReply(std::span<const uint8_t> bytes) {
  arxmod::ByteReader in(bytes);
  uint8_t code = 0;
  if (!in.readU8(code))
    throw arxmod::KSXmsg("Invalid Modbus response - No Function Code");
  ModbusReply reply;
  reply.function = static_cast<uint8_t>(code & ~function::kExceptionBit);
  try {
    if (code & function::kExceptionBit) {
      uint8_t exception = 0;
      require(in.readU8(exception) && in.atEnd());
      reply.exception = exception;
      return reply;
    }
    if (!supported(code))
      throw arxmod::KSXmsg("Modbus Function Code is not supported");
    decodeBody(in, reply);
  } catch (const Undecodable &) {
    throw arxmod::KSXmsg(couldNotDecodeText(bytes));
  }
  return reply;
}

ReplyMatch checkReply(const ModbusReply &reply, const ModbusMessage &sent) {
  if (reply.function != sent.functionCode())
    return ReplyMatch::WrongFunction;
  if (reply.exception)
    return ReplyMatch::Matches;
  if (sent.kind == MessageKind::ScatteredRead &&
      reply.transmissionNumber != sent.transmissionNumber)
    return ReplyMatch::WrongTransmission;
  return quantitiesMatch(reply, sent) ? ReplyMatch::Matches : ReplyMatch::WrongQuantity;
}

} // namespace XLARX
