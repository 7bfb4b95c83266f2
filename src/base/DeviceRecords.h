// DeviceRecords: one record per device number for the life of the process,
// made on first use, in a process-wide dictionary.
//
// The dictionary's lock is held only to find or create a record; a record
// never moves once made, so callers keep the reference and guard the
// record's fields themselves. Like every process-wide object it lives on
// the heap behind a ProcessSingleton and is destroyed only by release(), at
// unload, once no call runs.
//
//   namespace { constinit DeviceRecords<MeterState> meterStates; }
//   MeterState &state = meterStates.get(12);
#pragma once

#include "base/ProcessSingleton.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace arxmod {

template <typename T> class DeviceRecords {
public:
  constexpr DeviceRecords() noexcept = default;

  // The record of `deviceId`, made with `new T()` on first use.
  T &get(uint32_t deviceId) {
    Table &table = table_.get();
    std::lock_guard guard(table.lock);
    std::unique_ptr<T> &record = table.records[deviceId];
    if (!record)
      record = std::make_unique<T>();
    return *record;
  }

  // Destroys every record; the next get() starts afresh.
  void release() noexcept { table_.release(); }

private:
  struct Table {
    std::mutex lock;
    std::unordered_map<uint32_t, std::unique_ptr<T>> records;
  };
  ProcessSingleton<Table> table_;
};

} // namespace arxmod
