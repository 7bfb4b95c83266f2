// The structures of the object protocol: fixed field lists (alarm, event,
// exception, extended handle, log record, method security, range, waveform,
// date, calendar, profile), the list structures (PICTypeList,
// StringArrayType, UnsignedArrayArrayType) and UnknownStructure, which keeps
// the values of a structure kind this system does not know.
//
// Each class is described by its key and a table of field kinds; the base
// class does everything else generically from that table: checking fields
// on the way in, encoding, equality, copying and the text form. A list
// structure has one field, a PICTypeContainer, whose elements are its
// fields on the wire and in text.
#pragma once

#include "types/ArrayTypes.h"
#include "types/PICTypeContainer.h"

#include <array>
#include <span>

namespace arxmod {

enum class FieldKind {
  Unsigned,      // UnsignedType
  Numeric,       // any NumericType
  Value,         // any value
  Handle,        // UnsignedType or ExtendedHandleType (EventType::NotAHandle otherwise)
  CharArray,     // a character array
  UnsignedArray, // an unsigned array
  NumericArray,  // any scalar array
  Date,          // DateType
  List,          // PICTypeContainer whose elements are of `element` kind
};

struct FieldSpec {
  FieldKind kind;
  bool optional = false;
  FieldKind element = FieldKind::Value;
};

class PICTypeStructure : public PICType {
public:
  static constexpr std::string_view kClassName = "PICTypeStructure";
  static constexpr size_t kMaxFields = 6;
  using PICType::PICType;

  // The fields in their order, each encoded as a value.
  virtual void encodeFields(NibbleWriter &writer) const;
  virtual StructureKey structureKey() const = 0;
  virtual std::span<const FieldSpec> fieldSpecs() const = 0;
  // The kind byte an unknown structure arrived with (0 for known kinds).
  virtual uint8_t unknownKindByte() const { return 0; }

  size_t fieldCount() const { return fieldSpecs().size(); }
  // The field, or nullptr for an absent optional field; BadIndex past the end.
  PICType *field(size_t index) const;
  // Stores a field after checking its kind (InvalidType) and arena
  // (FromWrongBlob); nullptr clears an optional field.
  void setField(size_t index, PICType *value);
  // The elements of a list structure.
  PICTypeContainer &list() const;

  // STRUCTURE_KEY, kind, fields, END_STRUCT.
  void encode(NibbleWriter &writer) const override;
  PICType *duplicate(MemoryBlob &target) const override;
  int equals(const PICType &other) const override;

protected:
  // A structure of the same class with no fields set.
  virtual PICTypeStructure *emptyCopy(MemoryBlob &target) const = 0;
  void printBody(std::ostream &out, std::string_view indent) const override;
  // Fills every required field with its zero value.
  void setDefaults();
  uint32_t unsignedField(size_t index) const;
  void setUnsignedField(size_t index, uint32_t value);

private:
  bool isListStructure() const;

  std::array<PICType *, kMaxFields> fields_{};
};

// Marks constructors that leave every field empty (for copies and builders).
struct EmptyFields {};

template <typename Derived, StructureKey Key, FixedName Name, FixedName ArrayName>
class StructureImpl : public PICTypeStructure {
public:
  static constexpr std::string_view kClassName = Name;
  static constexpr std::string_view kArrayName = ArrayName;
  static constexpr StructureKey kKey = Key;

  explicit StructureImpl(MemoryBlob &blob) : PICTypeStructure(blob) { setDefaults(); }
  StructureImpl(MemoryBlob &blob, EmptyFields) : PICTypeStructure(blob) {}

  std::string_view typeName() const override { return Name; }
  StructureKey structureKey() const override { return Key; }
  std::span<const FieldSpec> fieldSpecs() const override { return Derived::kFields; }

protected:
  PICTypeStructure *emptyCopy(MemoryBlob &target) const override {
    return target.make<Derived>(EmptyFields{});
  }
};

class LogRecordType final : public StructureImpl<LogRecordType, StructureKey::LogRecord,
                                                 "LogRecordType", "LogArrayType"> {
public:
  static constexpr FieldSpec kFields[] = {
      {FieldKind::Unsigned}, {FieldKind::Numeric}, {FieldKind::List}};
  using StructureImpl::StructureImpl;

  uint32_t recordNumber() const { return unsignedField(0); }
  size_t listCount() const { return list().count(); }
  NumericType *numeric() const;
  PICTypeContainer *values() const { return &list(); }
  void setRecordNumber(uint32_t value) { setUnsignedField(0, value); }
  void setRecordNumber(PICType *value) { setField(0, picCast<UnsignedType>(value)); }
  void setNumeric(PICType *value) { setField(1, picCast<NumericType>(value)); }
  void setValues(PICTypeContainer *values) { setField(2, values); }
  void setValues(PICType *value) { setField(2, picCast<PICTypeContainer>(value)); }
};

class AlarmType final
    : public StructureImpl<AlarmType, StructureKey::Alarm, "AlarmType", "AlarmArray"> {
public:
  static constexpr FieldSpec kFields[] = {{FieldKind::Unsigned},
                                          {FieldKind::Unsigned},
                                          {FieldKind::Unsigned},
                                          {FieldKind::Unsigned, true}};
  using StructureImpl::StructureImpl;
};

class EventType final
    : public StructureImpl<EventType, StructureKey::Event, "EventType", "EventArray"> {
public:
  class NotAHandle : public PICType::Exceptions {
  public:
    NotAHandle() : Exceptions("Not a handle") {}
  };
  static constexpr FieldSpec kFields[] = {{FieldKind::Unsigned}, {FieldKind::Unsigned},
                                          {FieldKind::Handle},   {FieldKind::Value},
                                          {FieldKind::Handle},   {FieldKind::Value}};
  using StructureImpl::StructureImpl;
};

class ExtendedHandleType final
    : public StructureImpl<ExtendedHandleType, StructureKey::ExtendedHandle, "ExtendedHandleType",
                           "ExtendedHandleArrayType"> {
public:
  static constexpr FieldSpec kFields[] = {{FieldKind::Unsigned}, {FieldKind::CharArray, true}};
  using StructureImpl::StructureImpl;
  // A handle with an optional node name (none when `name` is empty).
  ExtendedHandleType(MemoryBlob &blob, uint32_t handle, std::string_view name);

  uint32_t handle() const { return unsignedField(0); }
  void setHandle(uint32_t handle) { setUnsignedField(0, handle); }
  bool hasName() const { return field(1) != nullptr; }
  std::string name() const;
  void setName(std::string_view name);

protected:
  // Not named: I, a tab, the handle in hexadecimal, "@" and the name.
  void printBody(std::ostream &out, std::string_view indent) const override;
};

class RangeType final
    : public StructureImpl<RangeType, StructureKey::Range, "RangeType", "RangeArray"> {
public:
  static constexpr FieldSpec kFields[] = {{FieldKind::Unsigned}, {FieldKind::Unsigned}};
  using StructureImpl::StructureImpl;

protected:
  void printBody(std::ostream &out, std::string_view indent) const override;
};

class PICTypeList final
    : public StructureImpl<PICTypeList, StructureKey::List, "PICTypeList", "PICTypeListArray"> {
public:
  static constexpr FieldSpec kFields[] = {{FieldKind::List}};
  using StructureImpl::StructureImpl;
  void append(PICType *value) { list().append(value); }
};

class ExceptionType final : public StructureImpl<ExceptionType, StructureKey::Exception,
                                                 "ExceptionType", "ExceptionArrayType"> {
public:
  static constexpr FieldSpec kFields[] = {
      {FieldKind::Unsigned}, {FieldKind::Value}, {FieldKind::CharArray, true}};
  using StructureImpl::StructureImpl;
  // Error code and text, with a VoidType value.
  ExceptionType(MemoryBlob &blob, uint32_t code, std::string_view text);

  uint32_t code() const { return unsignedField(0); }
  void setCode(uint32_t code) { setUnsignedField(0, code); }
  PICType *value() const { return field(1); }
  void setValue(PICType *value) { setField(1, value); }
  std::string text() const;
  void setText(std::string_view text);
};

class WaveformType final
    : public StructureImpl<WaveformType, StructureKey::Waveform, "WaveformType", "WaveformArray"> {
public:
  static constexpr FieldSpec kFields[] = {{FieldKind::Numeric},
                                          {FieldKind::Numeric},
                                          {FieldKind::Numeric},
                                          {FieldKind::Numeric},
                                          {FieldKind::NumericArray}};
  using StructureImpl::StructureImpl;
};

class MethodSecurityType final
    : public StructureImpl<MethodSecurityType, StructureKey::MethodSecurity, "MethodSecurityType",
                           "MethodSecurityArrayType"> {
public:
  static constexpr FieldSpec kFields[] = {{FieldKind::Unsigned}, {FieldKind::Unsigned}};
  using StructureImpl::StructureImpl;
};

class DateType final : public StructureImpl<DateType, StructureKey::Date, "DateType", "DateArray"> {
public:
  static constexpr FieldSpec kFields[] = {
      {FieldKind::Unsigned}, {FieldKind::Unsigned}, {FieldKind::Unsigned}};
  using StructureImpl::StructureImpl;
};

class CalendarType final
    : public StructureImpl<CalendarType, StructureKey::Calendar, "CalendarType", "CalendarArray"> {
public:
  static constexpr FieldSpec kFields[] = {{FieldKind::Date}, {FieldKind::UnsignedArray}};
  using StructureImpl::StructureImpl;
};

class ProfileType final
    : public StructureImpl<ProfileType, StructureKey::Profile, "ProfileType", "ProfileArray"> {
public:
  static constexpr FieldSpec kFields[] = {{FieldKind::UnsignedArray}, {FieldKind::UnsignedArray}};
  using StructureImpl::StructureImpl;
};

class StringArrayType final : public StructureImpl<StringArrayType, StructureKey::StringArray,
                                                   "StringArrayType", "StringArrayArrayType"> {
public:
  static constexpr FieldSpec kFields[] = {{FieldKind::List, false, FieldKind::CharArray}};
  using StructureImpl::StructureImpl;
  void append(std::string_view text) { list().append(makeString(blob(), text)); }

protected:
  // Every string quoted on its own line.
  void printBody(std::ostream &out, std::string_view indent) const override;
};

class UnsignedArrayArrayType final
    : public StructureImpl<UnsignedArrayArrayType, StructureKey::UnsignedArrayArray,
                           "UnsignedArrayArrayType", "UnsignedArrayArrayArrayType"> {
public:
  static constexpr FieldSpec kFields[] = {{FieldKind::List, false, FieldKind::UnsignedArray}};
  using StructureImpl::StructureImpl;
};

// A structure of a kind this system does not know, kept with its kind byte
// so that it is written back unchanged.
class UnknownStructure final : public StructureImpl<UnknownStructure, StructureKey::Unknown,
                                                    "UnknownStructure", "UnknownStructureArray"> {
public:
  static constexpr FieldSpec kFields[] = {{FieldKind::List}};
  UnknownStructure(MemoryBlob &blob, uint8_t kindByte) : StructureImpl(blob), kindByte_(kindByte) {}
  UnknownStructure(MemoryBlob &blob, EmptyFields empty, uint8_t kindByte = 0)
      : StructureImpl(blob, empty), kindByte_(kindByte) {}
  uint8_t unknownKindByte() const override { return kindByte_; }
  int equals(const PICType &other) const override;

protected:
  PICTypeStructure *emptyCopy(MemoryBlob &target) const override {
    return target.make<UnknownStructure>(EmptyFields{}, kindByte_);
  }

private:
  uint8_t kindByte_;
};

// Builds the structure of `key` from its fields in order (for a list
// structure: its elements), checking every field. Raises InvalidType for a
// field of the wrong kind or a wrong number of fields.
PICTypeStructure *buildStructure(MemoryBlob &blob, StructureKey key, const PICTypeContainer &fields,
                                 uint8_t unknownKindByte = 0);

// The structure key registered for a structure's type name, if any.
bool structureKeyOf(std::string_view typeName, StructureKey &key);
// The element structure key registered for an array of structures' type name.
bool structureArrayKeyOf(std::string_view typeName, StructureKey &key);

} // namespace arxmod
