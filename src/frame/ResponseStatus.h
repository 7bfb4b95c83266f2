// The outcome of one device exchange, and its conversion to and from the
// status field of a packet.
//
// The packet numbers timeouts and bad packets the other way round from the
// response status, so both directions go through one table each.
#pragma once

#include <cstdint>
#include <string_view>

namespace XL {

enum ResponseStatus : int32_t {
  ResponseOkay = 0,
  ResponseTimeout = 1,
  ResponseBadPacket = 2,
  ResponseSiteNotConnected = 3,
  ResponseSiteNotResponding = 4,
  ResponseNone = 5,
};

// "RX:ResponseOkay" ... "RX:ResponseNone", "RX:Unknown" for any other value.
std::string_view responseStatusText(int32_t status) noexcept;

// Packet status (0 okay, 1 bad packet, 2 timeout, 3 site not connected,
// 4 site not responding) to response status; anything above 4 is a bad packet.
ResponseStatus responseFromPacketStatus(uint32_t packetStatus) noexcept;

// Response status to packet status; ResponseNone and any value outside the
// table become 1 (bad packet).
uint32_t packetStatusFromResponse(int32_t status) noexcept;

} // namespace XL
