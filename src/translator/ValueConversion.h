// XLARX::ValueConversion: the scaling of register values into object values
// and back, as a map entry prescribes.
//
// Reads apply the range mapping first (ModbusMin..ModbusMax onto
// ARXMin..ARXMax, the raw value clamped to its range), then the scaling
// v = (v - Offset) * Multiplier / Scale. Writes undo them in the other
// order: r = Offset + Scale * x / Multiplier, then the range mapping, the
// input clamped to the object-side range. Any of the seven constants may
// name a handle whose current value is used instead (referenceValue): the
// value in the device's cache, else the value stored in the tree.
//
//   ValueConversion conversion(cache.get(), tree.get());
//   double shown = conversion.readConvert(*entry, 1234);    // Scale 10: 123.4
//   double raw = conversion.writeConvert(*entry, 123.4);    // 1234
//
// Every refusal is a MappedARXException with code 3, which fails the one
// invocation that asked.
#pragma once

#include "cache/Cache.h"
#include "map/TranslationInfo.h"
#include "tree/TranslationTree.h"

#include <optional>

namespace XLARX {

class ValueConversion {
public:
  // Referenced values come from `cache`, then `tree`; either may be null.
  ValueConversion(const Cache *cache, const arxmod::TranslationTree *tree)
      : cache_(cache), tree_(tree) {}

  // Register value to object value.
  double readConvert(const arxmod::TranslationFields &entry, double raw) const;
  // Object value to register value.
  double writeConvert(const arxmod::TranslationFields &entry, double value) const;
  // The current value of `handle` as a number.
  double referenceValue(uint32_t handle) const;
  // The register value to write for an invocation's argument: an
  // enumeration text becomes its ordinal, a number stays itself, and a
  // Pulse_Register takes the entry's WriteValue for any other argument; all
  // scaled by writeConvert. None when the argument cannot be written.
  std::optional<double> writeValueOf(const arxmod::TranslationFields &entry,
                                     const arxmod::ARXObj *object, arxmod::PICType *argument) const;

private:
  double effective(const arxmod::ConstantOrReference &constant) const;

  const Cache *cache_;
  const arxmod::TranslationTree *tree_;
};

} // namespace XLARX
