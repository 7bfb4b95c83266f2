// JSON text for the host tool's --json output (RFC 8259), written by hand:
// strings escaped, numbers in their shortest exact form, objects with their
// keys in the order they were added.
//
//   JsonObject row;
//   row.add("handle", jsonInteger(272)).add("label", jsonString("Vln a"));
//   std::cout << row.text() << "\n";      // {"handle": 272, "label": "Vln a"}
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace arxhost {

// A JSON string. Quotes, backslashes and control characters are escaped;
// valid UTF-8 passes unchanged; a byte that is not part of valid UTF-8 (a
// meter's text may hold any byte) is read as Latin-1 and written \u00XX.
std::string jsonString(std::string_view text);
std::string jsonInteger(int64_t value);
// The shortest text that reads back as the same double; "null" for NaN and
// the infinities, which JSON cannot write.
std::string jsonNumber(double value);
std::string jsonBool(bool value);
// "[a, b, c]" of JSON texts.
std::string jsonArray(std::span<const std::string> items);

class JsonObject {
public:
  // Adds a key with a value that is JSON text already.
  JsonObject &add(std::string_view key, std::string_view json);
  std::string text() const { return text_ + "}"; }

private:
  std::string text_ = "{";
};

} // namespace arxhost
