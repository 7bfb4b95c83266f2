// TextParser: a line-aware scanner and a recursive-descent parser with an
// explicit nesting limit.
//
// Grammar (one value per line for strings; braces and scalars anywhere):
//   text       := statement+ | value+
//   statement  := HANDLE METHOD [value]          (on one line, or the value
//                                                 on the lines below)
//   value      := scalar | HANDLE['@'name] | QUOTED | NAME '{' value* '}'
//               | string-line
// Several top-level values make a value only when they are all booleans
// (the unwrapped text of a boolean array).
#include "types/TextParser.h"

#include "types/MethodTable.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace arxmod {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";

// Unwinds a parse; the scanner's report is in the parser.
struct TextSyntaxError {};

std::string_view trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool isIdentifier(std::string_view word) {
  if (word.empty() || !(std::isalpha(static_cast<unsigned char>(word[0])) || word[0] == '_'))
    return false;
  for (char c : word)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
      return false;
  return true;
}

bool isDigits(std::string_view word) {
  return !word.empty() &&
         std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

template <typename T> bool parseWhole(std::string_view word, T &value, int base = 10) {
  const char *end = word.data() + word.size();
  std::from_chars_result result;
  if constexpr (std::is_floating_point_v<T>)
    result = std::from_chars(word.data(), end, value);
  else
    result = std::from_chars(word.data(), end, value, base);
  return result.ec == std::errc() && result.ptr == end;
}

// "0x" and hexadecimal digits within 32 bits.
bool parseHandle(std::string_view word, uint32_t &handle) {
  return word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X') &&
         parseWhole(word.substr(2), handle, 16);
}

bool isNamedAggregate(std::string_view name) {
  StructureKey key;
  return name == "PICTypeContainer" || name == "UnsignedArrayType" || name == "SignedArrayType" ||
         name == "Float32Array" || name == "Float64Array" || name == "Float80Array" ||
         structureKeyOf(name, key) || structureArrayKeyOf(name, key);
}

class Parser {
public:
  Parser(std::string_view text, MemoryBlob &blob) : text_(text), blob_(blob) {}

  PICType *parse() {
    skipBlanks();
    if (atEnd())
      fail("Syntax error");
    if (statementStartsHere())
      return parseProgram();
    std::vector<PICType *> values;
    while (skipBlanks(), !atEnd())
      values.push_back(parseValue(1));
    if (values.size() == 1)
      return values.front();
    return booleanArray(values);
  }

  std::string report;

private:
  [[noreturn]] void fail(std::string message) {
    report = std::move(message);
    throw TextSyntaxError{};
  }

  bool atEnd() const { return position_ >= text_.size(); }
  void skipBlanks() {
    while (!atEnd() && kBlanks.find(text_[position_]) != std::string_view::npos)
      ++position_;
  }
  void skipLineBlanks() {
    while (!atEnd() &&
           (text_[position_] == ' ' || text_[position_] == '\t' || text_[position_] == '\r'))
      ++position_;
  }
  size_t lineEnd(size_t from) const {
    const size_t end = text_.find('\n', from);
    return end == std::string_view::npos ? text_.size() : end;
  }

  // The word at `from`: a brace, or a run up to a blank or a brace.
  std::string_view wordAt(size_t from) {
    if (from >= text_.size())
      return {};
    if (text_[from] == '{' || text_[from] == '}')
      return text_.substr(from, 1);
    size_t end = from;
    while (end < text_.size() && kBlanks.find(text_[end]) == std::string_view::npos &&
           text_[end] != '{' && text_[end] != '}')
      ++end;
    if (end - from > kTextTokenBufferSize)
      fail("Token buffer overflow");
    return text_.substr(from, end - from);
  }
  std::string_view takeWord() {
    const std::string_view word = wordAt(position_);
    position_ += word.size();
    return word;
  }
  size_t nextWordStart(size_t from) const {
    while (from < text_.size() && kBlanks.find(text_[from]) != std::string_view::npos)
      ++from;
    return from;
  }

  static bool isScalarWord(std::string_view word) {
    uint32_t unsignedValue;
    double floatValue;
    if (word == "true" || word == "false" || word == "void" || word == "delta")
      return true;
    if (word.size() > 1 && word.back() == 'u' &&
        (parseWhole(word.substr(0, word.size() - 1), unsignedValue) ||
         parseHandle(word.substr(0, word.size() - 1), unsignedValue)))
      return true;
    return parseHandle(word, unsignedValue) || parseWhole(word, floatValue);
  }

  // True when the rest of the line from `from` is made of value tokens; a
  // line that is not is a string.
  bool lineHoldsValues(size_t from) {
    const size_t end = lineEnd(from);
    for (size_t at = from; at < end;) {
      while (at < end && kBlanks.find(text_[at]) != std::string_view::npos)
        ++at;
      if (at >= end)
        break;
      const std::string_view word = wordAt(at);
      if (word[0] == '"')
        return true;
      if (word.find('@') != std::string_view::npos) {
        uint32_t handle;
        return parseHandle(word.substr(0, word.find('@')), handle);
      }
      const size_t next = nextWordStart(at + word.size());
      const bool aggregate = isNamedAggregate(word) && next < text_.size() && text_[next] == '{';
      if (!(word == "{" || word == "}" || aggregate || isScalarWord(word)))
        return false;
      at += word.size();
    }
    return true;
  }

  bool statementStartsHere() {
    uint32_t handle;
    const std::string_view first = wordAt(position_);
    if (!parseHandle(first, handle))
      return false;
    size_t at = position_ + first.size();
    while (at < text_.size() && (text_[at] == ' ' || text_[at] == '\t'))
      ++at;
    const std::string_view method = wordAt(at);
    if (at >= lineEnd(position_) || method.empty())
      return false;
    return isDigits(method) ||
           (isIdentifier(method) && !isScalarWord(method) && !isNamedAggregate(method));
  }

  PICType *parseProgram() {
    auto *program = blob_.make<Program>();
    while (skipBlanks(), !atEnd()) {
      if (!statementStartsHere())
        fail("Syntax error");
      uint32_t handle = 0;
      parseHandle(takeWord(), handle);
      skipLineBlanks();
      const uint32_t method = parseMethod(takeWord());
      skipLineBlanks();
      PICType *argument = nullptr;
      if (!atEnd() && text_[position_] != '\n') {
        argument = parseValue(1);
      } else {
        skipBlanks();
        if (!atEnd() && !statementStartsHere())
          argument = parseValue(1);
      }
      program->addStatement(handle, method, argument);
    }
    return program;
  }

  uint32_t parseMethod(std::string_view word) {
    uint32_t method = 0;
    if (isDigits(word)) {
      if (!parseWhole(word, method) || method == 0)
        fail("Syntax error");
      return method;
    }
    const auto number = methodNumber(word);
    if (!number)
      fail("Invalid method.\n");
    return *number;
  }

  PICType *parseValue(size_t depth) {
    if (depth > kTextParserStackSize)
      fail("Parser stack overflow");
    skipBlanks();
    if (atEnd())
      fail("Syntax error");
    if (!lineHoldsValues(position_)) {
      const size_t end = lineEnd(position_);
      const std::string_view line = trim(text_.substr(position_, end - position_));
      if (line.size() > kTextTokenBufferSize)
        fail("Token buffer overflow");
      position_ = end;
      return makeString(blob_, line);
    }
    if (text_[position_] == '"')
      return parseQuoted();
    const std::string_view word = takeWord();
    if (PICType *scalar = scalarValue(word))
      return scalar;
    if (word.find('@') != std::string_view::npos)
      return handleWithName(word);
    if (isNamedAggregate(word))
      return parseAggregate(word, depth);
    fail("Syntax error");
  }

  PICType *parseQuoted() {
    const size_t end = lineEnd(position_);
    const size_t close = text_.rfind('"', end - 1);
    if (close == position_)
      fail("Syntax error");
    const std::string_view inside = text_.substr(position_ + 1, close - position_ - 1);
    if (inside.size() > kTextTokenBufferSize)
      fail("Token buffer overflow");
    position_ = close + 1;
    return makeString(blob_, inside);
  }

  PICType *handleWithName(std::string_view word) {
    uint32_t handle = 0;
    parseHandle(word.substr(0, word.find('@')), handle);
    const size_t nameStart = position_ - word.size() + word.find('@') + 1;
    const size_t end = lineEnd(nameStart);
    const std::string_view name = trim(text_.substr(nameStart, end - nameStart));
    position_ = end;
    return blob_.make<ExtendedHandleType>(handle, name);
  }

  PICType *scalarValue(std::string_view word) {
    if (word == "true" || word == "false")
      return blob_.make<BooleanType>(word == "true" ? 1u : 0u);
    if (word == "void")
      return blob_.make<VoidType>();
    if (word == "delta")
      return blob_.make<DeltaType>();
    uint32_t unsignedValue;
    if (word.size() > 1 && word.back() == 'u') {
      const std::string_view digits = word.substr(0, word.size() - 1);
      if (parseWhole(digits, unsignedValue) || parseHandle(digits, unsignedValue))
        return blob_.make<UnsignedType>(unsignedValue);
    }
    if (parseHandle(word, unsignedValue))
      return blob_.make<ExtendedHandleType>(unsignedValue, "");
    int32_t signedValue;
    if (parseWhole(word, signedValue))
      return blob_.make<SignedType>(signedValue);
    if (parseWhole(word, unsignedValue))
      return blob_.make<UnsignedType>(unsignedValue);
    double floatValue;
    if (parseWhole(word, floatValue))
      return blob_.make<Float64Type>(floatValue);
    return nullptr;
  }

  PICType *parseAggregate(std::string_view name, size_t depth) {
    skipBlanks();
    if (takeWord() != "{")
      fail("Syntax error");
    auto *fields = blob_.make<PICTypeContainer>();
    while (true) {
      skipBlanks();
      if (atEnd())
        fail("Syntax error");
      if (text_[position_] == '}') {
        ++position_;
        break;
      }
      fields->append(parseValue(depth + 1));
    }
    return buildAggregate(name, *fields);
  }

  PICType *buildAggregate(std::string_view name, PICTypeContainer &fields) {
    StructureKey key;
    if (name == "PICTypeContainer")
      return &fields;
    if (structureKeyOf(name, key))
      return buildStructure(blob_, key, fields);
    if (structureArrayKeyOf(name, key)) {
      PICStrucArrayBase *array = makeStructureArray(blob_, key);
      for (PICType *element : fields)
        array->appendItem(element);
      return array;
    }
    if (name == "UnsignedArrayType")
      return fillArray<Uint32Array>(fields);
    if (name == "SignedArrayType")
      return fillArray<Sint32Array>(fields);
    if (name == "Float32Array")
      return fillArray<Float32Array>(fields);
    if (name == "Float64Array")
      return fillArray<Float64Array>(fields);
    return fillArray<Float80Array>(fields);
  }

  template <typename A> PICType *fillArray(const PICTypeContainer &values) {
    auto *array = blob_.make<A>(values.count());
    size_t index = 0;
    for (PICType *value : values) {
      const auto *number = picCast<NumericType>(value);
      using S = typename A::StoredType;
      if constexpr (std::is_floating_point_v<S>)
        array->elements()[index++] = static_cast<S>(number->asDouble());
      else if constexpr (std::is_signed_v<S>)
        array->elements()[index++] = static_cast<S>(number->asSigned());
      else
        array->elements()[index++] = static_cast<S>(number->asUnsigned());
    }
    return array;
  }

  PICType *booleanArray(const std::vector<PICType *> &values) {
    auto *array = blob_.make<Boolean08Array>(values.size());
    for (size_t i = 0; i < values.size(); ++i)
      array->elements()[i] = static_cast<uint8_t>(picCast<BooleanType>(values[i])->get());
    return array;
  }

  std::string_view text_;
  MemoryBlob &blob_;
  size_t position_ = 0;
};

} // namespace

TextParseResult parsePICTextWithReport(std::string_view text, MemoryBlob &blob) {
  Parser parser(text, blob);
  TextParseResult result;
  try {
    result.value = parser.parse();
  } catch (const TextSyntaxError &) {
    result.error = parser.report;
  } catch (const PICType::Exceptions &) {
    // A structure or array whose fields do not fit its class.
    result.error = "Syntax error";
  }
  if (!result.value)
    result.value = makeString(blob, text);
  return result;
}

PICType *parsePICText(std::string_view text, MemoryBlob &blob) {
  return parsePICTextWithReport(text, blob).value;
}

} // namespace arxmod
