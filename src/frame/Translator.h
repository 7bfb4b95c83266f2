// XL::Translator: the generic translator engine and its pass loop.
//
// One incoming transaction is turned into as many passes of device traffic
// as it needs. Each pass prepares every request that is not yet handled,
// then the empty request (end of pass); preparation collects device work in
// a sub-transaction, which is sent, and whose responses are distributed back
// to the requests. A pass that builds no sub-transaction ends the loop, and
// the responses are made.
//
//   process: begin -> exchange (passes) -> afterExchange -> respond -> end
#pragma once

#include "frame/Transaction.h"

#include <unordered_set>

namespace XL {

class Translator : public Engine {
public:
  // The most passes one transaction may take. A real program needs a few
  // (a read, a masked write's read and write, a reset's checks); a level
  // that keeps adding device work would otherwise hang the Process call.
  static constexpr unsigned kMaxPasses = 1000;

  bool process(Transaction &transaction) override;

  virtual void begin(Transaction &transaction);
  virtual void exchange(Transaction &transaction);
  virtual void afterExchange(Transaction & /*transaction*/) {}
  virtual void respond(Transaction &transaction);
  virtual void end(Transaction & /*transaction*/) {}
  // Adds the device work of `request` (empty: end of pass) to `subTransaction`,
  // creating it on first need with `transaction` as parent.
  virtual void prepare(const arxmod::IRefPtr<Request> &request, Transaction &transaction,
                       arxmod::IRefPtr<Transaction> &subTransaction) = 0;
  virtual void distribute(Transaction &subTransaction, Transaction &transaction);
  virtual void handleResponse(const arxmod::IRefPtr<Request> &request,
                              const arxmod::IRefPtr<Response> &response) = 0;
  virtual arxmod::IRefPtr<Response> makeResponse(const arxmod::IRefPtr<Request> &request) = 0;
  virtual bool isHandled(const arxmod::IRefPtr<Request> &request) const;
  virtual void markHandled(const arxmod::IRefPtr<Request> &request);

private:
  // Prepares the unhandled requests of one pass; none when no device work is left.
  arxmod::IRefPtr<Transaction> buildSubTransaction(Transaction &transaction);

  std::unordered_set<const Request *> handled_; // nullptr stands for the empty request
};

} // namespace XL
