// Trace lines of Modbus packets and decoded values.
#include "modbus/ModbusTrace.h"

#include "host/DiagnosticTrace.h"
#include "map/ModbusFormat.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace XLARX {
namespace {

constexpr uint32_t kSequenceModulus = 1000;

// The channel is switched on for good: DiagnosticFlags decide per line.
// Never destroyed, as threads may still trace while statics are destroyed.
const arxmod::Diagnostic::Trace &channel() {
  static const arxmod::Diagnostic::Trace *trace = [] {
    auto *made = new arxmod::Diagnostic::Trace("TXMOD", ":");
    made->enable(true);
    return made;
  }();
  return *trace;
}

std::string orEmpty(std::string text) { return text.empty() ? "EMPTY" : text; }

// One unsigned number printed by `format` (a literal of this file).
std::string printed(const char *format, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string localTimeStamp(arxmod::WallTime when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  return std::string(text, std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &local));
}

std::string numberText(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string resultText(const ModbusRequest &request, const ModbusResponse &response) {
  if (response.errorCode)
    return "EX=" + printed("%.4X", response.errorCode & 0xFFFF);
  if (response.kind == ResponseKind::Number)
    return numberText(response.value);
  if (request.item().format == MBF_U16_21_ARRAY || request.item().format == MBF_U16_12_ARRAY)
    return "ARRAY";
  return orEmpty(response.text);
}

} // namespace

uint32_t nextReplySequence() {
  static std::atomic<uint32_t> replies{0};
  return (replies.fetch_add(1, std::memory_order_relaxed) + 1) % kSequenceModulus;
}

std::string packetTraceText(std::string_view tag, std::span<const uint8_t> bytes,
                            arxmod::WallTime when) {
  std::string text = orEmpty(std::string(tag)) + ":";
  for (size_t i = 0; i < bytes.size(); ++i)
    text += (i ? " " : "") + printed("%.2X", bytes[i]);
  if (bytes.empty())
    text += "NULL";
  return text + ":" + localTimeStamp(when);
}

std::string valueTraceText(const ModbusRequest &request, const ModbusResponse &response,
                           std::span<const uint16_t> collected, uint32_t sequence,
                           arxmod::WallTime when) {
  const RequestItem &item = request.item();
  std::string text =
      orEmpty(item.address) + ":" + std::to_string(item.numberOfRegisters) + ":" +
      orEmpty(formatCodeName(static_cast<uint32_t>(item.format))) + ":" +
      printed("%.4X", item.mask) + ":" +
      (item.notAvailableCheck ? printed("%.4X", static_cast<uint32_t>(item.notAvailableValue))
                              : std::string("--------")) +
      ":" + resultText(request, response) + ":";
  for (size_t i = 0; i < collected.size(); ++i)
    text += (i ? " " : "") + printed("%.4X", collected[i]);
  if (collected.empty())
    text += "NULL";
  return text + ":" + printed("%.3u", sequence % kSequenceModulus) + ":" + localTimeStamp(when);
}

void tracePacket(uint32_t device, std::string_view tag, std::span<const uint8_t> bytes) {
  channel()(std::to_string(device), packetTraceText(tag, bytes, arxmod::currentClock().wallNow()));
}

void traceValue(uint32_t device, const ModbusRequest &request, const ModbusResponse &response,
                std::span<const uint16_t> collected, uint32_t sequence) {
  channel()(std::to_string(device), valueTraceText(request, response, collected, sequence,
                                                   arxmod::currentClock().wallNow()));
}

} // namespace XLARX
