// Arrays of structures: structures of one kind in a PICTypeContainer. On the
// wire the element structures carry no key of their own: the array names the
// kind once and each element is its fields and END_STRUCT.
#pragma once

#include "types/StructureTypes.h"

namespace arxmod {

class PICStrucArrayBase : public PICType {
public:
  static constexpr std::string_view kClassName = "PICStrucArrayBase";
  explicit PICStrucArrayBase(MemoryBlob &blob);

  virtual size_t structureCount() const { return items_->count(); }
  virtual StructureKey elementKey() const = 0;
  virtual uint8_t unknownKindByte() const { return 0; }

  // The element at `index`; BadIndex "Bad Index i Should be between 0 and n".
  PICType *item(size_t index) const { return items_->at(index); }
  const PICTypeContainer &items() const noexcept { return *items_; }
  // Appends an element of the array's kind (InvalidType) from this arena.
  void appendItem(PICType *element);

  void encode(NibbleWriter &writer) const override;
  PICType *duplicate(MemoryBlob &target) const override;
  // Equal when the counts match and the elements are equal in order.
  int equals(const PICType &other) const override;

protected:
  virtual PICStrucArrayBase *emptyCopy(MemoryBlob &target) const = 0;
  // Raises InvalidType unless `element` is of the element class.
  virtual void checkElement(PICType *element) const = 0;
  void printBody(std::ostream &out, std::string_view indent) const override;

private:
  PICTypeContainer *items_;
};

template <typename S> class PICStrucArray : public PICStrucArrayBase {
public:
  static constexpr std::string_view kClassName = S::kArrayName;
  using PICStrucArrayBase::PICStrucArrayBase;

  std::string_view typeName() const override { return S::kArrayName; }
  StructureKey elementKey() const override { return S::kKey; }
  S *at(size_t index) const { return static_cast<S *>(item(index)); }
  void append(S *element) { appendItem(element); }

protected:
  PICStrucArrayBase *emptyCopy(MemoryBlob &target) const override {
    return target.make<PICStrucArray<S>>();
  }
  void checkElement(PICType *element) const override { picCast<S>(element); }
};

using AlarmArray = PICStrucArray<AlarmType>;
using CalendarArray = PICStrucArray<CalendarType>;
using DateArray = PICStrucArray<DateType>;
using EventArray = PICStrucArray<EventType>;
using ExceptionArrayType = PICStrucArray<ExceptionType>;
using ExtendedHandleArrayType = PICStrucArray<ExtendedHandleType>;
using LogArrayType = PICStrucArray<LogRecordType>;
using MethodSecurityArrayType = PICStrucArray<MethodSecurityType>;
using PICTypeListArray = PICStrucArray<PICTypeList>;
using ProfileArray = PICStrucArray<ProfileType>;
using RangeArray = PICStrucArray<RangeType>;
using StringArrayArrayType = PICStrucArray<StringArrayType>;
using UnsignedArrayArrayArrayType = PICStrucArray<UnsignedArrayArrayType>;
using WaveformArray = PICStrucArray<WaveformType>;

// Unknown structures of one kind byte.
class UnknownStructureArray final : public PICStrucArray<UnknownStructure> {
public:
  UnknownStructureArray(MemoryBlob &blob, uint8_t kindByte)
      : PICStrucArray(blob), kindByte_(kindByte) {}
  uint8_t unknownKindByte() const override { return kindByte_; }

protected:
  PICStrucArrayBase *emptyCopy(MemoryBlob &target) const override {
    return target.make<UnknownStructureArray>(kindByte_);
  }
  void checkElement(PICType *element) const override;

private:
  uint8_t kindByte_;
};

// An empty array of structures of `key`; InvalidType for a kind without one.
PICStrucArrayBase *makeStructureArray(MemoryBlob &blob, StructureKey key,
                                      uint8_t unknownKindByte = 0);

} // namespace arxmod
