// The generic exchange framework: engines process transactions, which hold
// requests and, index for index, their responses.
//
// A transaction may have a parent: the sub-transactions that a translator
// builds for device traffic serve the transaction of the Process call and
// take its device, translator and protocol from it.
#pragma once

#include "base/RefBase.h"
#include "frame/ResponseStatus.h"

#include <cstdint>
#include <string>
#include <vector>

namespace XL {

class Transaction;

class Engine : public arxmod::RefBase {
public:
  virtual bool process(Transaction &transaction) = 0;
};

class Request : public arxmod::RefBase {};

class Response : public arxmod::RefBase {
public:
  ResponseStatus status = ResponseBadPacket;
};

class Transaction : public arxmod::RefBase {
public:
  Transaction() = default;
  explicit Transaction(arxmod::IRefPtr<Transaction> parent) : parent_(std::move(parent)) {}

  virtual uint32_t deviceId() const;
  virtual std::string deviceType() const;
  virtual uint16_t protocolId() const;
  virtual uint16_t translatorId() const;
  virtual std::string translatorName() const;
  // Appends a non-empty request with an empty response slot; ignores an empty one.
  virtual void addRequest(arxmod::IRefPtr<Request> request);
  // Stores (or, with an empty response, clears) the response of request `index`.
  virtual void setResponse(size_t index, arxmod::IRefPtr<Response> response);

  // The transaction at the root of the parent chain.
  const Transaction &origin() const;
  Transaction &origin();

  const std::vector<arxmod::IRefPtr<Request>> &requests() const { return requests_; }
  const std::vector<arxmod::IRefPtr<Response>> &responses() const { return responses_; }
  const arxmod::IRefPtr<Transaction> &parent() const { return parent_; }

  bool closed() const { return closed_; }
  void close() { closed_ = true; }

private:
  bool closed_ = false; // set by a transaction that must not take further requests
  std::vector<arxmod::IRefPtr<Request>> requests_;
  std::vector<arxmod::IRefPtr<Response>> responses_; // always as long as requests_
  arxmod::IRefPtr<Transaction> parent_;
};

// A transaction whose requests go to the device one after another as byte
// strings, through the exchange callback of the Process call.
class SerialTransaction : public Transaction {
public:
  using Transaction::Transaction;

  // The bytes of request `index`; false when there are none to send.
  virtual bool requestBytes(size_t index, std::vector<uint8_t> &bytes) = 0;
  // Takes the device's reply (or only a status) for request `index`.
  virtual bool deliver(size_t index, ResponseStatus status, const uint8_t *bytes,
                       size_t length) = 0;
  // Count of byte strings to send; may differ from the number of requests.
  virtual size_t requestCount() const = 0;
  virtual bool noReplyAtAll() const { return false; }
  virtual bool noReply(size_t /*index*/) const { return false; }
  virtual uint32_t requestParameter(size_t /*index*/) const { return 0; }
  virtual uint32_t noReplyDeviceId() const { return 0; }
};

} // namespace XL
