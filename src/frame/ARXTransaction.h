// Object-protocol members of the exchange framework: the envelope
// transaction that engine selection recognises, and the request and
// response that carry one envelope each.
#pragma once

#include "frame/Transaction.h"
#include "messages/ENVLMessage.h"

namespace XLARX {

// A transaction whose requests are object-protocol requests in envelopes.
class ENVLTransaction : public XL::Transaction {
public:
  using XL::Transaction::Transaction;
};

class ARXRequest : public XL::Request {
public:
  explicit ARXRequest(arxmod::IRefPtr<arxmod::ENVLMessage> message)
      : message_(std::move(message)) {}
  const arxmod::IRefPtr<arxmod::ENVLMessage> &message() const { return message_; }

private:
  arxmod::IRefPtr<arxmod::ENVLMessage> message_;
};

class ARXResponse : public XL::Response {
public:
  ARXResponse(arxmod::IRefPtr<arxmod::ENVLMessage> message, XL::ResponseStatus responseStatus)
      : message_(std::move(message)) {
    status = responseStatus;
  }
  const arxmod::IRefPtr<arxmod::ENVLMessage> &message() const { return message_; }

private:
  arxmod::IRefPtr<arxmod::ENVLMessage> message_;
};

} // namespace XLARX
