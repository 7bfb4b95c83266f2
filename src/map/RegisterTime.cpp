// Date-time register layouts: calendar fields in registers to seconds since
// 1970-01-01 00:00 UTC and back.
//
// Fields are read as UTC calendar time, and a field out of range carries
// into the next larger one (month 13 is January of the next year, day 0 the
// last day of the month before), so a meter's odd value still gives a time.
// The LOCAL layouts hold the meter's local standard time: decoding adds the
// zone bias and encoding subtracts it (ZoneBias.h). The arithmetic is done in
// 64-bit integers on days from the civil calendar, which has no range limit
// for any field a register can hold and needs no time-zone state.
#include "map/RegisterCodecs.h"

#include "map/ZoneBias.h"

#include <cmath>
#include <limits>

namespace XLARX::detail {
namespace {

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int64_t floorMod(int64_t a, int64_t b) { return a - floorDiv(a, b) * b; }

// Days from 1970-01-01 to the given proleptic Gregorian date (month 1 to 12).
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = floorDiv(year, 400);
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct Civil {
  int64_t year;
  int64_t month; // 1 to 12
  int64_t day;   // 1 to 31
};

Civil civilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = floorDiv(days, 146097);
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  return {yearOfEra + era * 400 + (month <= 2), month, day};
}

struct Fields {
  int64_t year, month, day, hour, minute, second;
};

// UTC seconds of calendar fields, carrying fields that are out of range.
int64_t utcSeconds(const Fields &f) {
  const int64_t monthIndex = f.month - 1;
  const int64_t days =
      daysFromCivil(f.year + floorDiv(monthIndex, 12), floorMod(monthIndex, 12) + 1, 1) + f.day - 1;
  return days * 86400 + f.hour * 3600 + f.minute * 60 + f.second;
}

bool isLocal(uint32_t format) {
  return format == MBF_DateTime4_LOCAL || format == MBF_DateTime3_LOCAL ||
         format == MBF_DateTime_YMDhms_LOCAL || format == MBF_DATETIME_IEC870_LOCAL ||
         format == MBF_DateTime3_IEC870_LOCAL;
}

size_t wordsOf(uint32_t format) { return formatRegisterCount(format); }

// Seconds a LOCAL decoder adds: the bias in force now (YMDHMS always takes
// the standard one).
int64_t decodeBiasSeconds(uint32_t format) {
  const ZoneBias zone = currentZoneBias();
  if (zone.daylight && format != MBF_DateTime_YMDhms_LOCAL)
    return int64_t{zone.bias} * 60;
  return (int64_t{zone.bias} + zone.standardBias) * 60;
}

// Milliseconds of a time, rounded and held within 64 bits (NaN gives 0).
int64_t wholeMilliseconds(double seconds) {
  const double ms = std::round(seconds * 1000.0);
  if (std::isnan(ms))
    return 0;
  constexpr double kLimit = 0x1p62;
  if (ms >= kLimit)
    return static_cast<int64_t>(kLimit);
  if (ms <= -kLimit)
    return -static_cast<int64_t>(kLimit);
  return static_cast<int64_t>(ms);
}

uint16_t bytes(int64_t high, int64_t low) {
  return static_cast<uint16_t>((static_cast<uint64_t>(high) & 0xFF) << 8 |
                               (static_cast<uint64_t>(low) & 0xFF));
}

} // namespace

void decodeTime(std::span<const uint16_t> words, ModbusConversion &value) {
  const uint32_t format = value.format;
  const auto marker = static_cast<uint16_t>(value.notAvailableValue);
  // Not available when every register of the time (the first three of the
  // DATETIME4 layouts) holds the marker.
  const bool fourWithMillis = format == MBF_DateTime4_UTC || format == MBF_DateTime4_LOCAL;
  const size_t compared = fourWithMillis ? 3 : wordsOf(format);
  bool allMarked = value.notAvailableCheck;
  for (size_t i = 0; i < compared && allMarked; ++i)
    allMarked = words[i] == marker;
  value.kind = ConversionKind::Number;
  value.available = !allMarked;
  if (allMarked)
    return;

  double fraction = 0;
  Fields f{};
  switch (format) {
  case MBF_DateTime4_UTC:
  case MBF_DateTime4_LOCAL:
    if (!(value.notAvailableCheck && words[3] == marker))
      fraction = (words[3] % 1000) / 1000.0;
    [[fallthrough]];
  case MBF_DateTime3_UTC:
  case MBF_DateTime3_LOCAL:
    f = {1900 + hi(words[1]), hi(words[0]), lo(words[0]), lo(words[1]), hi(words[2]), lo(words[2])};
    break;
  case MBF_DateTime_YMDhms_UTC:
  case MBF_DateTime_YMDhms_LOCAL:
    f = {words[0], words[1], words[2], words[3], words[4], words[5]};
    break;
  default: // the IEC 870 layouts
    f = {2000 + (words[0] & 0x7F), hi(words[1]) & 0x0F, lo(words[1]) & 0x1F,
         hi(words[2]) & 0x1F,      lo(words[2]) & 0x3F, words[3] / 1000};
    if (format == MBF_DATETIME_IEC870_LOCAL || format == MBF_DATETIME_IEC870_UTC)
      fraction = (words[3] % 1000) / 1000.0;
    break;
  }
  int64_t seconds = utcSeconds(f);
  if (isLocal(format))
    seconds += decodeBiasSeconds(format);
  value.number = static_cast<double>(seconds) + fraction;
  value.text.clear();
}

void encodeTime(const ModbusConversion &value, std::span<uint16_t> registers) {
  const uint32_t format = value.format;
  double time = value.number;
  if (isLocal(format)) {
    const ZoneBias zone = currentZoneBias();
    time -= (static_cast<double>(zone.bias) + zone.standardBias) * 60;
  }
  const int64_t ms = wholeMilliseconds(time);
  const int64_t seconds = floorDiv(ms, 1000);
  const int64_t secondOfDay = floorMod(seconds, 86400);
  const Civil date = civilFromDays(floorDiv(seconds, 86400));
  const int64_t hour = secondOfDay / 3600, minute = secondOfDay / 60 % 60,
                second = secondOfDay % 60;
  if (format == MBF_DateTime_YMDhms_UTC || format == MBF_DateTime_YMDhms_LOCAL) {
    const int64_t fields[] = {date.year, date.month, date.day, hour, minute, second};
    for (size_t i = 0; i < 6; ++i)
      registers[i] = static_cast<uint16_t>(static_cast<uint64_t>(fields[i]));
    return;
  }
  registers[0] = bytes(date.month, date.day);
  registers[1] = bytes(date.year - 1900, hour);
  registers[2] = bytes(minute, second);
  if (format == MBF_DateTime4_UTC || format == MBF_DateTime4_LOCAL)
    registers[3] = static_cast<uint16_t>(floorMod(ms, 1000));
}

} // namespace XLARX::detail
