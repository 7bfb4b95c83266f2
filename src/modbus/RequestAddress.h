// RequestAddress: the address text of a Modbus request.
//
// It extends the register address of map files (map/ModbusAddress.h) by an
// optional unit prefix and an optional position suffix:
//
//   [UNIT:]ADDRESS[pPOSITION]      "2:400101", "400101p3", "400101"
//
// The unit (0 when absent) goes out as the packet's request parameter of
// every message carrying the request. A position makes the request a member
// of the dataset block that starts at ADDRESS: its value lies POSITION
// registers after the block's first register. The text is lower-cased
// before parsing, so "400101P3" is the same address.
//
//   parseRequestAddress("2:400101p3") -> {unit 2, {4, 100}, position 3}
//   parseRequestAddress("200001")     -> KSXmsg "Invalid Modbus Register Address '200001'"
#pragma once

#include "map/ModbusAddress.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace XLARX {

struct RequestAddress {
  uint32_t unit = 0;             // Modbus unit; 0: the device's own
  arxmod::RegisterAddress reg{}; // register class and offset
  int32_t position = -1;         // registers after a dataset block's start; -1: none
  friend bool operator==(const RequestAddress &, const RequestAddress &) = default;
};

// Parses `text`; raises KSXmsg "Invalid Modbus Register Address '<text>'"
// for an address the map file syntax rejects, a unit that does not fit 32
// bits, or a position suffix without a number that fits 31 bits.
RequestAddress parseRequestAddress(std::string_view text);

// The text of that failure, for the checks of later steps.
std::string invalidAddressText(std::string_view text);

} // namespace XLARX
