// TextTreeLexer: longest-match scanning of text tree tokens.
#include "tree/TextTreeLexer.h"

#include "tree/ClassTable.h"
#include "types/MethodTable.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <unordered_set>

namespace arxmod {
namespace {

constexpr std::string_view kKeywords[] = {"REVISION",
                                          "securitylevels",
                                          "boundsoptions",
                                          "inputclasses",
                                          "inputnames",
                                          "managedclass",
                                          "setupcount",
                                          "updatecount",
                                          "descriptors",
                                          "classid",
                                          "name",
                                          "parent",
                                          "value",
                                          "label",
                                          "comment",
                                          "enumoptions",
                                          "booloptions",
                                          "inputs",
                                          "outputs",
                                          "setups",
                                          "start_range",
                                          "end_range",
                                          "input_type",
                                          "pre_programmed",
                                          "local_only",
                                          "local_extended",
                                          "extended_only",
                                          "update_period",
                                          "calendar_value",
                                          "profile_value",
                                          "profile_names",
                                          "profile_labels",
                                          "boolnames",
                                          "time",
                                          "state",
                                          "aggregate_setup_counter",
                                          "collective_state",
                                          "depth",
                                          "rollover",
                                          "position",
                                          "alarm_rollover",
                                          "capacity",
                                          "Alarm",
                                          "ArrayLogRecord",
                                          "Event",
                                          "EventLog",
                                          "AlarmTable",
                                          "LogRecord",
                                          "void",
                                          "true",
                                          "false",
                                          "(p)",
                                          "(u)",
                                          "(s)",
                                          "(f)",
                                          "(d)",
                                          "(l)",
                                          "Schedule",
                                          "StartDate",
                                          "Calendar",
                                          "Profiles",
                                          "Activities",
                                          "ProfileLabels",
                                          "activity_depth",
                                          "HandleArray",
                                          "saved_as_ARX",
                                          "saved_as_Module",
                                          "saved_as_Manager",
                                          "saved_as_Register",
                                          "saved_as_CalendarRegister",
                                          "saved_as_ArrayRegister",
                                          "saved_as_LogRegister",
                                          "saved_as_EventLogRegister",
                                          "saved_as_NumericBoundedRegister",
                                          "saved_as_EnumeratedRegister",
                                          "saved_as_BooleanRegister",
                                          "saved_as_AddressRegister",
                                          "allowedclasses",
                                          "tree_revision"};

bool isSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '\a' ||
         c == '\b';
}
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(unsigned char c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool isWordChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '(' || c == ')';
}

} // namespace

bool isTextTreeKeyword(std::string_view word) {
  static const std::unordered_set<std::string_view> keywords(std::begin(kKeywords),
                                                             std::end(kKeywords));
  return keywords.contains(word);
}

std::string quotedText(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\')
      quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

std::string Token::value() const {
  switch (kind) {
  case TokenKind::Quoted: {
    std::string result;
    const std::string_view body = text.substr(1, text.size() - 2);
    for (size_t i = 0; i < body.size(); ++i) {
      if (body[i] == '\\' && i + 1 < body.size() && (body[i + 1] == '"' || body[i + 1] == '\\'))
        ++i;
      result += body[i];
    }
    return result;
  }
  case TokenKind::Counted:
    return std::string(text.substr(text.find('>') + 1));
  case TokenKind::NodeSuffix: {
    std::string_view node = text.substr(1);
    if (!node.empty() && node.back() == '\r')
      node.remove_suffix(1);
    return std::string(node);
  }
  default:
    return std::string(text);
  }
}

Token TextTreeLexer::make(TokenKind kind, size_t start, size_t end) {
  position_ = end;
  Token token;
  token.kind = kind;
  token.offset = start;
  token.text = input_.substr(start, end - start);
  return token;
}

Token TextTreeLexer::next() {
  while (position_ < input_.size() && isSpace(input_[position_]))
    ++position_;
  const size_t start = position_;
  if (start >= input_.size())
    return make(TokenKind::End, start, start);
  const unsigned char c = input_[start];
  switch (c) {
  case '$':
    return make(TokenKind::End, start, start + 1);
  case '{':
    return make(TokenKind::LeftBrace, start, start + 1);
  case '}':
    return make(TokenKind::RightBrace, start, start + 1);
  case '=':
    return make(TokenKind::Equals, start, start + 1);
  case ',':
    return make(TokenKind::Comma, start, start + 1);
  case '"':
    for (size_t i = start + 1; i < input_.size(); ++i) {
      if (input_[i] == '\\')
        ++i;
      else if (input_[i] == '"')
        return make(TokenKind::Quoted, start, i + 1);
    }
    return make(TokenKind::Error, start, input_.size());
  case '<':
    return counted(start);
  case '@': {
    const size_t end = input_.find('\n', start);
    return make(TokenKind::NodeSuffix, start, end == std::string_view::npos ? input_.size() : end);
  }
  default:
    break;
  }
  if (isWordChar(c))
    return word(start);
  if (isDigit(c) || c == '+' || c == '-' || c == '.')
    return number(start);
  return make(TokenKind::Error, start, start + 1);
}

Token TextTreeLexer::word(size_t start) {
  size_t end = start;
  while (end < input_.size() && isWordChar(input_[end]))
    ++end;
  Token token = make(TokenKind::Error, start, end);
  if (isTextTreeKeyword(token.text)) {
    token.kind = TokenKind::Keyword;
  } else if (auto number = classNumberOf(token.text)) {
    token.kind = TokenKind::ClassName;
    token.number = *number;
  } else if (auto method = methodNumber(token.text)) {
    token.kind = TokenKind::MethodName;
    token.number = *method;
  }
  return token;
}

Token TextTreeLexer::counted(size_t start) {
  size_t digitsEnd = start + 1;
  while (digitsEnd < input_.size() && isDigit(input_[digitsEnd]))
    ++digitsEnd;
  if (digitsEnd == start + 1 || digitsEnd >= input_.size() || input_[digitsEnd] != '>')
    return make(TokenKind::Error, start, start + 1);
  size_t count = 0;
  auto [end, error] = std::from_chars(input_.data() + start + 1, input_.data() + digitsEnd, count);
  const size_t available = input_.size() - (digitsEnd + 1);
  if (error != std::errc() || count > available)
    return make(TokenKind::Error, start, input_.size());
  return make(TokenKind::Counted, start, digitsEnd + 1 + count);
}

Token TextTreeLexer::number(size_t start) {
  const std::string_view rest = input_.substr(start);
  for (std::string_view special : {"+NAN", "-NAN", "+INF", "-INF"}) {
    if (rest.starts_with(special)) {
      Token token = make(TokenKind::Real, start, start + special.size());
      const double magnitude = special[1] == 'N' ? std::numeric_limits<double>::quiet_NaN()
                                                 : std::numeric_limits<double>::infinity();
      token.real = special[0] == '-' ? -magnitude : magnitude;
      return token;
    }
  }
  auto digitsFrom = [&](size_t at) {
    while (at < rest.size() && isDigit(rest[at]))
      ++at;
    return at;
  };
  if (rest.size() > 2 && rest[0] == '0' && rest[1] == 'x' && isHexDigit(rest[2])) {
    size_t end = 2;
    while (end < rest.size() && isHexDigit(rest[end]))
      ++end;
    uint64_t value = 0;
    auto [ptr, error] = std::from_chars(rest.data() + 2, rest.data() + end, value, 16);
    Token token = make(TokenKind::Integer, start, start + end);
    if (error != std::errc() || value > uint64_t(std::numeric_limits<int64_t>::max()))
      token.kind = TokenKind::Error;
    token.integer = static_cast<int64_t>(value);
    return token;
  }
  // Integer: [+-]?digits. Real: [+-]?(digits.digits*|.digits+)(exp)? or
  // [+-]?digits exp, where exp is [eE][+-]?digits. The longer match wins and
  // an integer wins a tie.
  const size_t signEnd = (rest[0] == '+' || rest[0] == '-') ? 1 : 0;
  const size_t intEnd = digitsFrom(signEnd);
  size_t realEnd = 0;
  size_t mantissaEnd = intEnd;
  bool hasPoint = false;
  if (mantissaEnd < rest.size() && rest[mantissaEnd] == '.') {
    const size_t fractionEnd = digitsFrom(mantissaEnd + 1);
    if (intEnd > signEnd || fractionEnd > mantissaEnd + 1) {
      hasPoint = true;
      mantissaEnd = fractionEnd;
    }
  }
  if (intEnd > signEnd || hasPoint) {
    if (hasPoint)
      realEnd = mantissaEnd;
    if (mantissaEnd < rest.size() && (rest[mantissaEnd] == 'e' || rest[mantissaEnd] == 'E')) {
      size_t exponent = mantissaEnd + 1;
      if (exponent < rest.size() && (rest[exponent] == '+' || rest[exponent] == '-'))
        ++exponent;
      const size_t exponentEnd = digitsFrom(exponent);
      if (exponentEnd > exponent)
        realEnd = exponentEnd;
    }
  }
  if (realEnd > intEnd) {
    Token token = make(TokenKind::Real, start, start + realEnd);
    token.real = std::strtod(std::string(token.text).c_str(), nullptr);
    return token;
  }
  if (intEnd == signEnd)
    return make(TokenKind::Error, start, start + 1);
  Token token = make(TokenKind::Integer, start, start + intEnd);
  uint64_t magnitude = 0;
  auto [ptr, error] = std::from_chars(rest.data() + signEnd, rest.data() + intEnd, magnitude);
  if (error != std::errc() || magnitude > uint64_t(std::numeric_limits<int64_t>::max()))
    token.kind = TokenKind::Error;
  token.integer =
      rest[0] == '-' ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return token;
}

} // namespace arxmod
