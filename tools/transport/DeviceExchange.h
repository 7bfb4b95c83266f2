// DeviceExchange: the exchange callback a host passes to Process for one
// device, carrying each Modbus request of the plug-in to the device's port.
//
// For every packet: the request PDU is the packet's data; the unit is the
// packet's requestParameter when it is not 0, else the device's unit. The
// reply goes back as a copy of the request packet holding the reply PDU with
// status 0. A timeout, a broken connection and a packet that wants no reply
// give reply length 0; a garbled reply (bad framing, CRC or unit) and a
// request that cannot be sent (no unit of that number, no PDU, more than 253
// bytes) give a bad-packet reply (status 1, no data).
//
//   auto exchange = openDeviceExchange({"Port1", "tcp://10.0.0.5:502", 1});
//   Process(exchange->context(), request, n, answer, &length, exchange->callback());
#pragma once

#include "transport/Port.h"

#include <arxmod/plugin.h>

#include <cstdint>
#include <memory>
#include <string>

namespace arxhost::transport {

// What the host database says about reaching a device.
struct DeviceLink {
  std::string port;       // Port.Name
  std::string connection; // Port.Connection
  int64_t unit = 1;       // Device.Unit
};

class DeviceExchange {
public:
  DeviceExchange(std::shared_ptr<Port> port, uint8_t unit);
  ~DeviceExchange();
  DeviceExchange(const DeviceExchange &) = delete;
  DeviceExchange &operator=(const DeviceExchange &) = delete;

  uint32_t context() const { return context_; }
  ArxExchangeCallback callback() const;

  // Why the last exchange gave no reply or a bad packet; empty after a reply.
  std::string lastFailure() const;

  struct State;

private:
  std::shared_ptr<State> state_;
  uint32_t context_;
};

// The exchange for a device of the host database; ConnectionError names the
// port and what is wrong with its connection text or the device's unit.
std::unique_ptr<DeviceExchange> openDeviceExchange(const DeviceLink &link,
                                                   PortPool &pool = PortPool::shared());

} // namespace arxhost::transport
