// Arrays of scalars: a count and the elements, stored in the arena at their
// storage width (8, 16 or 32 bits for integers and characters, 32 or 64 bits
// for floats).
//
// ArrayType<S, E, B, T, Name> is one concrete array class: S the stored
// element, E the scalar class an element reads as, B the abstract base that
// groups the classes of one kind (and fixes the array key), T the value
// type of an element. A "Char08Array" is the system's string.
#pragma once

#include "types/NumericTypes.h"
#include "types/PICTokens.h"

#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace arxmod {

class SimpleArray : public PICType {
public:
  static constexpr std::string_view kClassName = "SimpleArray";
  using PICType::PICType;

  virtual size_t count() const = 0;
  // The element as a new scalar of the element class in `target`.
  virtual NumericType *elementValue(size_t index, MemoryBlob &target) const = 0;
  virtual long double elementAsLongDouble(size_t index) const = 0;
  // The array key token (14 characters, 15 floats, 16 signed, 17 unsigned,
  // 27 booleans).
  virtual int arrayKey() const = 0;
  // The stored element as an integer (floats truncate toward zero).
  virtual int64_t elementAsInteger(size_t index) const = 0;
  virtual const void *elementPointer(size_t index) const = 0;
  // Bytes per element in the stream.
  virtual unsigned elementWidth() const = 0;

  // Equal to any scalar array of the same count and element values.
  int equals(const PICType &other) const override;

protected:
  // Raises BadIndex ("Bad Index") for an index not below the count.
  void checkIndex(size_t index) const;
};

template <typename T> class SimpleArrayTBase : public SimpleArray {
public:
  using SimpleArray::SimpleArray;
  virtual T element(size_t index) const = 0;
  virtual void setElement(size_t index, T value) = 0;
};

template <typename T, int Key, FixedName Name> class ArrayKindBase : public SimpleArrayTBase<T> {
public:
  static constexpr std::string_view kClassName = Name;
  using SimpleArrayTBase<T>::SimpleArrayTBase;
  int arrayKey() const override { return Key; }
};

using UnsignedArrayBase =
    ArrayKindBase<unsigned, pic_token::kUnsignedArrayKey, "UnsignedArrayBase">;
using SignedArrayBase = ArrayKindBase<int, pic_token::kSignedArrayKey, "SignedArrayBase">;
using BooleanArrayBase = ArrayKindBase<unsigned, pic_token::kBooleanArrayKey, "BooleanArrayType">;
using FloatArrayBase = ArrayKindBase<double, pic_token::kFloatArrayKey, "FloatArrayBase">;

class CharArrayBase : public ArrayKindBase<unsigned, pic_token::kCharArrayKey, "CharArrayType"> {
public:
  using ArrayKindBase::ArrayKindBase;
  // The characters, each element taken as one byte.
  std::string text() const;

protected:
  void printBody(std::ostream &out, std::string_view indent) const override;
};

template <typename S, typename E, typename B, typename T, FixedName Name>
class ArrayType final : public B {
public:
  static constexpr std::string_view kClassName = Name;
  using StoredType = S;

  // `count` zero elements.
  ArrayType(MemoryBlob &blob, size_t count)
      : B(blob), count_(count), data_(allocate(blob, count)) {}
  ArrayType(MemoryBlob &blob, std::span<const S> elements) : ArrayType(blob, elements.size()) {
    if (!elements.empty())
      std::memcpy(data_, elements.data(), elements.size() * sizeof(S));
  }

  std::string_view typeName() const override { return Name; }
  size_t count() const override { return count_; }
  T element(size_t index) const override {
    this->checkIndex(index);
    return static_cast<T>(data_[index]);
  }
  void setElement(size_t index, T value) override {
    this->checkIndex(index);
    data_[index] = static_cast<S>(value);
  }
  NumericType *elementValue(size_t index, MemoryBlob &target) const override {
    this->checkIndex(index);
    return target.make<E>(static_cast<typename E::ValueType>(data_[index]));
  }
  long double elementAsLongDouble(size_t index) const override {
    this->checkIndex(index);
    return static_cast<long double>(data_[index]);
  }
  int64_t elementAsInteger(size_t index) const override {
    this->checkIndex(index);
    if constexpr (std::is_floating_point_v<S>) {
      const S value = data_[index];
      if (!(value > -0x1p63 && value < 0x1p63))
        return 0;
    }
    return static_cast<int64_t>(data_[index]);
  }
  const void *elementPointer(size_t index) const override {
    this->checkIndex(index);
    return data_ + index;
  }
  unsigned elementWidth() const override { return sizeof(S); }
  std::span<S> elements() noexcept { return {data_, count_}; }
  std::span<const S> elements() const noexcept { return {data_, count_}; }

  void encode(NibbleWriter &writer) const override;
  PICType *duplicate(MemoryBlob &target) const override {
    return target.make<ArrayType>(elements());
  }

protected:
  void printBody(std::ostream &out, std::string_view indent) const override {
    if constexpr (std::is_base_of_v<CharArrayBase, B>) {
      B::printBody(out, indent);
    } else {
      for (size_t i = 0; i < count_; ++i) {
        out << indent << '\t';
        E::printValue(out, static_cast<typename E::ValueType>(data_[i]));
      }
      out << indent;
    }
  }

private:
  static S *allocate(MemoryBlob &blob, size_t count) {
    if (count > SIZE_MAX / 4 / sizeof(S))
      throw PICType::BadIndex();
    auto *data = static_cast<S *>(blob.allocate(count * sizeof(S)));
    if (count)
      std::memset(data, 0, count * sizeof(S));
    return data;
  }

  size_t count_;
  S *data_;
};

using Uint08Array = ArrayType<uint8_t, UnsignedType, UnsignedArrayBase, unsigned, "Uint08Array">;
using Uint16Array = ArrayType<uint16_t, UnsignedType, UnsignedArrayBase, unsigned, "Uint16Array">;
using Uint32Array = ArrayType<uint32_t, UnsignedType, UnsignedArrayBase, unsigned, "Uint32Array">;
using Sint08Array = ArrayType<int8_t, SignedType, SignedArrayBase, int, "Sint08Array">;
using Sint16Array = ArrayType<int16_t, SignedType, SignedArrayBase, int, "Sint16Array">;
using Sint32Array = ArrayType<int32_t, SignedType, SignedArrayBase, int, "Sint32Array">;
using Char08Array = ArrayType<uint8_t, CharType, CharArrayBase, unsigned, "Char08Array">;
using Char16Array = ArrayType<uint16_t, CharType, CharArrayBase, unsigned, "Char16Array">;
using Char32Array = ArrayType<uint32_t, CharType, CharArrayBase, unsigned, "Char32Array">;
using Boolean08Array =
    ArrayType<uint8_t, BooleanType, BooleanArrayBase, unsigned, "Boolean08Array">;
using Boolean16Array =
    ArrayType<uint16_t, BooleanType, BooleanArrayBase, unsigned, "Boolean16Array">;
using Boolean32Array =
    ArrayType<uint32_t, BooleanType, BooleanArrayBase, unsigned, "Boolean32Array">;
using Float32Array = ArrayType<float, Float32Type, FloatArrayBase, double, "Float32Array">;
using Float64Array = ArrayType<double, Float64Type, FloatArrayBase, double, "Float64Array">;
using Float80Array = ArrayType<double, Float80Type, FloatArrayBase, double, "Float80Array">;

// A "Char08Array" holding `text` (the system's string).
Char08Array *makeString(MemoryBlob &blob, std::string_view text);

// Key, size, payload length and elements; shared by every array class.
void encodeArray(NibbleWriter &writer, const SimpleArray &array, const void *data);

template <typename S, typename E, typename B, typename T, FixedName Name>
void ArrayType<S, E, B, T, Name>::encode(NibbleWriter &writer) const {
  encodeArray(writer, *this, data_);
}

} // namespace arxmod
