// buildCache: a device's value cache made from its translation map.
//
// Which handles the cache holds, and how each is refreshed:
//   - every handle an entry refers to (the handles of Scale, Multiplier,
//     Offset, ModbusMin, ModbusMax, ARXMin, ARXMax, the configurable value
//     and the configurable label): high-speed group, refreshable (0x10|0x40);
//   - every setup register: also 0x01;
//   - every entry with a CacheSpec: refreshable, plus 0x04 for a piece with
//     "C" and 0x04|0x08 for a piece with "D";
//   - the setup handles of the map's calculated modules that the map lists:
//     0x02|0x20|0x40 with the low-speed period as age limit; an unlisted one
//     only gains 0x02 when it is in the cache already.
// Only handles with a map entry get a value. When a value is made, the
// handles its own entry refers to are added first (high-speed group), so
// the refresh order reads every reference before the entries that use it.
// Age limits are the map's high-speed period unless said otherwise. The
// tree must not be empty.
//
//   IRefPtr<Cache> cache = buildCache(*map, tree, deviceName, deviceId);
#pragma once

#include "cache/Cache.h"
#include "map/TranslationMap.h"

#include <array>
#include <cstdint>
#include <string>

namespace XLARX {

arxmod::IRefPtr<Cache> buildCache(const arxmod::TranslationMap &map,
                                  arxmod::IRefPtr<arxmod::TranslationTree> tree,
                                  std::string deviceName, uint32_t deviceId);

// The handles an entry refers to, in the order above (0 where it names none).
std::array<uint32_t, 9> referenceHandles(const arxmod::TranslationInfo &entry);

// The flags of a CacheSpec text: pieces split at commas.
uint32_t cacheSpecFlags(std::string_view cacheSpec);

} // namespace XLARX
