// The scalar values (signed, unsigned, character, boolean, the three float
// widths and fixed point) and the two marker values VoidType and DeltaType.
//
// Every scalar is a SimpleNumericType<T> holding one T; the concrete classes
// only add their registered name, their default significant digits, their
// stream encoding and their text. CharType and BooleanType store 32-bit
// unsigned numbers like UnsignedType but are distinct classes, so a checked
// cast tells them apart. Float80Type stores and encodes a 64-bit double.
#pragma once

#include "types/FixedPoint.h"
#include "types/PICType.h"

#include <complex>
#include <cstdint>
#include <type_traits>

namespace arxmod {

class NumericType : public PICType {
public:
  static constexpr std::string_view kClassName = "NumericType";
  using PICType::PICType;

  virtual float asFloat() const = 0;
  virtual double asDouble() const = 0;
  virtual long double asLongDouble() const = 0;
  // Floats and fixed point truncate toward zero (saturating at the limits).
  virtual int32_t asSigned() const = 0;
  virtual uint32_t asUnsigned() const = 0;
  virtual std::complex<double> asComplex() const = 0;
  // Non-zero after truncation to an integer, so 0.4 is false and 2.9 true.
  virtual bool asBoolean() const = 0;
  // Raises FixedPoint::FloatOutOfRange beyond +-2147483648.
  virtual FixedPoint asFixedPoint() const = 0;
  // The bare number, with `extra` stream flags; the stream's flags are kept.
  virtual void writeValue(std::ostream &out, std::ios_base::fmtflags extra) const = 0;
  // The default significant digits of the class (the to-text precision rule).
  virtual int kindCode() const = 0;
  // -1, 0 or 1 against a value of the same type name; 0 for any other value.
  virtual int compare(const PICType &other) const = 0;

  // Equal to any numeric value of the same long double value.
  int equals(const PICType &other) const override;
  // Scalars: the bare number. Without a precision, the class's significant
  // digits decide the decimals and trailing zeros are dropped.
  std::string toText(std::ios_base::fmtflags flags = {}, int precision = -1,
                     bool oneLine = false) const override;
};

class RealType : public NumericType {
public:
  static constexpr std::string_view kClassName = "RealType";
  using NumericType::NumericType;
};

template <typename T> class SimpleNumericType : public RealType {
public:
  using ValueType = T;
  SimpleNumericType(MemoryBlob &blob, T value) : RealType(blob), value_(value) {}

  float asFloat() const override { return static_cast<float>(asLongDouble()); }
  double asDouble() const override { return static_cast<double>(asLongDouble()); }
  long double asLongDouble() const override {
    if constexpr (std::is_same_v<T, FixedPoint>)
      return value_.toLongDouble();
    else
      return static_cast<long double>(value_);
  }
  int32_t asSigned() const override {
    if constexpr (std::is_integral_v<T>)
      return static_cast<int32_t>(value_);
    else
      return static_cast<int32_t>(std::clamp<int64_t>(truncated(), INT32_MIN, INT32_MAX));
  }
  uint32_t asUnsigned() const override {
    if constexpr (std::is_integral_v<T>)
      return static_cast<uint32_t>(value_);
    else
      return static_cast<uint32_t>(truncated());
  }
  std::complex<double> asComplex() const override { return {asDouble(), 0.0}; }
  bool asBoolean() const override { return truncated() != 0; }
  FixedPoint asFixedPoint() const override {
    if constexpr (std::is_same_v<T, FixedPoint>)
      return value_;
    else
      return FixedPoint::fromDouble(asDouble());
  }
  void writeValue(std::ostream &out, std::ios_base::fmtflags extra) const override {
    const std::ios_base::fmtflags saved = out.flags();
    applyFormatFlags(out, extra);
    if constexpr (std::is_same_v<T, FixedPoint>)
      out << value_.toDouble();
    else
      out << value_;
    out.flags(saved);
  }
  int compare(const PICType &other) const override {
    if (other.typeName() != typeName())
      return 0;
    const auto *same = dynamic_cast<const SimpleNumericType<T> *>(&other);
    if (!same)
      return 0;
    const long double a = asLongDouble(), b = same->asLongDouble();
    return a < b ? -1 : (a > b ? 1 : 0);
  }

  void set(T value) noexcept { value_ = value; }
  T get() const noexcept { return value_; }

protected:
  // The integer part, truncated toward zero and saturated to 64 bits.
  int64_t truncated() const noexcept {
    if constexpr (std::is_integral_v<T>) {
      return static_cast<int64_t>(value_);
    } else if constexpr (std::is_same_v<T, FixedPoint>) {
      return value_.truncated();
    } else {
      if (value_ != value_)
        return 0;
      if (value_ >= static_cast<T>(0x1p63))
        return INT64_MAX;
      if (value_ < static_cast<T>(-0x1p63))
        return INT64_MIN;
      return static_cast<int64_t>(value_);
    }
  }

  T value_;
};

// The registered name, digits and duplicate of one concrete scalar class.
template <typename Derived, typename T, FixedName Name, int Digits>
class ScalarType : public SimpleNumericType<T> {
public:
  static constexpr std::string_view kClassName = Name;
  explicit ScalarType(MemoryBlob &blob, T value = T{}) : SimpleNumericType<T>(blob, value) {}

  std::string_view typeName() const override { return Name; }
  int kindCode() const override { return Digits; }
  PICType *duplicate(MemoryBlob &target) const override {
    return target.make<Derived>(this->value_);
  }

protected:
  void printBody(std::ostream &out, std::string_view) const override {
    Derived::printValue(out, this->value_);
  }
};

class SignedType final : public ScalarType<SignedType, int32_t, "SignedType", 5> {
public:
  using ScalarType::ScalarType;
  void encode(NibbleWriter &writer) const override;
  static void printValue(std::ostream &out, int32_t value);
};

class UnsignedType final : public ScalarType<UnsignedType, uint32_t, "UnsignedType", 5> {
public:
  using ScalarType::ScalarType;
  void encode(NibbleWriter &writer) const override;
  static void printValue(std::ostream &out, uint32_t value);
};

class CharType final : public ScalarType<CharType, uint32_t, "CharType", 3> {
public:
  using ScalarType::ScalarType;
  void encode(NibbleWriter &writer) const override;
  static void printValue(std::ostream &out, uint32_t value);
};

class BooleanType final : public ScalarType<BooleanType, uint32_t, "BooleanType", 1> {
public:
  using ScalarType::ScalarType;
  void encode(NibbleWriter &writer) const override;
  static void printValue(std::ostream &out, uint32_t value);
};

class Float32Type final : public ScalarType<Float32Type, float, "Float32Type", 7> {
public:
  using ScalarType::ScalarType;
  void encode(NibbleWriter &writer) const override;
  static void printValue(std::ostream &out, double value);
};

class Float64Type final : public ScalarType<Float64Type, double, "Float64Type", 15> {
public:
  using ScalarType::ScalarType;
  void encode(NibbleWriter &writer) const override;
  static void printValue(std::ostream &out, double value) { Float32Type::printValue(out, value); }
};

class Float80Type final : public ScalarType<Float80Type, double, "Float80Type", 19> {
public:
  using ScalarType::ScalarType;
  void encode(NibbleWriter &writer) const override;
  static void printValue(std::ostream &out, double value) { Float32Type::printValue(out, value); }
};

class FixedPointType final : public ScalarType<FixedPointType, FixedPoint, "FixedPointType", 15> {
public:
  using ScalarType::ScalarType;
  void encode(NibbleWriter &writer) const override;
  static void printValue(std::ostream &out, FixedPoint value) {
    Float32Type::printValue(out, value.toDouble());
  }
};

// No value: the argument of a method without value, and an empty result.
class VoidType final : public PICType {
public:
  static constexpr std::string_view kClassName = "VoidType";
  using PICType::PICType;
  std::string_view typeName() const override { return "VoidType"; }
  void encode(NibbleWriter &writer) const override;
  PICType *duplicate(MemoryBlob &target) const override { return target.make<VoidType>(); }
  int equals(const PICType &other) const override;

protected:
  void printBody(std::ostream &out, std::string_view indent) const override;
};

// The "unchanged" marker.
class DeltaType final : public PICType {
public:
  static constexpr std::string_view kClassName = "DeltaType";
  using PICType::PICType;
  std::string_view typeName() const override { return "DeltaType"; }
  void encode(NibbleWriter &writer) const override;
  PICType *duplicate(MemoryBlob &target) const override { return target.make<DeltaType>(); }
  int equals(const PICType &other) const override;

protected:
  void printBody(std::ostream &out, std::string_view indent) const override;
};

} // namespace arxmod
