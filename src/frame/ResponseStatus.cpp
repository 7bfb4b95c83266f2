// Response status texts and the packet status conversion tables.
#include "frame/ResponseStatus.h"

#include <array>

namespace XL {

std::string_view responseStatusText(int32_t status) noexcept {
  static constexpr std::array<std::string_view, 6> kNames = {"RX:ResponseOkay",
                                                             "RX:ResponseTimeout",
                                                             "RX:ResponseBadPacket",
                                                             "RX:ResponseSiteNotConnected",
                                                             "RX:ResponseSiteNotResponding",
                                                             "RX:ResponseNone"};
  if (status < 0 || static_cast<size_t>(status) >= kNames.size())
    return "RX:Unknown";
  return kNames[static_cast<size_t>(status)];
}

ResponseStatus responseFromPacketStatus(uint32_t packetStatus) noexcept {
  switch (packetStatus) {
  case 0:
    return ResponseOkay;
  case 1:
    return ResponseBadPacket;
  case 2:
    return ResponseTimeout;
  case 3:
    return ResponseSiteNotConnected;
  case 4:
    return ResponseSiteNotResponding;
  default:
    return ResponseBadPacket;
  }
}

uint32_t packetStatusFromResponse(int32_t status) noexcept {
  switch (status) {
  case ResponseOkay:
    return 0;
  case ResponseBadPacket:
    return 1;
  case ResponseTimeout:
    return 2;
  case ResponseSiteNotConnected:
    return 3;
  case ResponseSiteNotResponding:
    return 4;
  default:
    return 1;
  }
}

} // namespace XL
