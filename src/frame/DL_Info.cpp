// Strict reading and writing of the packet record.
#include "frame/DL_Info.h"

#include "messages/ENVL_Address.h"
#include "messages/ENVL_Exception.h"

#include <string>

namespace arxmod {
namespace {

[[noreturn]] void cutShort(const char *field, size_t offset, size_t needed, size_t left) {
  throw DL_Info::DL_InfoExec("Bad packet: cut short in field '" + std::string(field) +
                             "' at offset " + std::to_string(offset) + " (" +
                             std::to_string(needed) + " bytes needed, " + std::to_string(left) +
                             " left)");
}

template <typename T, typename ReadFn>
void readField(ByteReader &in, const char *field, T &value, ReadFn read) {
  if (!(in.*read)(value))
    cutShort(field, in.position(), sizeof(T), in.remaining());
}

} // namespace

DL_Info DL_Info::read(ByteReader &in) {
  DL_Info p;
  try {
    ENVL_Address address;
    address.decode(in);
    p.address = address.value();
  } catch (const UnderflowStream &) {
    cutShort("address", in.position(), 2, in.remaining());
  }
  readField(in, "protocolId", p.protocolId, &ByteReader::readU16LE);
  readField(in, "translatorId", p.translatorId, &ByteReader::readU16LE);
  readField(in, "status", p.status, &ByteReader::readU32LE);
  readField(in, "flags", p.flags, &ByteReader::readU8);
  readField(in, "flagsExtra", p.flagsExtra, &ByteReader::readU8);
  readField(in, "hostWord1", p.hostWord1, &ByteReader::readU32LE);
  readField(in, "requestParameter", p.requestParameter, &ByteReader::readU32LE);
  readField(in, "hostWord3", p.hostWord3, &ByteReader::readU32LE);
  readField(in, "hostShort", p.hostShort, &ByteReader::readU16LE);
  readField(in, "deviceId", p.deviceId, &ByteReader::readU16LE);
  uint16_t dataLength = 0;
  readField(in, "dataLength", dataLength, &ByteReader::readU16LE);
  if (dataLength > in.remaining())
    throw DL_InfoExec("Bad packet: dataLength " + std::to_string(dataLength) + " exceeds the " +
                      std::to_string(in.remaining()) + " bytes that follow");
  p.data.resize(dataLength);
  in.readBytes(p.data);
  return p;
}

void DL_Info::write(ByteWriter &out) const {
  if (data.size() > kMaxDataLength)
    throw DL_InfoExec("Packet data of " + std::to_string(data.size()) +
                      " bytes exceeds the 65535 bytes a packet can carry");
  ENVL_Address(address).encode(out);
  out.writeU16LE(protocolId);
  out.writeU16LE(translatorId);
  out.writeU32LE(status);
  out.writeU8(flags);
  out.writeU8(flagsExtra);
  out.writeU32LE(hostWord1);
  out.writeU32LE(requestParameter);
  out.writeU32LE(hostWord3);
  out.writeU16LE(hostShort);
  out.writeU16LE(deviceId);
  out.writeU16LE(static_cast<uint16_t>(data.size()));
  out.writeBytes(data);
}

std::vector<uint8_t> DL_Info::toBytes() const {
  // The fixed fields and a long address take well under this; one
  // allocation then holds the whole packet.
  constexpr size_t kHeadroom = 64;
  ByteWriter out(kHeadroom + data.size());
  write(out);
  return out.takeBytes();
}

} // namespace arxmod
