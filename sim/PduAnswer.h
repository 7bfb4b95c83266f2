// answerPdu: what a Modbus unit replies to one request PDU (function code and
// data, without MBAP header or CRC).
//
// Functions 1-6, 15, 16, 20 (reference type 6) and 100 (scattered read of
// holding registers) are answered from a RegisterBank; everything else gets
// exception 1. A request of the wrong length, a quantity outside the
// protocol's limits or a malformed field gets exception 3, an address range
// that is not mapped (or runs past 65535) exception 2, in that order of
// checks. A hook's exception code is answered as it is.
#pragma once

#include "sim/RegisterBank.h"

#include <cstdint>
#include <span>
#include <vector>

namespace arxmod::sim {

// `pdu` holds at least the function code.
std::vector<uint8_t> answerPdu(RegisterBank &bank, std::span<const uint8_t> pdu);

// The exception reply of `function` with `code`.
std::vector<uint8_t> exceptionPdu(uint8_t function, uint8_t code);

} // namespace arxmod::sim
