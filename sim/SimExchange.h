// SimExchange: puts a SimulatedMeter behind the exchange callback that a host
// passes to Process, so tests (and a host without a real meter) can let the
// plug-in talk to the simulated meter.
//
// Each packet the plug-in sends carries a request PDU; the unit is the
// packet's requestParameter, or the default unit when that is 0. The reply
// goes back as a copy of the request packet carrying the reply PDU with
// status 0. No reply (a unit that does not answer, a delay longer than the
// reply timeout, a packet that wants no reply) gives reply length 0; a
// requestParameter above 255 cannot name a unit and gets a bad-packet reply
// (status 1, no data).
//
//   SimulatedMeter meter;
//   SimExchange exchange(meter, 1);
//   Process(exchange.context(), request, n, answer, &length, SimExchange::callback());
#pragma once

#include "sim/SimulatedMeter.h"

#include <arxmod/plugin.h>

#include <chrono>
#include <cstdint>
#include <memory>

namespace arxmod::sim {

class SimExchange {
public:
  SimExchange(SimulatedMeter &meter, uint8_t defaultUnit,
              std::chrono::milliseconds replyTimeout = std::chrono::milliseconds(1000));
  ~SimExchange();
  SimExchange(const SimExchange &) = delete;
  SimExchange &operator=(const SimExchange &) = delete;

  // The context value that routes callback() calls to this exchange.
  uint32_t context() const { return context_; }
  static ArxExchangeCallback callback();

  struct Link;

private:
  std::shared_ptr<Link> link_;
  uint32_t context_;
};

} // namespace arxmod::sim
