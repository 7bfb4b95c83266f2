// Request items, their checks, and the responses a request makes.
#include "modbus/ModbusRequest.h"

#include "base/KSXmsg.h"
#include "map/ModbusFormatter.h"

#include <algorithm>

namespace XLARX {

using arxmod::IRefPtr;
using arxmod::KSXmsg;
using arxmod::makeRef;

namespace {

constexpr uint32_t kRegisterSpace = 65536; // registers 0 to 65535 of each class

uint16_t mostRegisters(const RequestItem &item, uint8_t registerClass) {
  if (item.isRead)
    return kMaxReadCount;
  return registerClass == 0 ? kMaxWriteCoils : kMaxWriteRegisters;
}

// A request must go out as one well-formed message: refuse a count the
// protocol cannot carry and registers past the end of the register space,
// rather than send a request the meter would have to reject.
void checkFits(const RequestItem &item, const RequestAddress &address) {
  const uint16_t count = item.numberOfRegisters;
  if (count < 1 || count > mostRegisters(item, address.reg.registerClass)) {
    const std::string where = item.isFileRecord ? "file " + std::to_string(item.fileNumber) +
                                                      " record " + std::to_string(item.recordNumber)
                                                : "Modbus Register Address '" + item.address + "'";
    throw KSXmsg("Invalid Number Of Registers " + std::to_string(count) + " for " + where);
  }
  if (item.isFileRecord)
    return;
  const uint32_t first =
      uint32_t{address.reg.offset} + static_cast<uint32_t>(std::max(address.position, int32_t{0}));
  if (first + count > kRegisterSpace)
    throw KSXmsg(invalidAddressText(item.address) + ": its " + std::to_string(count) +
                 " registers run past register 65535");
}

RequestItem itemAt(std::string_view address, int32_t format, uint16_t numberOfRegisters) {
  RequestItem item;
  item.address = address;
  item.format = format;
  item.numberOfRegisters = numberOfRegisters;
  return item;
}

std::string trimmedSpaces(const std::string &text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

const ModbusRequest &modbusRequest(const XL::Request &request) {
  const auto *modbus = dynamic_cast<const ModbusRequest *>(&request);
  if (!modbus)
    throw KSXmsg("Not modbus request");
  return *modbus;
}

} // namespace

RequestItem ModbusRequest::readItem(std::string_view address, int32_t format, uint32_t mask,
                                    uint16_t numberOfRegisters, bool notAvailableCheck,
                                    int32_t notAvailableValue) {
  RequestItem item = itemAt(address, format, numberOfRegisters);
  item.mask = mask;
  item.isRead = true;
  item.notAvailableCheck = notAvailableCheck;
  item.notAvailableValue = notAvailableValue;
  return item;
}

IRefPtr<ModbusRequest> ModbusRequest::read(std::string_view address, int32_t format, uint32_t mask,
                                           uint16_t numberOfRegisters, bool notAvailableCheck,
                                           int32_t notAvailableValue) {
  return makeRef<ModbusRequest>(
      readItem(address, format, mask, numberOfRegisters, notAvailableCheck, notAvailableValue),
      parseRequestAddress(address), false);
}

IRefPtr<ModbusRequest> ModbusRequest::numericWrite(std::string_view address, int32_t format,
                                                   uint32_t mask, double value,
                                                   uint16_t numberOfRegisters, bool configWrite) {
  RequestItem item = itemAt(address, format, numberOfRegisters);
  item.mask = mask;
  item.value = value;
  return makeRef<ModbusRequest>(std::move(item), parseRequestAddress(address), configWrite);
}

IRefPtr<ModbusRequest> ModbusRequest::textWrite(std::string_view address, int32_t format,
                                                std::string text, uint16_t numberOfRegisters,
                                                bool configWrite) {
  RequestItem item = itemAt(address, format, numberOfRegisters);
  item.text = std::move(text);
  return makeRef<ModbusRequest>(std::move(item), parseRequestAddress(address), configWrite);
}

IRefPtr<ModbusRequest> ModbusRequest::rawWrite(std::string_view address, int32_t format,
                                               std::span<const uint16_t> words, bool configWrite) {
  std::string text;
  text.reserve(2 * words.size());
  for (uint16_t word : words) {
    text.push_back(static_cast<char>(word & 0xFF));
    text.push_back(static_cast<char>(word >> 8));
  }
  // More words than a count can say are refused like any other oversized write.
  const auto count = static_cast<uint16_t>(std::min<size_t>(words.size(), 0xFFFF));
  return textWrite(address, format, std::move(text), count, configWrite);
}

IRefPtr<ModbusRequest> ModbusRequest::fileRecordRead(uint32_t fileNumber, uint32_t recordNumber,
                                                     uint16_t numberOfRegisters, uint32_t unit) {
  RequestItem item = itemAt({}, MBF_U16_21_ARRAY, numberOfRegisters);
  item.isRead = true;
  item.isFileRecord = true;
  item.fileNumber = fileNumber;
  item.recordNumber = recordNumber;
  RequestAddress address;
  address.unit = unit;
  return makeRef<ModbusRequest>(std::move(item), address, false);
}

ModbusRequest::ModbusRequest(RequestItem item, const RequestAddress &address, bool changesConfig)
    : registerClass(address.reg.registerClass), registerOffset(address.reg.offset),
      unit(address.unit), position(address.position), configWrite(changesConfig),
      item_(std::move(item)) {
  checkFits(item_, address);
}

std::vector<uint16_t> ModbusRequest::encodeRegisters() const {
  std::vector<uint16_t> registers(item_.numberOfRegisters);
  ModbusConversion conversion;
  conversion.format = static_cast<uint32_t>(item_.format);
  conversion.mask = item_.mask;
  conversion.number = item_.value;
  conversion.text = item_.text;
  if (!ModbusFormatter::instance().encode(conversion, registers))
    throw KSXmsg("Unsupported Modbus conversion");
  return registers;
}

IRefPtr<ModbusResponse> ModbusRequest::makeValueResponse(double value) const {
  auto response = makeRef<ModbusResponse>();
  response->format = item_.format;
  response->value = value;
  return response;
}

IRefPtr<ModbusResponse> ModbusRequest::makeErrorResponse(uint32_t code) const {
  IRefPtr<ModbusResponse> response = makeValueResponse(-1.0);
  response->errorCode = code;
  return response;
}

IRefPtr<ModbusResponse>
ModbusRequest::makeDecodedResponse(std::span<const uint16_t> registers) const {
  ModbusConversion conversion;
  conversion.format = static_cast<uint32_t>(item_.format);
  conversion.mask = item_.mask;
  conversion.notAvailableCheck = item_.notAvailableCheck;
  conversion.notAvailableValue = item_.notAvailableValue;
  if (!ModbusFormatter::instance().decode(registers, item_.numberOfRegisters, conversion))
    throw KSXmsg("Unsupported Modbus conversion");
  if (!conversion.available)
    return makeErrorResponse(kModbusNotAvailable);
  if (conversion.kind == ConversionKind::Number)
    return makeValueResponse(conversion.number);
  IRefPtr<ModbusResponse> response = makeValueResponse(0.0);
  response->kind = ResponseKind::Text;
  const bool trimmed = item_.format == MBF_ASCII || item_.format == MBF_ASCII_Reverse;
  response->text = trimmed ? trimmedSpaces(conversion.text) : std::move(conversion.text);
  return response;
}

bool isWrite(const XL::Request &request) { return modbusRequest(request).isWrite(); }

bool isConfigWrite(const XL::Request &request) {
  const ModbusRequest &modbus = modbusRequest(request);
  return modbus.isWrite() && modbus.configWrite;
}

} // namespace XLARX
