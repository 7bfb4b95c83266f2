// The pass loop of the generic translator engine.
#include "frame/Translator.h"

#include "base/KSXmsg.h"
#include "frame/EngineSelection.h"

#include <string>

namespace XL {

using arxmod::IRefPtr;

bool Translator::process(Transaction &transaction) {
  begin(transaction);
  exchange(transaction);
  afterExchange(transaction);
  respond(transaction);
  end(transaction);
  return true;
}

void Translator::begin(Transaction & /*transaction*/) { handled_.clear(); }

void Translator::exchange(Transaction &transaction) {
  unsigned passes = 0;
  while (IRefPtr<Transaction> sub = buildSubTransaction(transaction)) {
    if (++passes > kMaxPasses)
      throw arxmod::KSXmsg("Translator stopped after " + std::to_string(kMaxPasses) +
                           " passes of device traffic for device " +
                           std::to_string(transaction.deviceId()) +
                           ": a request kept asking for more");
    IRefPtr<Engine> engine = arxmod::selectEngine(*sub);
    engine->process(*sub);
    distribute(*sub, transaction);
  }
}

IRefPtr<Transaction> Translator::buildSubTransaction(Transaction &transaction) {
  IRefPtr<Transaction> sub;
  const size_t count = transaction.requests().size();
  for (size_t i = 0; i <= count; ++i) {
    // Index `count` visits the empty request, which marks the end of the pass.
    IRefPtr<Request> request = i < count ? transaction.requests()[i] : IRefPtr<Request>();
    if (!isHandled(request))
      prepare(request, transaction, sub);
    if (sub && sub->closed())
      return sub;
  }
  return sub;
}

void Translator::distribute(Transaction &subTransaction, Transaction & /*transaction*/) {
  const auto &requests = subTransaction.requests();
  const auto &responses = subTransaction.responses();
  for (size_t i = 0; i < requests.size(); ++i)
    if (requests[i])
      handleResponse(requests[i], responses[i]);
}

void Translator::respond(Transaction &transaction) {
  const auto &requests = transaction.requests();
  for (size_t i = 0; i < requests.size(); ++i)
    if (IRefPtr<Response> response = makeResponse(requests[i]))
      transaction.setResponse(i, std::move(response));
}

bool Translator::isHandled(const IRefPtr<Request> &request) const {
  return handled_.contains(request.get());
}

void Translator::markHandled(const IRefPtr<Request> &request) { handled_.insert(request.get()); }

} // namespace XL
