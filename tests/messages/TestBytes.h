// Helpers of the node-message tests: byte vectors from hex text, encoding
// into a vector, and a capture of std::cerr (where throw traces and factory
// complaints go).
#pragma once

#include "base/ByteReader.h"
#include "base/ByteWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace arxmod::test {

// "12 34 0a" -> {0x12, 0x34, 0x0a}; blanks are ignored.
inline std::vector<uint8_t> hex(const std::string &text) {
  std::vector<uint8_t> bytes;
  std::istringstream in(text);
  std::string token;
  while (in >> token)
    bytes.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
  return bytes;
}

template <typename T> std::vector<uint8_t> encoded(const T &object) {
  ByteWriter writer;
  object.encode(writer);
  return writer.takeBytes();
}

template <typename T> std::string printed(const T &object, bool raw) {
  std::ostringstream out;
  object.print(out, raw);
  return out.str();
}

// Redirects std::cerr into a string for the lifetime of the object.
class CerrCapture {
public:
  CerrCapture() : old_(std::cerr.rdbuf(text_.rdbuf())) {}
  ~CerrCapture() { std::cerr.rdbuf(old_); }
  CerrCapture(const CerrCapture &) = delete;
  CerrCapture &operator=(const CerrCapture &) = delete;
  std::string text() const { return text_.str(); }

private:
  std::ostringstream text_;
  std::streambuf *old_;
};

// Decodes `bytes` (hex text) into a new T and expects the decode to raise Error.
template <typename Error, typename T> void expectDecodeFails(const char *bytes) {
  CerrCapture cerr;
  const auto input = hex(bytes);
  ByteReader reader(input);
  T target;
  EXPECT_THROW(target.decode(reader), Error);
}

} // namespace arxmod::test
