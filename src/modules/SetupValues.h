// Setup values of virtual modules: what a module's setup registers hold,
// read when the module is validated and initialised.
//
// A setup's value is the cache's when the cache received one (a map may
// list the setups of a calculated module, which are then read from the
// meter), else the value text of the register in the tree. Texts come
// from a character value, or from an enumerated register's option whose
// ordinal a number gives:
//
//   setupText(mode, cache, tree)    -> "RMS Mode"  (value text 1u, options
//                                                   {"Average Mode", "RMS Mode"})
//   setupNumber(period, cache, tree) -> 900
#pragma once

#include "cache/Cache.h"
#include "tree/TranslationTree.h"

#include <cstdint>
#include <optional>
#include <string>

namespace XLARX {

// The setup's value in `blob`; nullptr when neither the cache nor the tree
// has one (or the tree's text does not parse).
arxmod::PICType *setupValue(uint32_t handle, Cache &cache, const arxmod::TreeReader &tree,
                            arxmod::MemoryBlob &blob);
// A finite number; nullopt otherwise.
std::optional<double> setupNumber(uint32_t handle, Cache &cache, const arxmod::TreeReader &tree);
// The number truncated and held to 0 .. 2^32 - 1.
std::optional<uint32_t> setupUnsigned(uint32_t handle, Cache &cache,
                                      const arxmod::TreeReader &tree);
// The text, or the option an enumerated register's number names; nullopt otherwise.
std::optional<std::string> setupText(uint32_t handle, Cache &cache, const arxmod::TreeReader &tree);

} // namespace XLARX
