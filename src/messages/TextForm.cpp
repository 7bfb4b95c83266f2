// Shared pieces of the diagnostic text forms.
#include "messages/TextForm.h"

#include <array>
#include <ostream>

namespace arxmod {

namespace {

constexpr std::array<std::string_view, 8> kStatusNames = {"Good",
                                                          "BadProgram",
                                                          "Timeout",
                                                          "InvalidPId",
                                                          "SiteNotResponding",
                                                          "SiteNotConnected",
                                                          "DeviceDisabled",
                                                          "Nack"};

constexpr char kHexDigits[] = "0123456789abcdef";

} // namespace

void writeHex2(std::ostream &out, unsigned value) {
  const char text[2] = {value > 0xF ? kHexDigits[(value >> 4) & 0xF] : ' ',
                        kHexDigits[value & 0xF]};
  out.write(text, 2);
}

void writeHexBytes(std::ostream &out, std::span<const uint8_t> bytes) {
  for (uint8_t byte : bytes) {
    const char text[3] = {kHexDigits[byte >> 4], kHexDigits[byte & 0xF], ' '};
    out.write(text, 3);
  }
}

std::string_view statusName(uint8_t status) noexcept {
  return status < kStatusNames.size() ? kStatusNames[status] : std::string_view{};
}

void writeStatusName(std::ostream &out, uint8_t status) {
  if (std::string_view name = statusName(status); !name.empty()) {
    out << name;
    return;
  }
  out << "Unknown(";
  if (status >= 0x20 && status < 0x7F) {
    out.put(static_cast<char>(status));
  } else {
    const char text[4] = {'\\', 'x', kHexDigits[status >> 4], kHexDigits[status & 0xF]};
    out.write(text, 4);
  }
  out << ")";
}

} // namespace arxmod
