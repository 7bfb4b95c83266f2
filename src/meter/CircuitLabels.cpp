// Circuit labels: decoding the meter's registers, and the quantity keys of
// composed labels.
#include "meter/CircuitLabels.h"

#include <algorithm>
#include <utility>

namespace XLARX {
namespace {

constexpr size_t kLabelRegisters = 5;
constexpr size_t kLabelCount = 3;

// Quantity keys in ascending order, with the label each gives.
constexpr std::pair<std::string_view, std::string_view> kQuantityLabels[] = {
    {"Active Energy Delivered Phase", "Active Energy Delivered"},
    {"Current Phase", "Current Phase Average"},
    {"Reactive Energy Delivered Phase", "Reactive Energy Delivered"},
    {"Real Power", "Real Power Total"},
    {"Voltage Phase", "Average Voltage Line-to-Neutral"},
};

// Handle ranges (first, last) of the composed labels.
constexpr std::pair<uint32_t, uint32_t> kComposedLabelHandles[] = {
    {0x09D00001, 0x09D00003},
    {0x0A20000A, 0x0A20000F},
    {0x0B600001, 0x0B600003},
    {0x0C000005, 0x0C000007},
};

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string trimmed(std::string text) {
  const auto first = std::find_if_not(text.begin(), text.end(), isBlank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), isBlank).base();
  return first < last ? std::string(first, last) : std::string();
}

} // namespace

std::array<std::string, 3> decodeCircuitLabels(std::span<const uint16_t> registers) {
  std::array<std::string, kLabelCount> labels;
  if (registers.size() < kLabelCount * kLabelRegisters ||
      registers[kLabelsUnsetRegister] == kLabelsUnsetMark)
    return labels;
  for (size_t k = 0; k < kLabelCount; ++k) {
    std::string text;
    for (size_t r = 0; r < kLabelRegisters; ++r) {
      const uint16_t word = registers[k * kLabelRegisters + r];
      text.push_back(static_cast<char>(word >> 8));
      text.push_back(static_cast<char>(word & 0xFF));
    }
    text.resize(std::min(text.find('\0'), text.size()));
    labels[k] = trimmed(std::move(text));
  }
  return labels;
}

bool isComposedLabelHandle(uint32_t handle) {
  return std::any_of(
      std::begin(kComposedLabelHandles), std::end(kComposedLabelHandles),
      [handle](const auto &range) { return handle >= range.first && handle <= range.second; });
}

std::string_view lastWord(std::string_view name) {
  const size_t blank = name.rfind(' ');
  return blank == std::string_view::npos ? name : name.substr(blank + 1);
}

bool namesQuantity(std::string_view name) {
  return std::any_of(
      std::begin(kQuantityLabels), std::end(kQuantityLabels),
      [name](const auto &quantity) { return name.find(quantity.first) != std::string_view::npos; });
}

std::string composedQuantity(std::string_view name) {
  std::string_view quantity = name;
  for (const auto &[key, label] : kQuantityLabels)
    if (name.find(key) != std::string_view::npos)
      quantity = label;
  return std::string(quantity);
}

} // namespace XLARX
