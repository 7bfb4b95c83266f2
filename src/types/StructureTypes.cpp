// Structures: field checks, the generic encoding, equality, copying and text,
// and the builder the decoder and the text parser share.
#include "types/StructureTypes.h"

#include "types/NibbleWriter.h"

#include <iomanip>

namespace arxmod {
namespace {

std::string_view kindClassName(FieldKind kind) {
  switch (kind) {
  case FieldKind::Unsigned:
    return UnsignedType::kClassName;
  case FieldKind::Numeric:
    return NumericType::kClassName;
  case FieldKind::Value:
    return PICType::kClassName;
  case FieldKind::Handle:
    return UnsignedType::kClassName;
  case FieldKind::CharArray:
    return CharArrayBase::kClassName;
  case FieldKind::UnsignedArray:
    return UnsignedArrayBase::kClassName;
  case FieldKind::NumericArray:
    return SimpleArray::kClassName;
  case FieldKind::Date:
    return DateType::kClassName;
  case FieldKind::List:
    return PICTypeContainer::kClassName;
  }
  return "Not a NewType";
}

bool fitsKind(FieldKind kind, const PICType &value) {
  switch (kind) {
  case FieldKind::Unsigned:
    return dynamic_cast<const UnsignedType *>(&value);
  case FieldKind::Numeric:
    return dynamic_cast<const NumericType *>(&value);
  case FieldKind::Value:
    return true;
  case FieldKind::Handle:
    return dynamic_cast<const UnsignedType *>(&value) ||
           dynamic_cast<const ExtendedHandleType *>(&value);
  case FieldKind::CharArray:
    return dynamic_cast<const CharArrayBase *>(&value);
  case FieldKind::UnsignedArray:
    return dynamic_cast<const UnsignedArrayBase *>(&value);
  case FieldKind::NumericArray:
    return dynamic_cast<const SimpleArray *>(&value);
  case FieldKind::Date:
    return dynamic_cast<const DateType *>(&value);
  case FieldKind::List:
    return dynamic_cast<const PICTypeContainer *>(&value);
  }
  return false;
}

void checkKind(FieldKind kind, const PICType &value) {
  if (fitsKind(kind, value))
    return;
  if (kind == FieldKind::Handle)
    throw EventType::NotAHandle();
  throw PICType::InvalidType(kindClassName(kind), value.typeName());
}

PICType *defaultValue(MemoryBlob &blob, FieldKind kind) {
  switch (kind) {
  case FieldKind::Unsigned:
  case FieldKind::Handle:
    return blob.make<UnsignedType>(0u);
  case FieldKind::Numeric:
    return blob.make<SignedType>(0);
  case FieldKind::Value:
    return blob.make<VoidType>();
  case FieldKind::CharArray:
    return blob.make<Char08Array>(size_t{0});
  case FieldKind::UnsignedArray:
    return blob.make<Uint32Array>(size_t{0});
  case FieldKind::NumericArray:
    return blob.make<Float64Array>(size_t{0});
  case FieldKind::Date:
    return blob.make<DateType>();
  case FieldKind::List:
    return blob.make<PICTypeContainer>();
  }
  return nullptr;
}

template <typename S> PICTypeStructure *makeEmpty(MemoryBlob &blob) {
  return blob.make<S>(EmptyFields{});
}

PICTypeStructure *makeEmptyStructure(MemoryBlob &blob, StructureKey key, uint8_t kindByte) {
  switch (key) {
  case StructureKey::LogRecord:
    return makeEmpty<LogRecordType>(blob);
  case StructureKey::Alarm:
    return makeEmpty<AlarmType>(blob);
  case StructureKey::Event:
    return makeEmpty<EventType>(blob);
  case StructureKey::ExtendedHandle:
    return makeEmpty<ExtendedHandleType>(blob);
  case StructureKey::Range:
    return makeEmpty<RangeType>(blob);
  case StructureKey::List:
    return makeEmpty<PICTypeList>(blob);
  case StructureKey::Exception:
    return makeEmpty<ExceptionType>(blob);
  case StructureKey::Waveform:
    return makeEmpty<WaveformType>(blob);
  case StructureKey::MethodSecurity:
    return makeEmpty<MethodSecurityType>(blob);
  case StructureKey::Date:
    return makeEmpty<DateType>(blob);
  case StructureKey::Calendar:
    return makeEmpty<CalendarType>(blob);
  case StructureKey::Profile:
    return makeEmpty<ProfileType>(blob);
  case StructureKey::StringArray:
    return makeEmpty<StringArrayType>(blob);
  case StructureKey::UnsignedArrayArray:
    return makeEmpty<UnsignedArrayArrayType>(blob);
  case StructureKey::Unknown:
    return blob.make<UnknownStructure>(EmptyFields{}, kindByte);
  case StructureKey::Reserved1:
    break;
  }
  throw PICType::InvalidType();
}

} // namespace

PICType *PICTypeStructure::field(size_t index) const {
  if (index >= fieldCount())
    throw BadIndex(index, fieldCount());
  return fields_[index];
}

void PICTypeStructure::setField(size_t index, PICType *value) {
  const std::span<const FieldSpec> specs = fieldSpecs();
  if (index >= specs.size())
    throw BadIndex(index, specs.size());
  if (!value) {
    if (!specs[index].optional)
      throw InvalidType();
    fields_[index] = nullptr;
    return;
  }
  checkKind(specs[index].kind, *value);
  checkSameBlob(value);
  if (specs[index].kind == FieldKind::List)
    for (const PICType *element : static_cast<const PICTypeContainer &>(*value))
      checkKind(specs[index].element, *element);
  fields_[index] = value;
}

PICTypeContainer &PICTypeStructure::list() const {
  for (size_t i = 0; i < fieldCount(); ++i)
    if (fieldSpecs()[i].kind == FieldKind::List && fields_[i])
      return static_cast<PICTypeContainer &>(*fields_[i]);
  throw InvalidType();
}

void PICTypeStructure::setDefaults() {
  const std::span<const FieldSpec> specs = fieldSpecs();
  for (size_t i = 0; i < specs.size(); ++i)
    fields_[i] = specs[i].optional ? nullptr : defaultValue(blob(), specs[i].kind);
}

uint32_t PICTypeStructure::unsignedField(size_t index) const {
  return picCast<UnsignedType>(field(index))->get();
}

void PICTypeStructure::setUnsignedField(size_t index, uint32_t value) {
  setField(index, blob().make<UnsignedType>(value));
}

bool PICTypeStructure::isListStructure() const {
  const std::span<const FieldSpec> specs = fieldSpecs();
  return specs.size() == 1 && specs[0].kind == FieldKind::List;
}

void PICTypeStructure::encodeFields(NibbleWriter &writer) const {
  for (size_t i = 0; i < fieldCount(); ++i)
    if (fields_[i])
      fields_[i]->encodeAsValue(writer);
}

void PICTypeStructure::encode(NibbleWriter &writer) const {
  putKey(writer, pic_token::kStructureKey);
  putStructureKind(writer, structureKey(), unknownKindByte());
  encodeFields(writer);
  putKey(writer, pic_token::kEndStruct);
}

PICType *PICTypeStructure::duplicate(MemoryBlob &target) const {
  PICTypeStructure *copy = emptyCopy(target);
  for (size_t i = 0; i < fieldCount(); ++i)
    if (fields_[i])
      copy->fields_[i] = fields_[i]->duplicate(target);
  return copy;
}

int PICTypeStructure::equals(const PICType &other) const {
  const auto *structure = dynamic_cast<const PICTypeStructure *>(&other);
  if (!structure || structure->typeName() != typeName())
    return 0;
  for (size_t i = 0; i < fieldCount(); ++i)
    if (!sameValue(fields_[i], structure->fields_[i]))
      return 0;
  return 1;
}

void PICTypeStructure::printBody(std::ostream &out, std::string_view indent) const {
  if (isListStructure()) {
    list().printElements(out, indent);
    return;
  }
  const std::string inner = std::string(indent) + '\t';
  for (size_t i = 0; i < fieldCount(); ++i)
    if (fields_[i])
      fields_[i]->print(out, inner);
  out << indent;
}

NumericType *LogRecordType::numeric() const { return picCast<NumericType>(field(1)); }

ExtendedHandleType::ExtendedHandleType(MemoryBlob &blob, uint32_t handle, std::string_view name)
    : StructureImpl(blob) {
  setHandle(handle);
  setName(name);
}

std::string ExtendedHandleType::name() const {
  const PICType *name = field(1);
  return name ? static_cast<const CharArrayBase *>(name)->text() : std::string();
}

void ExtendedHandleType::setName(std::string_view name) {
  setField(1, name.empty() ? nullptr : makeString(blob(), name));
}

void ExtendedHandleType::printBody(std::ostream &out, std::string_view indent) const {
  const std::ios_base::fmtflags saved = out.flags();
  out << indent << "\t0x" << std::hex << std::nouppercase << handle();
  out.flags(saved);
  const std::string text = name();
  if (!text.empty())
    out << '@' << text;
}

void RangeType::printBody(std::ostream &out, std::string_view) const {
  out << unsignedField(0) << "u " << unsignedField(1) << "u ";
}

ExceptionType::ExceptionType(MemoryBlob &blob, uint32_t code, std::string_view text)
    : StructureImpl(blob) {
  setCode(code);
  setText(text);
}

std::string ExceptionType::text() const {
  const PICType *text = field(2);
  return text ? static_cast<const CharArrayBase *>(text)->text() : std::string();
}

void ExceptionType::setText(std::string_view text) { setField(2, makeString(blob(), text)); }

void StringArrayType::printBody(std::ostream &out, std::string_view indent) const {
  for (const PICType *text : list())
    out << indent << "\t\"" << static_cast<const CharArrayBase *>(text)->text() << '"';
  out << indent;
}

int UnknownStructure::equals(const PICType &other) const {
  const auto *unknown = dynamic_cast<const UnknownStructure *>(&other);
  return unknown && unknown->kindByte_ == kindByte_ && PICTypeStructure::equals(other);
}

PICTypeStructure *buildStructure(MemoryBlob &blob, StructureKey key, const PICTypeContainer &fields,
                                 uint8_t unknownKindByte) {
  PICTypeStructure *structure = makeEmptyStructure(blob, key, unknownKindByte);
  const std::span<const FieldSpec> specs = structure->fieldSpecs();
  if (specs.size() == 1 && specs[0].kind == FieldKind::List) {
    auto *list = blob.make<PICTypeContainer>();
    for (PICType *element : fields)
      list->append(element);
    structure->setField(0, list);
    return structure;
  }
  size_t required = 0;
  for (const FieldSpec &spec : specs)
    required += spec.optional ? 0 : 1;
  if (fields.count() < required || fields.count() > specs.size())
    throw PICType::InvalidType();
  size_t index = 0;
  for (PICType *value : fields)
    structure->setField(index++, value);
  return structure;
}

namespace {

struct StructureNames {
  StructureKey key;
  std::string_view name;
  std::string_view arrayName;
};

constexpr StructureNames kStructureNames[] = {
    {StructureKey::LogRecord, LogRecordType::kClassName, LogRecordType::kArrayName},
    {StructureKey::Alarm, AlarmType::kClassName, AlarmType::kArrayName},
    {StructureKey::Event, EventType::kClassName, EventType::kArrayName},
    {StructureKey::ExtendedHandle, ExtendedHandleType::kClassName, ExtendedHandleType::kArrayName},
    {StructureKey::Range, RangeType::kClassName, RangeType::kArrayName},
    {StructureKey::List, PICTypeList::kClassName, PICTypeList::kArrayName},
    {StructureKey::Exception, ExceptionType::kClassName, ExceptionType::kArrayName},
    {StructureKey::Waveform, WaveformType::kClassName, WaveformType::kArrayName},
    {StructureKey::MethodSecurity, MethodSecurityType::kClassName, MethodSecurityType::kArrayName},
    {StructureKey::Date, DateType::kClassName, DateType::kArrayName},
    {StructureKey::Calendar, CalendarType::kClassName, CalendarType::kArrayName},
    {StructureKey::Profile, ProfileType::kClassName, ProfileType::kArrayName},
    {StructureKey::StringArray, StringArrayType::kClassName, StringArrayType::kArrayName},
    {StructureKey::UnsignedArrayArray, UnsignedArrayArrayType::kClassName,
     UnsignedArrayArrayType::kArrayName},
    {StructureKey::Unknown, UnknownStructure::kClassName, UnknownStructure::kArrayName},
};

} // namespace

bool structureKeyOf(std::string_view typeName, StructureKey &key) {
  for (const StructureNames &names : kStructureNames)
    if (names.name == typeName) {
      key = names.key;
      return true;
    }
  return false;
}

bool structureArrayKeyOf(std::string_view typeName, StructureKey &key) {
  for (const StructureNames &names : kStructureNames)
    if (names.arrayName == typeName) {
      key = names.key;
      return true;
    }
  return false;
}

} // namespace arxmod
