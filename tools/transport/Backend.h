// Backend: one link to Modbus units (a TCP connection, a serial line) under
// the transport core. The core hands it a request PDU and a unit; the
// backend alone knows its framing (MBAP, CRC), its connection and its
// timeouts, and says how the exchange ended.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace arxhost::transport {

enum class Outcome {
  Reply,   // a well-formed reply for this request: `pdu` holds it
  NoReply, // nothing arrived in time, or no reply was waited for
  Broken,  // the connection could not be made or broke
  Garbled, // bytes arrived that are not a valid reply (framing, CRC, unit)
};

struct BackendResult {
  Outcome outcome = Outcome::NoReply;
  std::vector<uint8_t> pdu;
  std::string detail; // what happened, for the operator, when not a Reply
};

class Backend {
public:
  virtual ~Backend() = default;
  // Sends `pdu` to `unit`; when `wantReply`, waits for the reply until the
  // backend's reply timeout. Calls are serialised by the caller.
  virtual BackendResult exchange(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply) = 0;
};

} // namespace arxhost::transport
