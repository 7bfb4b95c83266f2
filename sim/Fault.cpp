// Fault matching and the text form of faults.
#include "sim/Fault.h"

#include "sim/ModbusCodes.h"

#include <charconv>
#include <vector>

namespace arxmod::sim {
namespace {

constexpr const char *kKinds = "noreply, exception:N, cut[:BYTES], function[:CODE], "
                               "transmission[:N] or delay:MS";

struct KindName {
  std::string_view name;
  FaultKind kind;
  bool needsValue;
  uint32_t maxValue;
};

constexpr KindName kKindNames[] = {
    {"noreply", FaultKind::NoReply, false, 0},
    {"exception", FaultKind::Exception, true, 255},
    {"cut", FaultKind::CutShort, false, kMaxPduSize},
    {"function", FaultKind::WrongFunction, false, 255},
    {"transmission", FaultKind::WrongTransmission, false, 255},
    {"delay", FaultKind::Delay, true, 3'600'000},
};

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos)
      return parts;
    start = end + 1;
  }
}

class Parser {
public:
  explicit Parser(std::string_view text) : text_(text) {}

  [[noreturn]] void fail(const std::string &what) const {
    throw FaultSpecError("fault '" + std::string(text_) + "': " + what);
  }

  uint32_t number(std::string_view field, std::string_view digits, uint32_t min,
                  uint32_t max) const {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        value < min || value > max)
      fail(std::string(field) + " must be a number from " + std::to_string(min) + " to " +
           std::to_string(max) + ", not '" + std::string(digits) + "'");
    return value;
  }

  FaultSpec parse() const {
    const auto parts = split(text_, ',');
    FaultSpec spec;
    parseKind(parts[0], spec.fault);
    for (size_t i = 1; i < parts.size(); ++i) {
      const std::string_view part = parts[i];
      const size_t equals = part.find('=');
      const std::string_view key = part.substr(0, equals);
      const std::string_view value =
          equals == std::string_view::npos ? std::string_view() : part.substr(equals + 1);
      if (part == "always")
        spec.fault.times = 0;
      else if (key == "unit" && equals != std::string_view::npos)
        spec.unit = static_cast<uint8_t>(number("unit", value, 0, 255));
      else if (key == "fc" && equals != std::string_view::npos)
        spec.fault.function = static_cast<uint8_t>(number("fc", value, 1, 255));
      else if (key == "times" && equals != std::string_view::npos)
        spec.fault.times = number("times", value, 1, UINT32_MAX);
      else
        fail("unknown option '" + std::string(part) + "' (use unit=N, fc=N, times=N or always)");
    }
    return spec;
  }

private:
  void parseKind(std::string_view part, Fault &fault) const {
    const size_t colon = part.find(':');
    const std::string_view name = part.substr(0, colon);
    for (const KindName &kind : kKindNames) {
      if (kind.name != name)
        continue;
      fault.kind = kind.kind;
      if (kind.kind == FaultKind::NoReply && colon != std::string_view::npos)
        fail("noreply takes no value");
      if (colon != std::string_view::npos)
        fault.value =
            number(name, part.substr(colon + 1), kind.kind == FaultKind::Exception, kind.maxValue);
      else if (kind.needsValue)
        fail(std::string(name) + " needs a value: " + std::string(name) + ":N");
      return;
    }
    fail("unknown kind '" + std::string(name) + "' (use " + kKinds + ")");
  }

  std::string_view text_;
};

} // namespace

bool Fault::matches(uint8_t requestFunction) const {
  if (kind == FaultKind::WrongTransmission && requestFunction != fc::kScatteredRead)
    return false;
  return function == 0 || function == requestFunction;
}

FaultSpec parseFaultSpec(std::string_view text) { return Parser(text).parse(); }

} // namespace arxmod::sim
