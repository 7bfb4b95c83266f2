// AttributeText: the number readers of map attributes.
#include "map/AttributeText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace arxmod {
namespace {

bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view skipBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i]))
    ++i;
  return text.substr(i);
}

// Takes a leading sign off `text`; true for "-".
bool takeSign(std::string_view &text) {
  if (text.empty() || (text[0] != '+' && text[0] != '-'))
    return false;
  const bool negative = text[0] == '-';
  text.remove_prefix(1);
  return negative;
}

bool takeHexPrefix(std::string_view &text) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    return true;
  }
  return false;
}

int digitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return 99;
}

// The digits of `base` at the start of `text`, saturating at `limit`.
uint64_t readMagnitude(std::string_view text, int base, uint64_t limit) {
  uint64_t value = 0;
  for (char c : text) {
    const int digit = digitValue(c);
    if (digit >= base)
      break;
    if (value > (limit - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base))
      value = limit;
    else
      value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  return value;
}

} // namespace

int64_t readInteger(std::string_view text) {
  text = skipBlanks(text);
  const bool negative = takeSign(text);
  int base = 10;
  if (takeHexPrefix(text))
    base = 16;
  else if (!text.empty() && text[0] == '0')
    base = 8;
  constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  const uint64_t magnitude = readMagnitude(text, base, negative ? kMax + 1 : kMax);
  if (!negative)
    return static_cast<int64_t>(magnitude);
  return magnitude > kMax ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(magnitude);
}

uint32_t readHex(std::string_view text) {
  text = skipBlanks(text);
  const bool negative = takeSign(text);
  takeHexPrefix(text);
  const auto magnitude =
      static_cast<uint32_t>(readMagnitude(text, 16, std::numeric_limits<uint32_t>::max()));
  return negative ? 0u - magnitude : magnitude;
}

std::optional<double> readLeadingReal(std::string_view text) {
  text = skipBlanks(text);
  std::string_view number = text;
  const bool negative = takeSign(number);
  // from_chars would also take "inf" and "nan", which stream extraction does not.
  const bool startsWithDigit =
      !number.empty() && (std::isdigit(static_cast<unsigned char>(number[0])) ||
                          (number[0] == '.' && number.size() > 1 &&
                           std::isdigit(static_cast<unsigned char>(number[1]))));
  if (!startsWithDigit)
    return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Too large or too small: strtod tells which, on the matched digits.
    const std::string digits(number.data(), end);
    value = std::strtod(digits.c_str(), nullptr);
    if (std::isinf(value))
      value = std::numeric_limits<double>::max();
  } else if (error != std::errc()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

double readReal(std::string_view text) { return readLeadingReal(text).value_or(0.0); }

std::optional<ConstantOrReference> readConstantOrReference(std::string_view text,
                                                           double defaultConstant) {
  if (text.empty())
    return std::nullopt;
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  ConstantOrReference result{defaultConstant, 0};
  if (lower[0] == 'r')
    result.handle = static_cast<uint32_t>(readInteger(std::string_view(lower).substr(1)));
  else if (lower.find('x') != std::string::npos)
    result.handle = static_cast<uint32_t>(readInteger(lower));
  else
    result.constant = readReal(lower);
  return result;
}

} // namespace arxmod
