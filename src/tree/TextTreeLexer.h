// TextTreeLexer: the tokens of text tree files.
//
// Tokens are separated by white space (blank, tab, line feed, carriage
// return, vertical tab, form feed, bell, backspace) and matched longest
// first, so "0x1A2b" is one hexadecimal integer, "1a2b" is 1, a, 2, b, and
// "-0x1F" is -0, x, 1, F. Words are classified once here (keyword, class
// name, method name, or an error token), and a counted string "<5>a b>c"
// takes exactly its five bytes whatever they are. Every length in the input
// is checked against the bytes left, and an unterminated string is an error
// token rather than a read past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace arxmod {

enum class TokenKind {
  Integer,    // integer: decimal, "+"/"-" decimal, or "0x" hexadecimal
  Real,       // real: 1.5, 1., .5, 1e3, +NAN, -INF
  LeftBrace,  // "{"
  RightBrace, // "}"
  Equals,     // "="
  Comma,      // ","
  Quoted,     // "..." (value() removes the quotes and the escapes)
  Counted,    // <N>bytes (value() is the N bytes)
  NodeSuffix, // "@" and the rest of the line (value() is the node name)
  Keyword,
  ClassName,  // number is the class number
  MethodName, // number is the method number
  Error,      // an unknown word, an unterminated string, any other byte
  End,        // end of input, or "$"
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string_view text; // the token's bytes in the input
  size_t offset = 0;     // where they start
  int64_t integer = 0;   // Integer
  double real = 0;       // Real
  uint32_t number = 0;   // ClassName, MethodName

  // The string a Quoted, Counted or NodeSuffix token carries.
  std::string value() const;
  bool is(TokenKind k, std::string_view t) const { return kind == k && text == t; }
};

class TextTreeLexer {
public:
  explicit TextTreeLexer(std::string_view input) : input_(input) {}

  Token next();
  size_t offset() const { return position_; }

private:
  Token word(size_t start);
  Token number(size_t start);
  Token counted(size_t start);
  Token make(TokenKind kind, size_t start, size_t end);

  std::string_view input_;
  size_t position_ = 0;
};

// Whether `word` is a keyword of the text tree form.
bool isTextTreeKeyword(std::string_view word);

// A string as a quoted token: backslashes and double quotes are escaped.
std::string quotedText(std::string_view text);

} // namespace arxmod
