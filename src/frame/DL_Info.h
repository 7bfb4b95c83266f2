// DL_Info: the packet record that travels in every buffer crossing the
// plug-in boundary (the request and answer of Process, both directions of
// the exchange callback).
//
// Wire layout, without padding (integers little-endian except the address,
// which is a big-endian compact number of 2 or 4 bytes):
//   address 2|4, protocolId 2, translatorId 2, status 4, flags 1,
//   flagsExtra 1, hostWord1 4, requestParameter 4, hostWord3 4, hostShort 2,
//   deviceId 2, dataLength 2, data dataLength.
// The bytes come from a host we do not control, so a packet is read only in
// strict form: every field must be complete and dataLength may not exceed
// the bytes that follow.
#pragma once

#include "base/ByteReader.h"
#include "base/ByteWriter.h"
#include "base/KSXmsg.h"

#include <cstdint>
#include <vector>

namespace arxmod {

struct DL_Info {
  // Raised for a packet that cannot be read, and for a request packet whose
  // status is not 0 ("Bad Packet").
  class DL_InfoExec : public KSXmsg {
  public:
    using KSXmsg::KSXmsg;
  };

  static constexpr uint8_t kFlagNoReply = 0x01;      // no reply wanted for this packet
  static constexpr uint8_t kFlagNoReplyAtAll = 0x04; // the transaction expects no reply at all
  static constexpr uint32_t kHostWord1AnswerMask = ~uint32_t{0x02}; // bit 1 cleared in answers
  static constexpr size_t kMaxDataLength = 0xFFFF;                  // dataLength is a 16-bit field

  uint32_t address = 0;
  uint16_t protocolId = 0;
  uint16_t translatorId = 0;
  uint32_t status = 0;
  uint8_t flags = 0;
  uint8_t flagsExtra = 0;
  uint32_t hostWord1 = 0;
  uint32_t requestParameter = 0;
  uint32_t hostWord3 = 0;
  uint16_t hostShort = 0;
  uint16_t deviceId = 0;
  std::vector<uint8_t> data;

  // Reads one packet; raises DL_InfoExec naming the field that is cut short
  // or the dataLength that overruns the input.
  static DL_Info read(ByteReader &in);

  // Writes the packet; the address always in its four-byte form. Raises
  // DL_InfoExec when data is longer than a 16-bit dataLength can describe.
  void write(ByteWriter &out) const;
  std::vector<uint8_t> toBytes() const;
};

} // namespace arxmod
