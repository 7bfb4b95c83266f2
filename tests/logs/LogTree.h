// LogTree: a device tree with one log of each kind, the fixture of the log
// tests, the crash helper and the benchmark.
#pragma once

#include "tree/ObjList.h"
#include "types/PICTypeContainer.h"

#include <cstdint>
#include <span>

namespace arxmod::test {

inline constexpr uint32_t kDevice = 7;
// Data recorder module (537) with up to 16 sources from kFirstSource, a bounded Depth
// setup and its data log (class 30).
inline constexpr uint32_t kDataModule = 0x200;
inline constexpr uint32_t kFirstSource = 0x201;
inline constexpr uint32_t kDataDepth = 0x230;
inline constexpr uint32_t kDataLog = 0x220;
// Waveform recorder module (536) and its log.
inline constexpr uint32_t kWaveModule = 0x300;
inline constexpr uint32_t kWaveDepth = 0x310;
inline constexpr uint32_t kWaveLog = 0x320;
// Event log controller module (522) and its event log (class 31).
inline constexpr uint32_t kEventModule = 0x400;
inline constexpr uint32_t kEventDepth = 0x410;
inline constexpr uint32_t kEventLog = 0x420;
// A log register owned by a Minimum module (no recorder) and a numeric register.
inline constexpr uint32_t kOtherModule = 0x500;
inline constexpr uint32_t kOtherLog = 0x520;
inline constexpr uint32_t kPlainRegister = 0x600;
// Upper bound of every Depth register.
inline constexpr double kDepthBound = 100000;

// Every log has `depth` slots; the data log records `sources` values.
IRefPtr<ObjList> makeLogTree(uint32_t depth = 10, size_t sources = 2);

// A data log record: the values as Float64Type in a list.
PICTypeContainer *makeRecord(MemoryBlob &blob, std::span<const double> values);

} // namespace arxmod::test
