// Modbus function codes, exception codes and protocol limits the simulated
// meter answers with. Limits are those of the public Modbus Application
// Protocol specification (V1.1b3); the arithmetic behind each is shown.
#pragma once

#include <cstddef>
#include <cstdint>

namespace arxmod::sim {

// The four data tables of a Modbus unit, plus the file records of function 20.
enum class Table : uint8_t { Coils, DiscreteInputs, InputRegisters, HoldingRegisters, FileRecords };

namespace fc {
constexpr uint8_t kReadCoils = 1;
constexpr uint8_t kReadDiscreteInputs = 2;
constexpr uint8_t kReadHoldingRegisters = 3;
constexpr uint8_t kReadInputRegisters = 4;
constexpr uint8_t kWriteSingleCoil = 5;
constexpr uint8_t kWriteSingleRegister = 6;
constexpr uint8_t kWriteMultipleCoils = 15;
constexpr uint8_t kWriteMultipleRegisters = 16;
constexpr uint8_t kReadFileRecord = 20;
constexpr uint8_t kScatteredRead = 100; // the meter's read of listed holding registers
constexpr uint8_t kExceptionBit = 0x80; // added to the function code of an exception reply
} // namespace fc

namespace ex {
constexpr uint8_t kIllegalFunction = 1;
constexpr uint8_t kIllegalDataAddress = 2;
constexpr uint8_t kIllegalDataValue = 3;
constexpr uint8_t kServerDeviceFailure = 4;
} // namespace ex

// RS-485 ADU of 256 bytes = address 1 + PDU + CRC 2, so a PDU holds at most
// 253 bytes; Modbus TCP keeps the same limit.
constexpr size_t kMaxPduSize = 253;
// Quantities per request: 1 to 2000 (0x7D0) bits and 1 to 125 (0x7D)
// registers read; 1 to 1968 (0x7B0) bits and 1 to 123 (0x7B) registers
// written, so that every reply and request fits in 253 bytes.
constexpr uint16_t kMaxReadBits = 2000;
constexpr uint16_t kMaxReadRegisters = 125;
constexpr uint16_t kMaxWriteBits = 1968;
constexpr uint16_t kMaxWriteRegisters = 123;
// Function 20: the byte count of the sub-requests (7 bytes each) is 0x07 to
// 0xF5; the reference type is always 6 and record numbers go up to 0x270F.
constexpr uint8_t kFileReferenceType = 6;
constexpr size_t kFileSubRequestSize = 7;
constexpr size_t kMaxFileByteCount = 0xF5;
constexpr uint16_t kMaxFileRecordNumber = 0x270F;
// Function 100: code, byte count, the byte 4, transmission number and n
// addresses of 2 bytes: 4 + 2n <= 253 gives n <= 124; the reply has the
// same shape with registers instead of addresses.
constexpr uint8_t kScatteredMarker = 4;
constexpr size_t kMaxScatteredAddresses = (kMaxPduSize - 4) / 2;
// The number of addresses in each of the four tables.
constexpr size_t kTableSize = 65536;

} // namespace arxmod::sim
