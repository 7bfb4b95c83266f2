// Default behaviour of transactions: device, type and translator come from
// the parent; a transaction without one cannot name them.
#include "frame/Transaction.h"

#include "base/KSXmsg.h"
#include "frame/TranslatorTable.h"

namespace XL {

using arxmod::KSXmsg;

uint32_t Transaction::deviceId() const {
  if (!parent_)
    throw KSXmsg("Device ID unavailable");
  return parent_->deviceId();
}

std::string Transaction::deviceType() const {
  if (!parent_)
    throw KSXmsg("Device Type unavailable");
  return parent_->deviceType();
}

uint16_t Transaction::protocolId() const {
  return arxmod::TranslatorTable::instance().protocolId(translatorId());
}

uint16_t Transaction::translatorId() const {
  if (!parent_)
    throw KSXmsg("TranslatorID unavailable");
  return parent_->translatorId();
}

std::string Transaction::translatorName() const {
  if (!parent_)
    throw KSXmsg("TranslatorName unavailable");
  return parent_->translatorName();
}

void Transaction::addRequest(arxmod::IRefPtr<Request> request) {
  if (!request)
    return;
  requests_.push_back(std::move(request));
  responses_.emplace_back();
}

void Transaction::setResponse(size_t index, arxmod::IRefPtr<Response> response) {
  if (index >= responses_.size())
    throw KSXmsg("Response index out of range");
  responses_[index] = std::move(response);
}

const Transaction &Transaction::origin() const {
  const Transaction *t = this;
  while (t->parent_)
    t = t->parent_.get();
  return *t;
}

Transaction &Transaction::origin() {
  return const_cast<Transaction &>(static_cast<const Transaction *>(this)->origin());
}

} // namespace XL
