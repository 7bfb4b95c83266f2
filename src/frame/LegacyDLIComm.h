// LegacyDLIComm: the engine of serial transactions. It sends each byte
// string of the transaction to the device through the host's exchange
// callback, wrapped in a copy of the Process call's packet, and delivers
// each reply back to the transaction.
//
// Once an exchange times out or finds the site unreachable, later requests
// that want a reply are not sent: they are delivered with that same status.
// A bad packet does not stop later requests.
#pragma once

#include "frame/Transaction.h"

namespace arxmod {

class LegacyDLITransaction;

class LegacyDLIComm : public XL::Engine {
public:
  bool process(XL::Transaction &transaction) override;
};

// One device exchange: the reply (copied) and its status. Exposed for tests.
struct ExchangeResult {
  XL::ResponseStatus status = XL::ResponseNone;
  std::vector<uint8_t> reply;
};
struct ExchangeAddressing {
  uint16_t deviceId = 0;
  uint32_t requestParameter = 0;
  uint16_t protocolId = 0;
  bool noReplyAtAll = false;
  bool wantsReply = true;
};
ExchangeResult exchangeOnce(const LegacyDLITransaction &origin, const ExchangeAddressing &to,
                            const std::vector<uint8_t> &requestBytes);

} // namespace arxmod
