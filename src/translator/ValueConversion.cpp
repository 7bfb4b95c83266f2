// XLARX::ValueConversion: scaling, range mapping and referenced constants.
#include "translator/ValueConversion.h"

#include "translator/InvocationErrors.h"
#include "tree/RegisterObj.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

#include <shared_mutex>
#include <sstream>

namespace XLARX {

using arxmod::PICType;

namespace {

constexpr uint32_t kPulseRegister = 26;
// Longest enumeration text looked up for a write.
constexpr size_t kMaxWriteText = 8192;

[[noreturn]] void refuse(const std::string &text) { throw MappedARXException(3, text); }

[[noreturn]] void badReference(const std::string &problem) {
  refuse("Bad register reference (" + problem + ")");
}

struct Range {
  double modbusMin, modbusMax, arxMin, arxMax;
};

// The value of a stored or cached register as a number.
double numberOf(const PICType *value, uint32_t handle) {
  if (!value)
    badReference("handle " + std::to_string(handle) + " has no value");
  if (const auto *number = dynamic_cast<const arxmod::NumericType *>(value))
    return number->asDouble();
  if (const auto *text = dynamic_cast<const arxmod::CharArrayBase *>(value)) {
    std::istringstream in(text->text());
    double number = 0;
    if (!(in >> number))
      badReference("cannot convert string to numeric");
    return number;
  }
  if (const auto *error = dynamic_cast<const arxmod::ExceptionType *>(value)) {
    const std::string text = error->text();
    badReference("handle " + std::to_string(handle) + " holds error " +
                 std::to_string(error->code()) + (text.empty() ? "" : ": " + text));
  }
  badReference("handle " + std::to_string(handle) + " holds a " + std::string(value->typeName()));
}

} // namespace

double ValueConversion::effective(const arxmod::ConstantOrReference &constant) const {
  return constant.handle == 0 ? constant.constant : referenceValue(constant.handle);
}

double ValueConversion::referenceValue(uint32_t handle) const {
  arxmod::MemoryBlob blob(arxmod::kProgramBlobSize);
  arxmod::PICType *argument = blob.make<arxmod::VoidType>();
  const PICType *value = cache_ ? cache_->readCached(handle, 21, argument, 0) : nullptr;
  if (!value && tree_) {
    std::shared_lock guard(tree_->objects()->lock());
    if (const auto *reg = dynamic_cast<const arxmod::RegisterObj *>(tree_->objects()->find(handle)))
      try {
        value = reg->value(&blob);
      } catch (const arxmod::PICType::Exceptions &failure) {
        badReference("handle " + std::to_string(handle) + ": " + failure.text());
      }
  }
  return numberOf(value, handle);
}

double ValueConversion::readConvert(const arxmod::TranslationFields &entry, double raw) const {
  double v = raw;
  if (entry.rangePresent) {
    const Range r{effective(entry.modbusMin), effective(entry.modbusMax), effective(entry.arxMin),
                  effective(entry.arxMax)};
    if (r.arxMin == r.arxMax || r.modbusMin == r.modbusMax)
      refuse("Min and max scaling constants cannot be equal");
    const double t = r.modbusMin > raw ? r.modbusMin : (r.modbusMax < raw ? r.modbusMax : raw);
    const double u = (r.modbusMax - r.modbusMin) / (r.arxMax - r.arxMin);
    v = (t - (r.modbusMin - r.arxMin * u)) / u;
  }
  if (entry.scalingPresent) {
    const double scale = effective(entry.scale);
    if (scale == 0)
      refuse("Divisor constant cannot be zero");
    v = (v - effective(entry.offset)) * effective(entry.multiplier) / scale;
  }
  return v;
}

double ValueConversion::writeConvert(const arxmod::TranslationFields &entry, double value) const {
  double r = value;
  if (entry.scalingPresent) {
    const double multiplier = effective(entry.multiplier);
    if (multiplier == 0)
      refuse("Multiplier attribute can not be zero for writing requests.");
    r = effective(entry.offset) + effective(entry.scale) * value / multiplier;
  }
  if (entry.rangePresent) {
    const Range g{effective(entry.modbusMin), effective(entry.modbusMax), effective(entry.arxMin),
                  effective(entry.arxMax)};
    if (g.arxMin == g.arxMax || g.modbusMin == g.modbusMax)
      refuse("Min and max scaling constants cannot be equal");
    // The bounds test looks at the value given, not the scaled one.
    if (g.arxMin > value)
      r = g.arxMin;
    else if (g.arxMax < value)
      r = g.arxMax;
    const double k = (g.modbusMax - g.modbusMin) / (g.arxMax - g.arxMin);
    r = g.modbusMin - g.arxMin * k + k * r;
  }
  return r;
}

std::optional<double> ValueConversion::writeValueOf(const arxmod::TranslationFields &entry,
                                                    const arxmod::ARXObj *object,
                                                    PICType *argument) const {
  const auto *number = dynamic_cast<const arxmod::NumericType *>(argument);
  double x = 0;
  if (entry.enumeration) {
    if (const auto *text = dynamic_cast<const arxmod::CharArrayBase *>(argument)) {
      int32_t ordinal = 0;
      if (!entry.enumeration->ordinalFor(text->text().substr(0, kMaxWriteText), ordinal))
        return std::nullopt;
      x = ordinal;
    } else if (number) {
      x = number->asDouble();
    } else {
      return std::nullopt;
    }
  } else if (number) {
    x = number->asDouble();
  } else if (object && object->classNumber() == kPulseRegister) {
    return writeConvert(entry, entry.writeValue);
  } else {
    return std::nullopt;
  }
  return writeConvert(entry, x);
}

} // namespace XLARX
