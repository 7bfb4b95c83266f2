// Helpers of the Modbus tests: map limits, a transaction over them, and the
// text form of a plan that the placement tables compare.
#pragma once

#include "base/KSXmsg.h"
#include "map/ModbusFormat.h"
#include "modbus/ModbusTransaction.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace XLARX::test {

using arxmod::IRefPtr;
using arxmod::makeRef;
using arxmod::TransactionConfig;
using Bytes = std::vector<uint8_t>;

// The map's limits, set by name:
//   Limits().max(5).scattered().block(100, 20).invalid(150, 2).flags(3)
// Ranges are {offset, count} of holding registers.
class Limits {
public:
  Limits() : config_(makeRef<TransactionConfig>()) {}
  Limits &max(uint16_t registers) {
    config_->maxRequestRegisters = registers;
    return *this;
  }
  Limits &scattered() {
    config_->scatteredReadSupported = true;
    return *this;
  }
  Limits &singleWrites() {
    config_->multiplePresetSupported = false;
    return *this;
  }
  Limits &block(uint16_t offset, uint16_t count) {
    config_->datasetBlocks.push_back(item(offset, count));
    return *this;
  }
  Limits &invalid(uint16_t offset, uint16_t count) {
    config_->invalidRanges.push_back(item(offset, count));
    return *this;
  }
  Limits &flags(uint32_t diagnosticFlags) {
    config_->diagnosticFlags = diagnosticFlags;
    return *this;
  }
  const IRefPtr<TransactionConfig> &config() const { return config_; }

private:
  static TransactionConfig::RegisterItem item(uint16_t offset, uint16_t count) {
    return {offset, static_cast<uint16_t>(offset + count - 1), count};
  }
  IRefPtr<TransactionConfig> config_;
};

inline IRefPtr<TransactionConfig> configOf(const Limits &limits) { return limits.config(); }

// A read of `count` U16 registers, or of the format's registers.
inline IRefPtr<ModbusRequest> read(ModbusTransaction &t, std::string_view address,
                                   uint16_t count = 1, int32_t format = MBF_U16_21) {
  return t.createRead(address, format, 0xFFFFFFFF, count, false, -1);
}

// One line per planned message: "<function> u<unit> <start>+<count>
// [<requests>] <end>"; scattered reads list their addresses instead of the
// range.
inline std::vector<std::string> planLines(const ModbusTransaction &t) {
  std::vector<std::string> lines;
  for (const PlannedMessage &m : t.plan()) {
    std::string line = std::to_string(m.functionCode) + " u" + std::to_string(m.unit) + " ";
    if (m.functionCode == 100) {
      line += "@";
      for (size_t i = 0; i < m.addresses.size(); ++i)
        line += (i ? "," : "") + std::to_string(m.addresses[i]);
    } else {
      line += std::to_string(m.start) + "+" + std::to_string(m.count);
    }
    line += " [";
    for (size_t i = 0; i < m.requests.size(); ++i)
      line += (i ? " " : "") + std::to_string(m.requests[i]);
    lines.push_back(line + "] " + std::string(messageEndName(m.end)));
  }
  return lines;
}

inline Bytes pduOf(ModbusTransaction &t, size_t index) {
  Bytes bytes;
  t.requestBytes(index, bytes);
  return bytes;
}

// The text of the KSXmsg that `action` raises; empty when it raises none.
inline std::string failureOf(const std::function<void()> &action) {
  try {
    action();
  } catch (const arxmod::KSXmsg &e) {
    return e.text();
  }
  return {};
}

inline IRefPtr<ModbusResponse> responseOf(const ModbusTransaction &t, size_t index) {
  return arxmod::refCast<ModbusResponse>(t.responses().at(index));
}

} // namespace XLARX::test
