// RecorderCache: the XML documents in which the event log and the waveform
// log keep their records.
//
// A cache is a tree document written by the tree writer: it holds one
// object, a copy of the log register, whose value is the text form of a
// LogArrayType with one LogRecordType (sequence number, time stamp, list of
// values) per record held. It is replaced whole (temporary file, flush,
// rename), so a crash leaves the old or the new cache.
#pragma once

#include "tree/RegisterObj.h"
#include "types/StructureArrays.h"

#include <filesystem>
#include <string>

namespace arxmod {

// Writes the cache of `records` for `logRegister` to `file`. Empty on
// success, else the reason ("No space left on device"); `error` is then the
// errno value, or 0 for a fault that is not the system's.
std::string writeRecorderCache(const RegisterObj &logRegister, const LogArrayType &records,
                               const std::filesystem::path &file, int &error);

// The records of the cache at `file`, built in `blob`: nullptr when there is
// no file. A file that is larger than `maxBytes`, is not a tree document, or
// whose register `handle` does not hold a LogArrayType raises KSXmsg
// "Log buffer file is corrupted. EventLogRecorder::CollectGeneralRecords".
const LogArrayType *readRecorderCache(const std::filesystem::path &file, uint32_t handle,
                                      uint64_t maxBytes, MemoryBlob &blob);

inline constexpr const char *kCorruptCacheMessage =
    "Log buffer file is corrupted. EventLogRecorder::CollectGeneralRecords";

} // namespace arxmod
