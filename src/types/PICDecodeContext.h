// PICDecodeContext: the state of one binary decode (the lexer over the nibble
// stream and the value builders the grammar's actions call). Internal to
// the decoder; callers use PICDecoder.h.
//
// The lexer reads tokens in one of six states that the grammar switches
// with its empty lex_state_a..f rules:
//   a  value key        b  payload (length and bytes)   c  method code
//   d  object handle    e  array size                   f  structure kind
// Every read is bounds-checked in nibbles; a token cut short by the end of
// the input raises PICErrors 11, so no read ever passes the end.
#pragma once

#include "types/ProgramTypes.h"

#include <cstdint>
#include <initializer_list>
#include <span>

namespace arxmod {

// One semantic value of the grammar. It is one machine word because the
// parser copies it on every shift and reduction: a payload is its offset
// and length packed into `bits`, a handle, method number, array size or
// unknown kind byte is `bits` itself.
struct PICSemantic {
  union {
    PICType *value;
    PICTypeContainer *list;
    uint64_t bits;
  };
  uint32_t number() const noexcept { return static_cast<uint32_t>(bits); }
};
static_assert(sizeof(PICSemantic) == 8);

class PICDecodeContext {
public:
  PICDecodeContext(std::span<const uint8_t> bytes, MemoryBlob &blob);

  // The next token in the current lexer state, its semantic value in `value`.
  int lex(PICSemantic &value);
  void setLexState(char state) noexcept { lexState_ = state; }

  MemoryBlob &blob() noexcept { return blob_; }
  PICType *result = nullptr;

  // Builders for the grammar's actions.
  PICType *makeChar(const PICSemantic &payload);
  PICType *makeFloat(const PICSemantic &payload);
  PICType *makeSigned(const PICSemantic &payload);
  PICType *makeUnsigned(const PICSemantic &payload);
  PICType *makeFixedPoint(const PICSemantic &payload);
  PICType *makeBoolean(bool value);
  PICType *makeVoid();
  PICType *makeDelta();
  [[noreturn]] PICType *makeComplex();
  // The array of the key from the size given to setArraySize() and `payload`.
  PICType *makeArray(int arrayKey, const PICSemantic &payload);
  void setArraySize(const PICSemantic &size) noexcept { arraySize_ = size.number(); }
  PICTypeContainer *newList();
  PICTypeContainer *append(PICTypeContainer *list, PICType *value);
  PICTypeContainer *fields(std::initializer_list<PICType *> values);
  PICType *structure(StructureKey key, PICTypeContainer *fields, uint64_t kindByte = 0);
  // An array of structures from a list of field lists, one per element.
  PICType *structureArray(StructureKey key, PICTypeContainer *elements, uint64_t kindByte = 0);
  void startProgram();
  PICType *program() const noexcept { return program_; }
  PICType *invocation(uint32_t method, PICType *argument);
  void addStatement(uint32_t handle, PICType *invocation);
  void addStatements(PICTypeContainer *handles, PICType *invocation);

private:
  int lexValueKey();
  int lexPayload(PICSemantic &value);
  int lexMethod(PICSemantic &value);
  int lexHandle(PICSemantic &value);
  int lexArraySize(PICSemantic &value);
  int lexStructureKind(PICSemantic &value);

  std::span<const uint8_t> payloadOf(const PICSemantic &payload) const noexcept {
    return {data_ + (payload.bits >> 32), static_cast<size_t>(payload.bits & 0xFFFFFFFFu)};
  }
  bool atEnd() const noexcept { return position_ >= nibbleCount_; }
  unsigned nibble();
  uint8_t byte();
  uint16_t read16();
  uint32_t read32();

  const uint8_t *data_;
  size_t nibbleCount_;
  size_t position_ = 0; // in nibbles
  char lexState_ = 'a';
  uint32_t arraySize_ = 0; // of the array whose payload comes next
  MemoryBlob &blob_;
  Program *program_ = nullptr;
};

} // namespace arxmod
