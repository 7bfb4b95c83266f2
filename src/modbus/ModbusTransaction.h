// XLARX::ModbusTransaction: the serial transaction that carries a
// translator's register reads and writes to a Modbus meter.
//
// A translator makes requests with the creation operations; the transaction
// places them in messages (MessagePlacement.h), hands each message out as a
// request PDU, and turns each reply into ModbusResponses for the requests it
// answers. LegacyDLIComm sends the messages:
//
//   auto transaction = makeRef<ModbusTransaction>(parent, map->transactionConfig());
//   auto power = transaction->createRead("400101", MBF_F32_4321, 0xFFFFFFFF, 2, false, -1);
//   LegacyDLIComm().process(*transaction);
//   auto response = refCast<ModbusResponse>(transaction->responses()[0]); // may be empty
//
// Delivering a reply for a message:
//  1. A good reply is decoded (ModbusReply.h) and must answer the message:
//     the same function code ("Mismatched Modbus function class"), for a
//     scattered read the same transmission number ("Mismatched Modbus
//     scattered read transmission number"), and the quantities sent (else
//     it cannot be decoded). A mismatch is traced and raised; the registers
//     of a scattered read go to every scattered request of the unit that
//     reads them.
//  2. Every request that has no response yet and that the message answers
//     (MessagePlacement::answers) gets one, from the last to the first:
//     no good reply: an error response kModbusErrorBase; an exception:
//     kModbusErrorBase + its code; a write: the value 1; a scattered read
//     once all its registers are collected, and any other read at once: its
//     registers decoded. Each gets the delivered status.
// A request that no reply answered keeps an empty response.
#pragma once

#include "frame/Transaction.h"
#include "map/TransactionConfig.h"
#include "modbus/MessagePlacement.h"
#include "modbus/MessagePlan.h"
#include "modbus/ModbusReply.h"
#include "modbus/ModbusRequest.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace XLARX {

class ModbusTransaction : public XL::SerialTransaction {
public:
  // `config` is the map's TransactionConfig, or empty.
  ModbusTransaction(arxmod::IRefPtr<XL::Transaction> parent,
                    arxmod::IRefPtr<arxmod::TransactionConfig> config);

  // The creation operations: each makes a request (ModbusRequest.h says
  // which checks may refuse it), adds it, and returns it. A write closes
  // the transaction.
  arxmod::IRefPtr<ModbusRequest> createRead(std::string_view address, int32_t format, uint32_t mask,
                                            uint16_t numberOfRegisters, bool notAvailableCheck,
                                            int32_t notAvailableValue);
  arxmod::IRefPtr<ModbusRequest> createWrite(std::string_view address, int32_t format,
                                             uint32_t mask, double value,
                                             uint16_t numberOfRegisters, bool configWrite);
  arxmod::IRefPtr<ModbusRequest> createTextWrite(std::string_view address, int32_t format,
                                                 std::string text, uint16_t numberOfRegisters,
                                                 bool configWrite);
  arxmod::IRefPtr<ModbusRequest> createRawWrite(std::string_view address, int32_t format,
                                                std::span<const uint16_t> words, bool configWrite);
  arxmod::IRefPtr<ModbusRequest> createFileRecordRead(uint32_t fileNumber, uint32_t recordNumber,
                                                      uint16_t numberOfRegisters, uint32_t unit);

  // Raises "Not a Modbus request" for a request of another kind; otherwise
  // places it in messages and appends it. An empty request is ignored.
  void addRequest(arxmod::IRefPtr<XL::Request> request) override;
  // The PDU of message `index`, traced "TX". Raises "Invalid Modbus
  // transaction index" and "Could not build Modbus packet".
  bool requestBytes(size_t index, std::vector<uint8_t> &bytes) override;
  bool deliver(size_t index, XL::ResponseStatus status, const uint8_t *bytes,
               size_t length) override;
  // The number of messages (not of requests).
  size_t requestCount() const override { return placement_.items().size(); }
  // The unit of message `index`.
  uint32_t requestParameter(size_t index) const override;

  // Whether `request` may be merged into the open read message `index`.
  bool mayMerge(size_t index, const ModbusRequest &request) const;
  bool liesInDatasetBlock(const ModbusRequest &request) const;

  const std::vector<MessageItem> &messages() const { return placement_.items(); }
  const ModbusRequest &request(size_t index) const;
  // The messages with the requests each answers and why each ends there.
  std::vector<PlannedMessage> plan() const;

private:
  // Registers collected for a scattered request from the replies so far.
  struct Collected {
    explicit Collected(size_t count) : registers(count), have(count), missing(count) {}
    std::vector<uint16_t> registers;
    std::vector<bool> have;
    size_t missing;
  };

  const MessageItem &itemAt(size_t index) const;
  bool traces(uint32_t flag) const;
  void tracePacketIfOn(std::string_view tag, std::span<const uint8_t> bytes) const;
  [[noreturn]] void rejectReply(const std::string &text, std::span<const uint8_t> bytes) const;
  void collectScattered(const MessageItem &item, const ModbusReply &reply);
  void answerRequests(const MessageItem &item, XL::ResponseStatus status, const ModbusReply *reply,
                      uint32_t sequence);
  arxmod::IRefPtr<ModbusResponse> responseFor(const MessageItem &item, size_t index,
                                              const ModbusReply *reply, uint32_t sequence);

  MessagePlacement placement_;
  std::vector<Collected> collected_; // per request index; empty for requests not scattered
  std::vector<bool> answered_;       // per request index: its response is set
};

} // namespace XLARX
