// SampleValues: one value of every class, built in a caller's arena, for the
// round-trip tests and as seeds of the fuzz loops.
#pragma once

#include "types/PICCodec.h"

#include <string>
#include <utility>
#include <vector>

namespace arxmod::test {

using Bytes = std::vector<uint8_t>;

// The binary form of `value`.
inline Bytes encoded(const PICType &value) {
  Bytes buffer(kResultAreaSize);
  buffer.resize(encodePIC(value, buffer));
  return buffer;
}

inline Uint32Array *makeUnsignedArray(MemoryBlob &blob, std::vector<uint32_t> values) {
  return blob.make<Uint32Array>(std::span<const uint32_t>(values));
}

inline PICTypeContainer *makeList(MemoryBlob &blob, std::initializer_list<PICType *> values) {
  auto *list = blob.make<PICTypeContainer>();
  for (PICType *value : values)
    list->append(value);
  return list;
}

// (name, value) for every value class that encodes as a value.
inline std::vector<std::pair<std::string, PICType *>> sampleValues(MemoryBlob &blob) {
  std::vector<std::pair<std::string, PICType *>> samples;
  auto add = [&](PICType *value) { samples.emplace_back(std::string(value->typeName()), value); };
  add(blob.make<SignedType>(-300));
  add(blob.make<UnsignedType>(0x12345678u));
  add(blob.make<CharType>(65u));
  add(blob.make<BooleanType>(1u));
  add(blob.make<Float32Type>(2.5f));
  add(blob.make<Float64Type>(-1234.5678));
  add(blob.make<Float80Type>(0.375));
  add(blob.make<FixedPointType>(FixedPoint::fromDouble(-1.5)));
  add(blob.make<VoidType>());
  add(blob.make<DeltaType>());
  add(blob.make<Uint08Array>(std::span<const uint8_t>({1, 2, 3})));
  add(blob.make<Uint16Array>(std::span<const uint16_t>({1, 0x203})));
  add(makeUnsignedArray(blob, {7, 70000, 0xFFFFFFFE}));
  add(blob.make<Sint08Array>(std::span<const int8_t>({-1, 5})));
  add(blob.make<Sint16Array>(std::span<const int16_t>({-300, 300})));
  add(blob.make<Sint32Array>(std::span<const int32_t>({-70000})));
  add(makeString(blob, "No value received from device."));
  add(blob.make<Char16Array>(std::span<const uint16_t>({'A', 'B'})));
  add(blob.make<Char32Array>(std::span<const uint32_t>({'x'})));
  add(blob.make<Boolean08Array>(std::span<const uint8_t>({1, 0, 1})));
  add(blob.make<Boolean16Array>(std::span<const uint16_t>({0, 1})));
  add(blob.make<Boolean32Array>(std::span<const uint32_t>({1, 1})));
  add(blob.make<Float32Array>(std::span<const float>({1.5f, -2.0f})));
  add(blob.make<Float64Array>(std::span<const double>({0.25, 1e20})));
  add(blob.make<Float80Array>(std::span<const double>({-0.5})));

  auto *log = blob.make<LogRecordType>();
  log->setRecordNumber(42);
  log->setNumeric(blob.make<Float64Type>(12.5));
  log->setValues(makeList(blob, {blob.make<UnsignedType>(1u), makeString(blob, "kWh")}));
  add(log);
  auto *alarm = blob.make<AlarmType>();
  alarm->setField(3, blob.make<UnsignedType>(9u));
  add(alarm);
  auto *event = blob.make<EventType>();
  event->setField(2, blob.make<ExtendedHandleType>(0x1234u, "east"));
  event->setField(3, blob.make<Float32Type>(0.5f));
  event->setField(4, blob.make<UnsignedType>(0x20u));
  event->setField(5, makeString(blob, "Over limit"));
  add(event);
  add(blob.make<ExtendedHandleType>(0x1Au, "east"));
  add(blob.make<ExtendedHandleType>(0x1Bu, ""));
  auto *range = blob.make<RangeType>();
  range->setField(0, blob.make<UnsignedType>(1u));
  range->setField(1, blob.make<UnsignedType>(2u));
  add(range);
  auto *list = blob.make<PICTypeList>();
  list->append(blob.make<UnsignedType>(5u));
  list->append(blob.make<SignedType>(-5));
  add(list);
  add(blob.make<ExceptionType>(5u, "No value received from device."));
  add(blob.make<ExceptionType>());
  auto *waveform = blob.make<WaveformType>();
  waveform->setField(0, blob.make<Float64Type>(60.0));
  waveform->setField(4, blob.make<Sint16Array>(std::span<const int16_t>({-1, 0, 1})));
  add(waveform);
  add(blob.make<MethodSecurityType>());
  auto *date = blob.make<DateType>();
  date->setField(0, blob.make<UnsignedType>(2024u));
  add(date);
  auto *calendar = blob.make<CalendarType>();
  calendar->setField(1, makeUnsignedArray(blob, {1, 2}));
  add(calendar);
  auto *profile = blob.make<ProfileType>();
  profile->setField(0, makeUnsignedArray(blob, {3}));
  add(profile);
  auto *strings = blob.make<StringArrayType>();
  strings->append("first");
  strings->append("second one");
  add(strings);
  auto *arrays = blob.make<UnsignedArrayArrayType>();
  arrays->list().append(makeUnsignedArray(blob, {1, 2, 3}));
  arrays->list().append(makeUnsignedArray(blob, {}));
  add(arrays);
  auto *unknown = blob.make<UnknownStructure>(uint8_t{0x42});
  unknown->list().append(blob.make<UnsignedType>(8u));
  add(unknown);

  auto *ranges = blob.make<RangeArray>();
  ranges->append(range);
  ranges->append(static_cast<RangeType *>(range->duplicate(blob)));
  add(ranges);
  auto *handles = blob.make<ExtendedHandleArrayType>();
  handles->append(blob.make<ExtendedHandleType>(1u, "a"));
  add(handles);
  auto *logs = blob.make<LogArrayType>();
  logs->append(log);
  add(logs);
  add(blob.make<AlarmArray>());
  auto *unknowns = blob.make<UnknownStructureArray>(uint8_t{0x42});
  unknowns->appendItem(unknown);
  add(unknowns);
  return samples;
}

} // namespace arxmod::test
