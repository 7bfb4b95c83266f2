// Fuzz target: a meter's Modbus reply PDU delivered to a transaction that
// holds every kind of message (a scattered read, block reads of holding
// registers, coils and input registers with text, a file record read and
// a write). The first input byte picks the message and whether the reply
// comes with a good status; the rest is the reply. A reply either answers
// its message's requests or fails with a KSXmsg.
#include "QuietStreams.h"
#include "base/KSXmsg.h"
#include "map/ModbusFormat.h"
#include "modbus/ModbusTransaction.h"

#include <cstdint>

namespace {

using namespace XLARX;
using arxmod::IRefPtr;

IRefPtr<arxmod::TransactionConfig> config() {
  static const IRefPtr<arxmod::TransactionConfig> made = [] {
    auto limits = arxmod::makeRef<arxmod::TransactionConfig>();
    limits->scatteredReadSupported = true;
    limits->datasetBlocks.push_back({200, 209, 10});
    return limits;
  }();
  return made;
}

IRefPtr<ModbusTransaction> everyKind() {
  auto t = arxmod::makeRef<ModbusTransaction>(nullptr, config());
  const auto read = [&](std::string_view address, uint16_t count, int32_t format) {
    t->createRead(address, format, 0xFFFFFFFF, count, false, -1);
  };
  read("400101", 2, MBF_U32_4321);
  read("405001", 1, MBF_U16_21);
  read("400201p2", 2, MBF_F32_4321);
  read("000001", 1, MBF_U16_21);
  read("000009", 1, MBF_U16_21);
  read("300001", 2, MBF_ASCII);
  t->createFileRecordRead(4, 1, 2, 0);
  t->createWrite("400301", MBF_U16_21, 0xFFFF, 7, 1, true);
  return t;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  arxmod::fuzz::quietStandardStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  auto t = everyKind();
  const size_t index = (data[0] & 0x7F) % t->requestCount();
  const auto status = (data[0] & 0x80) ? XL::ResponseTimeout : XL::ResponseOkay;
  try {
    t->deliver(index, status, data + 1, size - 1);
  } catch (const arxmod::KSXmsg &) {
  }
  return 0;
}
