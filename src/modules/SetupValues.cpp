// Setup values of virtual modules, from the cache or the tree.
#include "modules/SetupValues.h"

#include "tree/RegisterObj.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

#include <algorithm>
#include <cmath>

namespace XLARX {

using arxmod::PICType;

namespace {
constexpr size_t kSetupBlobBytes = 512;
} // namespace

PICType *setupValue(uint32_t handle, Cache &cache, const arxmod::TreeReader &tree,
                    arxmod::MemoryBlob &blob) {
  {
    Cache::Access values = cache.access();
    if (const CacheValue *value = values.find(handle); value && value->received())
      return value->copyInto(blob);
  }
  const auto *setup = dynamic_cast<const arxmod::RegisterObj *>(tree.find(handle));
  if (!setup || !setup->valueText())
    return nullptr;
  try {
    return setup->value(&blob);
  } catch (const arxmod::KSXmsg &) {
    return nullptr; // a value text that does not parse is no value
  }
}

std::optional<double> setupNumber(uint32_t handle, Cache &cache, const arxmod::TreeReader &tree) {
  arxmod::MemoryBlob blob(kSetupBlobBytes);
  const auto *number =
      dynamic_cast<const arxmod::NumericType *>(setupValue(handle, cache, tree, blob));
  if (!number || !std::isfinite(number->asDouble()))
    return std::nullopt;
  return number->asDouble();
}

std::optional<uint32_t> setupUnsigned(uint32_t handle, Cache &cache,
                                      const arxmod::TreeReader &tree) {
  const std::optional<double> number = setupNumber(handle, cache, tree);
  if (!number)
    return std::nullopt;
  return static_cast<uint32_t>(std::clamp(std::trunc(*number), 0.0, 4294967295.0));
}

std::optional<std::string> setupText(uint32_t handle, Cache &cache,
                                     const arxmod::TreeReader &tree) {
  arxmod::MemoryBlob blob(kSetupBlobBytes);
  const PICType *value = setupValue(handle, cache, tree, blob);
  if (const auto *text = dynamic_cast<const arxmod::CharArrayBase *>(value))
    return text->text();
  const auto *number = dynamic_cast<const arxmod::NumericType *>(value);
  const auto *enumerated = dynamic_cast<const arxmod::EnumObj *>(tree.find(handle));
  if (!number || !enumerated || !enumerated->options())
    return std::nullopt;
  const double ordinal = number->asDouble();
  const auto &options = *enumerated->options();
  if (!(ordinal >= 0) || ordinal >= static_cast<double>(options.size()))
    return std::nullopt;
  return options[static_cast<size_t>(ordinal)];
}

} // namespace XLARX
