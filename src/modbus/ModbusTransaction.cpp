// Creation, sending and delivery of a Modbus transaction's messages.
#include "modbus/ModbusTransaction.h"

#include "base/KSXmsg.h"
#include "modbus/ModbusTrace.h"

namespace XLARX {

using arxmod::IRefPtr;
using arxmod::KSXmsg;

ModbusTransaction::ModbusTransaction(IRefPtr<XL::Transaction> parent,
                                     IRefPtr<arxmod::TransactionConfig> config)
    : XL::SerialTransaction(std::move(parent)), placement_(std::move(config)) {}

IRefPtr<ModbusRequest> ModbusTransaction::createRead(std::string_view address, int32_t format,
                                                     uint32_t mask, uint16_t numberOfRegisters,
                                                     bool notAvailableCheck,
                                                     int32_t notAvailableValue) {
  auto request = ModbusRequest::read(address, format, mask, numberOfRegisters, notAvailableCheck,
                                     notAvailableValue);
  addRequest(request);
  return request;
}

IRefPtr<ModbusRequest> ModbusTransaction::createWrite(std::string_view address, int32_t format,
                                                      uint32_t mask, double value,
                                                      uint16_t numberOfRegisters,
                                                      bool configWrite) {
  auto request =
      ModbusRequest::numericWrite(address, format, mask, value, numberOfRegisters, configWrite);
  addRequest(request);
  return request;
}

IRefPtr<ModbusRequest> ModbusTransaction::createTextWrite(std::string_view address, int32_t format,
                                                          std::string text,
                                                          uint16_t numberOfRegisters,
                                                          bool configWrite) {
  auto request =
      ModbusRequest::textWrite(address, format, std::move(text), numberOfRegisters, configWrite);
  addRequest(request);
  return request;
}

IRefPtr<ModbusRequest> ModbusTransaction::createRawWrite(std::string_view address, int32_t format,
                                                         std::span<const uint16_t> words,
                                                         bool configWrite) {
  auto request = ModbusRequest::rawWrite(address, format, words, configWrite);
  addRequest(request);
  return request;
}

IRefPtr<ModbusRequest> ModbusTransaction::createFileRecordRead(uint32_t fileNumber,
                                                               uint32_t recordNumber,
                                                               uint16_t numberOfRegisters,
                                                               uint32_t unit) {
  auto request = ModbusRequest::fileRecordRead(fileNumber, recordNumber, numberOfRegisters, unit);
  addRequest(request);
  return request;
}

void ModbusTransaction::addRequest(IRefPtr<XL::Request> request) {
  if (!request)
    return;
  auto *modbus = dynamic_cast<ModbusRequest *>(request.get());
  if (!modbus)
    throw KSXmsg("Not a Modbus request");
  const bool write = placement_.place(*modbus, requests().size());
  collected_.emplace_back(modbus->scattered ? modbus->item().numberOfRegisters : 0);
  answered_.push_back(false);
  XL::SerialTransaction::addRequest(std::move(request));
  if (write)
    close(); // a write goes out in this pass, alone
}

const MessageItem &ModbusTransaction::itemAt(size_t index) const {
  if (index >= placement_.items().size())
    throw KSXmsg("Invalid Modbus transaction index");
  return placement_.items()[index];
}

const ModbusRequest &ModbusTransaction::request(size_t index) const {
  return static_cast<const ModbusRequest &>(*requests().at(index));
}

uint32_t ModbusTransaction::requestParameter(size_t index) const { return itemAt(index).unit; }

bool ModbusTransaction::mayMerge(size_t index, const ModbusRequest &request) const {
  return placement_.mayMerge(itemAt(index), request);
}

bool ModbusTransaction::liesInDatasetBlock(const ModbusRequest &request) const {
  return placement_.liesInDatasetBlock(request);
}

std::vector<PlannedMessage> ModbusTransaction::plan() const {
  std::vector<const ModbusRequest *> all;
  all.reserve(requests().size());
  for (size_t i = 0; i < requests().size(); ++i)
    all.push_back(&request(i));
  return planMessages(placement_, all);
}

bool ModbusTransaction::traces(uint32_t flag) const {
  const arxmod::TransactionConfig *config = placement_.config();
  return config && (config->diagnosticFlags & flag);
}

void ModbusTransaction::tracePacketIfOn(std::string_view tag,
                                        std::span<const uint8_t> bytes) const {
  if (traces(kPacketTraceFlag))
    tracePacket(deviceId(), tag, bytes);
}

void ModbusTransaction::rejectReply(const std::string &text, std::span<const uint8_t> bytes) const {
  tracePacketIfOn(text, bytes);
  throw KSXmsg(text);
}

bool ModbusTransaction::requestBytes(size_t index, std::vector<uint8_t> &bytes) {
  bytes = buildRequestPdu(itemAt(index).message);
  tracePacketIfOn("TX", bytes);
  return true;
}

bool ModbusTransaction::deliver(size_t index, XL::ResponseStatus status, const uint8_t *bytes,
                                size_t length) {
  const MessageItem &item = itemAt(index);
  const std::span<const uint8_t> reply(bytes, bytes ? length : 0);
  const uint32_t sequence = nextReplySequence();
  if (status != XL::ResponseOkay) {
    tracePacketIfOn(XL::responseStatusText(status), reply);
    answerRequests(item, status, nullptr, sequence);
    return true;
  }
  const ModbusReply decoded = decodeReply(reply);
  switch (checkReply(decoded, item.message)) {
  case ReplyMatch::WrongFunction:
    rejectReply("Mismatched Modbus function class", reply);
  case ReplyMatch::WrongTransmission:
    rejectReply("Mismatched Modbus scattered read transmission number", reply);
  case ReplyMatch::WrongQuantity:
    throw KSXmsg(couldNotDecodeText(reply));
  case ReplyMatch::Matches:
    break;
  }
  if (decoded.exception) {
    tracePacketIfOn(modbusException(*decoded.exception).rxText, reply);
  } else {
    if (item.message.kind == MessageKind::ScatteredRead)
      collectScattered(item, decoded);
    tracePacketIfOn("RX", reply);
  }
  answerRequests(item, status, &decoded, sequence);
  return true;
}

void ModbusTransaction::collectScattered(const MessageItem &item, const ModbusReply &reply) {
  const std::vector<uint16_t> &addresses = item.message.data;
  for (size_t i = 0; i < requests().size(); ++i) {
    const ModbusRequest &scattered = request(i);
    if (!scattered.scattered || scattered.unit != item.unit)
      continue;
    Collected &collected = collected_[i];
    for (size_t k = 0; k < addresses.size() && k < reply.registers.size(); ++k) {
      if (addresses[k] < scattered.registerOffset || addresses[k] > scattered.lastRegister())
        continue;
      const size_t at = addresses[k] - scattered.registerOffset;
      collected.registers[at] = reply.registers[k];
      if (!collected.have[at]) {
        collected.have[at] = true;
        --collected.missing;
      }
    }
  }
}

void ModbusTransaction::answerRequests(const MessageItem &item, XL::ResponseStatus status,
                                       const ModbusReply *reply, uint32_t sequence) {
  for (size_t i = requests().size(); i-- > 0;) {
    if (answered_[i] || !placement_.answers(item, request(i), i))
      continue;
    IRefPtr<ModbusResponse> response = responseFor(item, i, reply, sequence);
    if (!response)
      continue; // a scattered read still waiting for registers
    response->status = status;
    setResponse(i, response);
    answered_[i] = true;
  }
}

IRefPtr<ModbusResponse> ModbusTransaction::responseFor(const MessageItem &item, size_t index,
                                                       const ModbusReply *reply,
                                                       uint32_t sequence) {
  const ModbusRequest &answered = request(index);
  if (!reply)
    return answered.makeErrorResponse(kModbusErrorBase);
  if (reply->exception)
    return answered.makeErrorResponse(kModbusErrorBase + *reply->exception);
  if (answered.isWrite())
    return answered.makeValueResponse(1.0);
  if (answered.item().isFileRecord)
    return answered.makeDecodedResponse(reply->registers);

  std::span<const uint16_t> registers;
  std::span<const uint16_t> collected;
  if (answered.scattered) {
    if (collected_[index].missing)
      return {};
    registers = collected = collected_[index].registers;
  } else {
    const size_t at = answered.position >= 0 ? static_cast<size_t>(answered.position)
                                             : size_t{answered.registerOffset} - item.message.start;
    const size_t count = answered.item().numberOfRegisters;
    if (at + count > reply->registers.size())
      return {}; // never, once the reply's quantity matched the message
    registers = std::span(reply->registers).subspan(at, count);
  }
  IRefPtr<ModbusResponse> response = answered.makeDecodedResponse(registers);
  if (traces(kValueTraceFlag))
    traceValue(deviceId(), answered, *response, collected, sequence);
  return response;
}

} // namespace XLARX
