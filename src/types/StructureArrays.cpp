// Arrays of structures: elements, the stream form, equality and copies.
#include "types/StructureArrays.h"

#include "types/NibbleWriter.h"

namespace arxmod {

PICStrucArrayBase::PICStrucArrayBase(MemoryBlob &blob)
    : PICType(blob), items_(blob.make<PICTypeContainer>()) {}

void PICStrucArrayBase::appendItem(PICType *element) {
  checkElement(element);
  items_->append(element);
}

void PICStrucArrayBase::encode(NibbleWriter &writer) const {
  putKey(writer, pic_token::kStructureArrayKey);
  putStructureKind(writer, elementKey(), unknownKindByte());
  for (const PICType *element : *items_) {
    static_cast<const PICTypeStructure *>(element)->encodeFields(writer);
    putKey(writer, pic_token::kEndStruct);
  }
  putKey(writer, pic_token::kEndStructureArray);
}

PICType *PICStrucArrayBase::duplicate(MemoryBlob &target) const {
  PICStrucArrayBase *copy = emptyCopy(target);
  for (const PICType *element : *items_)
    copy->items_->append(element->duplicate(target));
  return copy;
}

int PICStrucArrayBase::equals(const PICType &other) const {
  const auto *array = dynamic_cast<const PICStrucArrayBase *>(&other);
  return array && array->structureCount() == structureCount() && items_->equals(*array->items_);
}

void PICStrucArrayBase::printBody(std::ostream &out, std::string_view indent) const {
  items_->printElements(out, indent);
}

void UnknownStructureArray::checkElement(PICType *element) const {
  if (picCast<UnknownStructure>(element)->unknownKindByte() != kindByte_)
    throw InvalidType();
}

PICStrucArrayBase *makeStructureArray(MemoryBlob &blob, StructureKey key, uint8_t unknownKindByte) {
  switch (key) {
  case StructureKey::LogRecord:
    return blob.make<LogArrayType>();
  case StructureKey::Alarm:
    return blob.make<AlarmArray>();
  case StructureKey::Event:
    return blob.make<EventArray>();
  case StructureKey::ExtendedHandle:
    return blob.make<ExtendedHandleArrayType>();
  case StructureKey::Range:
    return blob.make<RangeArray>();
  case StructureKey::List:
    return blob.make<PICTypeListArray>();
  case StructureKey::Exception:
    return blob.make<ExceptionArrayType>();
  case StructureKey::Waveform:
    return blob.make<WaveformArray>();
  case StructureKey::MethodSecurity:
    return blob.make<MethodSecurityArrayType>();
  case StructureKey::Date:
    return blob.make<DateArray>();
  case StructureKey::Calendar:
    return blob.make<CalendarArray>();
  case StructureKey::Profile:
    return blob.make<ProfileArray>();
  case StructureKey::StringArray:
    return blob.make<StringArrayArrayType>();
  case StructureKey::UnsignedArrayArray:
    return blob.make<UnsignedArrayArrayArrayType>();
  case StructureKey::Unknown:
    return blob.make<UnknownStructureArray>(unknownKindByte);
  case StructureKey::Reserved1:
    break;
  }
  throw PICType::InvalidType();
}

} // namespace arxmod
