// XLARX::ModbusRequest: one register read or write that a translator hands
// to a Modbus transaction, and the request item that describes it.
//
// The item is also the key under which a translator finds the reply again
// (two requests for equal items are answered alike), so it holds every
// field that makes two requests different, and nothing else. Requests are
// made through the creation operations of ModbusTransaction, which check
// them before placing them in messages:
//
//   IRefPtr<ModbusRequest> r = transaction->createRead("400101", MBF_U32_4321, 0xFFFFFFFF, 2,
//                                                      false, -1);
//   ... after the exchange:
//   auto response = refCast<ModbusResponse>(transaction->responses()[0]);
#pragma once

#include "base/RefBase.h"
#include "frame/Transaction.h"
#include "modbus/ModbusResponse.h"
#include "modbus/RequestAddress.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace XLARX {

struct RequestItem {
  std::string address; // the address text as given ("2:400101p3"); empty for file records
  int32_t format = -1; // register format code (ModbusFormat.h)
  uint32_t mask = 0xFFFFFFFF;
  double value = -1.0; // numeric writes: the value to write; -1 when none
  std::string text;    // text and raw writes: the bytes to write
  bool isRead = false;
  bool isFileRecord = false;
  uint16_t numberOfRegisters = 0;
  bool notAvailableCheck = false;
  int32_t notAvailableValue = -1;
  uint32_t fileNumber = 0;   // file record reads
  uint32_t recordNumber = 0; // file record reads
  // The reset check item of the Modbus translator: the check register's
  // address as a number and the value that confirms a reset.
  double checkRegister = 0.0;
  double checkValue = 0.0;
  friend bool operator==(const RequestItem &, const RequestItem &) = default;
};

// Hashes the address text alone: items of one address are few.
struct RequestItemHash {
  size_t operator()(const RequestItem &item) const noexcept {
    return std::hash<std::string>{}(item.address);
  }
};

// Most registers (or coils) one message may read: 125 (0x7D), the limit of
// functions 3 and 4 in the public Modbus Application Protocol, which bit
// reads share here.
inline constexpr uint16_t kMaxReadCount = 125;
// Most registers one write carries: 123 (0x7B) for function 16, 1968
// (0x7B0) coils for function 15, so that the request fits a 253-byte PDU.
inline constexpr uint16_t kMaxWriteRegisters = 123;
inline constexpr uint16_t kMaxWriteCoils = 1968;

class ModbusRequest : public XL::Request {
public:
  // The five kinds of requests. Each raises KSXmsg for an address the
  // syntax refuses, a register count outside what one message can carry
  // (1 to 125 read, 1 to 123 registers or 1968 coils written), or registers
  // (from the position, for dataset block members) past register 65535.
  static arxmod::IRefPtr<ModbusRequest> read(std::string_view address, int32_t format,
                                             uint32_t mask, uint16_t numberOfRegisters,
                                             bool notAvailableCheck, int32_t notAvailableValue);
  static arxmod::IRefPtr<ModbusRequest> numericWrite(std::string_view address, int32_t format,
                                                     uint32_t mask, double value,
                                                     uint16_t numberOfRegisters, bool configWrite);
  static arxmod::IRefPtr<ModbusRequest> textWrite(std::string_view address, int32_t format,
                                                  std::string text, uint16_t numberOfRegisters,
                                                  bool configWrite);
  // The words become a text of two bytes per word, low byte first, written
  // with `format` (format 30 sends the words unchanged).
  static arxmod::IRefPtr<ModbusRequest> rawWrite(std::string_view address, int32_t format,
                                                 std::span<const uint16_t> words, bool configWrite);
  static arxmod::IRefPtr<ModbusRequest> fileRecordRead(uint32_t fileNumber, uint32_t recordNumber,
                                                       uint16_t numberOfRegisters, uint32_t unit);
  // The item a read with these fields has: the key its reply is found
  // under again.
  static RequestItem readItem(std::string_view address, int32_t format, uint32_t mask,
                              uint16_t numberOfRegisters, bool notAvailableCheck,
                              int32_t notAvailableValue);

  ModbusRequest(RequestItem item, const RequestAddress &address, bool changesConfig);

  const RequestItem &item() const { return item_; }
  bool isWrite() const { return !item_.isRead; }
  // The registers the request reads or writes: [offset, lastRegister()].
  uint32_t lastRegister() const { return uint32_t{registerOffset} + item_.numberOfRegisters - 1; }

  // The registers a write sends: its value or text encoded by its format
  // into numberOfRegisters registers. Raises "Unsupported Modbus
  // conversion" for a format that cannot be written.
  std::vector<uint16_t> encodeRegisters() const;

  virtual arxmod::IRefPtr<ModbusResponse> makeValueResponse(double value) const;
  // An error response: `code`, value -1.
  virtual arxmod::IRefPtr<ModbusResponse> makeErrorResponse(uint32_t code) const;
  // Decodes `registers` by the item's format, mask, count and not-available
  // settings. Raises "Unsupported Modbus conversion" for a format without
  // decoding; the not-available marker gives kModbusNotAvailable.
  virtual arxmod::IRefPtr<ModbusResponse>
  makeDecodedResponse(std::span<const uint16_t> registers) const;

  const uint16_t registerClass; // 0 coils, 1 discrete inputs, 3 input, 4 holding registers
  const uint16_t registerOffset;
  const uint32_t unit;
  const int32_t position; // dataset block members: registers after the block's start; else -1
  const bool configWrite; // a write that changes the device's configuration
  bool scattered = false; // set when the request is placed in a scattered read

private:
  RequestItem item_;
};

// Whether `request` is a write, and a configuration write; both raise
// KSXmsg "Not modbus request" for a request of another kind.
bool isWrite(const XL::Request &request);
bool isConfigWrite(const XL::Request &request);

} // namespace XLARX
