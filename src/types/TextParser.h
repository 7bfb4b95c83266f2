// TextParser: reads typed values and programs back from their text form.
//
// The object tree, value conversion, the method invoker and the log
// recorders keep values as text; parsePICText turns such a text into a value
// in a caller's arena. It reads every text form the print operation writes:
//   7u  -5  2.5  true  void  delta  0x1a@east  "quoted"
//   RangeType { 1u 2u }   UnsignedArrayType { 1u 2u }   PICTypeContainer { ... }
// A line that is not made of such tokens is a string ("Char08Array"), which
// is how the text form writes character arrays. Statements are a handle, a
// method (a number or a name from the method table) and an optional value,
// one per line; a text of statements yields a Program.
//
// A text that yields no value (a syntax error, an unknown method name, more
// than 150 levels of nesting, a token longer than the scanner's buffer)
// comes back as a "Char08Array" holding the text itself, so a caller always
// gets a value. A parse keeps all its state in the parser object of the
// call, so parses on several threads run side by side without a lock.
#pragma once

#include "types/ProgramTypes.h"

#include <string>
#include <string_view>

namespace arxmod {

struct TextParseResult {
  PICType *value = nullptr;
  // Empty on success; otherwise what the scanner reported ("Syntax error",
  // "Invalid method.\n", "Parser stack overflow", "Token buffer overflow").
  std::string error;
};

// The value of `text`, built in `blob`; never throws for a bad text.
PICType *parsePICText(std::string_view text, MemoryBlob &blob);
// The same, with the scanner's report.
TextParseResult parsePICTextWithReport(std::string_view text, MemoryBlob &blob);

// Nesting the parser accepts, and the longest single token.
inline constexpr size_t kTextParserStackSize = 150;
inline constexpr size_t kTextTokenBufferSize = 8192;

} // namespace arxmod
