// The recorder factory: which recorder a log register gets, and its depth.
//
// By the register's class number and its owner, which must be a module:
//
//   register class          owner module class               recorder
//   31 EventLog_Register    any module                       EventLogRecorder
//   30 Log_Register         537 DataRecorder_Module          DataLogRecorder
//   30 Log_Register         536 WaveformRecorder_Module      WaveformLogRecorder
//   anything else                                            none
//
// The depth is the value of the module's Depth setup register (the setup
// whose name contains "Depth"), which must be a bounded register holding a
// number from 1 to its upper bound, and at most kMaxLogDepth: a depth
// decides how much memory and disk a log takes, so a tree that allows
// billions of slots must not get them. A data log records the module's
// first 16 inputs that have a handle (its sources), one value each.
#pragma once

#include "logs/BufRecorder.h"
#include "tree/RegisterObj.h"
#include "tree/TranslationTree.h"

#include <filesystem>

namespace XLARX {

inline constexpr uint32_t kMaxLogDepth = 1'000'000;
inline constexpr size_t kMaxDataLogSources = 16;

// The register `handle` of `tree` when it is a log register (class 30 or
// 31), which may have a recorder; nullptr otherwise. A look-up in the tree
// only, cheap enough for every read a client makes.
const arxmod::RegisterObj *logRegisterOf(const arxmod::TreeReader &tree, uint32_t handle);

// A recorder for the log register `handle` of `tree` (nullptr when the
// register gets none), starting at `position`, with its files in
// `directory`; already restored from its file or started anew. Raises the
// depth messages ("Log depth register missing from tree.", ...) as KSXmsg.
arxmod::IRefPtr<BufRecorder> makeRecorder(arxmod::LogKey key, const arxmod::TreeReader &tree,
                                          uint32_t position,
                                          const std::filesystem::path &directory);

// The depth configured by `module`'s Depth setup register.
uint32_t logDepth(const arxmod::ModuleObj &module, const arxmod::TreeReader &tree);

// The file of the log `key` in `directory`: "<16 hexadecimal digits>.arx".
std::filesystem::path logFileName(const std::filesystem::path &directory, arxmod::LogKey key);

} // namespace XLARX
