// SerialLine: opens a serial device non-blocking in raw mode with the speed,
// parity, data and stop bits of an RTU connection.
#pragma once

#include "transport/ConnectionText.h"
#include "transport/Io.h"

namespace arxhost::transport {

// The open line, or an invalid descriptor and the reason in `error`.
FileDescriptor openSerialLine(const RtuAddress &address, std::string &error);

} // namespace arxhost::transport
