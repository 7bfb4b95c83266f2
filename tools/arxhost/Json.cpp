// JSON strings, numbers, arrays and objects.
#include "Json.h"

#include <charconv>
#include <cmath>

namespace arxhost {
namespace {

// The length of the valid UTF-8 sequence at `text[i]`, or 0 when the bytes
// there are not one (overlong forms, surrogates and values past U+10FFFF
// included).
size_t utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  uint32_t min = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80, code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800, code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000, code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size())
    return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80)
      return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return length;
}

void appendEscape(std::string &out, unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u00";
  out += kHex[c >> 4];
  out += kHex[c & 0xF];
}

} // namespace

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const size_t length = utf8Length(text, i);
      if (length == 0) {
        appendEscape(out, c);
        ++i;
      } else {
        out.append(text.substr(i, length));
        i += length;
      }
      continue;
    }
    switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\b':
      out += "\\b";
      break;
    case '\f':
      out += "\\f";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (c < 0x20)
        appendEscape(out, c);
      else
        out += static_cast<char>(c);
    }
    ++i;
  }
  return out + "\"";
}

std::string jsonInteger(int64_t value) { return std::to_string(value); }

std::string jsonNumber(double value) {
  if (!std::isfinite(value))
    return "null";
  char buffer[32];
  // Finite doubles come out as JSON numbers: "-0", "230.4", "1e+20".
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string jsonBool(bool value) { return value ? "true" : "false"; }

std::string jsonArray(std::span<const std::string> items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i)
    out += (i ? ", " : "") + items[i];
  return out + "]";
}

JsonObject &JsonObject::add(std::string_view key, std::string_view json) {
  if (text_.size() > 1)
    text_ += ", ";
  text_ += jsonString(key);
  text_ += ": ";
  text_ += json;
  return *this;
}

} // namespace arxhost
