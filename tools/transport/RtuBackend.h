// RtuBackend: Modbus RTU on a serial line, opened on first use and again
// after a failure.
//
// A reply frame ends when the length rule of its function code says it is
// complete, or after a silent interval of 3.5 characters. Before a request
// goes out the line is quiet for that interval since the last byte, and for
// the turnaround delay after a broadcast (unit 0, which gets no reply);
// bytes that arrived outside an exchange are dropped. A frame with a bad CRC,
// too short, or from another unit is a garbled reply.
#pragma once

#include "transport/Backend.h"
#include "transport/ConnectionText.h"
#include "transport/Io.h"

#include <vector>

namespace arxhost::transport {

class RtuBackend final : public Backend {
public:
  explicit RtuBackend(RtuAddress address);

  BackendResult exchange(uint8_t unit, std::span<const uint8_t> pdu, bool wantReply) override;

private:
  BackendResult awaitReply(uint8_t unit);
  BackendResult broken(const std::string &what);
  void waitForQuietLine();

  RtuAddress address_;
  uint32_t silenceMs_; // the silent interval, whole milliseconds rounded up
  FileDescriptor line_;
  uint32_t quietFrom_ = 0; // tick from which the next request may be sent
};

} // namespace arxhost::transport
