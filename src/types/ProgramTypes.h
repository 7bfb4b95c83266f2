// The program classes: MethodInvocation (a method number and its argument),
// Statement (an object handle and an invocation) and Program (statements in
// order).
//
// Binary form of a program: byte F6, then per statement the handle (16 bits,
// or FFFF and 32 bits), the method code (one byte below 127, or FF and 16
// bits; the top bit says "argument follows") and the argument. None of the
// three can be encoded where a value is expected or copied to another arena.
#pragma once

#include "types/StructureArrays.h"

namespace arxmod {

class MethodInvocation final : public PICType {
public:
  static constexpr std::string_view kClassName = "MethodInvocation";
  // A method without argument gets a VoidType argument.
  MethodInvocation(MemoryBlob &blob, uint32_t method, PICType *argument = nullptr);

  uint32_t method() const noexcept { return method_; }
  PICType *argument() const noexcept { return argument_; }
  // A method "with value" carries any argument other than a VoidType.
  bool hasValue() const;
  // The invocation's text without leading indentation (statements use it).
  void printText(std::ostream &out, std::string_view indent) const { printBody(out, indent); }

  std::string_view typeName() const override { return "MethodInvocation"; }
  // The method code and, for a method with value, the argument.
  void encode(NibbleWriter &writer) const override;
  void encodeAsValue(NibbleWriter &writer) const override;
  PICType *duplicate(MemoryBlob &target) const override;
  int equals(const PICType &other) const override;

protected:
  // The method's name (its number when the table has none), then the argument
  // on the following lines.
  void printBody(std::ostream &out, std::string_view indent) const override;

private:
  uint32_t method_;
  PICType *argument_;
};

class Statement final : public PICType {
public:
  static constexpr std::string_view kClassName = "StatementType";
  static constexpr std::string_view kArrayName = "Program";
  static constexpr StructureKey kKey = StructureKey::Unknown;
  Statement(MemoryBlob &blob, uint32_t handle, MethodInvocation *invocation);

  uint32_t handle() const noexcept { return handle_; }
  MethodInvocation *invocation() const noexcept { return invocation_; }

  std::string_view typeName() const override { return "StatementType"; }
  void encode(NibbleWriter &writer) const override;
  void encodeAsValue(NibbleWriter &writer) const override;
  PICType *duplicate(MemoryBlob &target) const override;
  int equals(const PICType &other) const override;

protected:
  // "0x" and the handle in hexadecimal, a blank, then the invocation.
  void printBody(std::ostream &out, std::string_view indent) const override;

private:
  uint32_t handle_;
  MethodInvocation *invocation_;
};

class Program final : public PICStrucArray<Statement> {
public:
  static constexpr std::string_view kClassName = "Program";
  using PICStrucArray::PICStrucArray;

  // Builds a statement in this arena and appends it.
  Statement *addStatement(uint32_t handle, uint32_t method, PICType *argument = nullptr);

  std::string_view typeName() const override { return "Program"; }
  void encode(NibbleWriter &writer) const override;
  void encodeAsValue(NibbleWriter &writer) const override;

protected:
  PICStrucArrayBase *emptyCopy(MemoryBlob &target) const override { return target.make<Program>(); }
  // Every statement on its own line.
  void printBody(std::ostream &out, std::string_view indent) const override;
};

} // namespace arxmod
