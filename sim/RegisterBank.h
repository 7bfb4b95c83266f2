// RegisterBank: the data of one simulated Modbus unit (coils, discrete
// inputs, input registers, holding registers and file records) and the
// hooks through which meter behaviour is added.
//
// Only mapped addresses answer; a request that touches an unmapped one gets
// exception 2. Values of the bit tables are stored as 0 or 1. Hooks are
// attached to a range of a table and run when a request's range overlaps it:
//
//   bank.map(Table::HoldingRegisters, 5249, 22);       // 405250..405271
//   bank.map(Table::HoldingRegisters, 5374, 2);        // 405375..405376
//   bank.onWrite(Table::HoldingRegisters, 5249, 22, [](RegisterBank &b, const Access &) {
//     b.set(Table::HoldingRegisters, 5375, 0);         // command result: success
//     return uint8_t{0};
//   });
//
// A read hook runs before the values are read (it may refresh them, a clock
// for example); a write hook runs after the written values are stored. A
// hook returns 0, or a Modbus exception code that becomes the reply. Tick
// hooks run when the owner of the bank advances time (live values).
//
// A bank is not locked: SimulatedMeter serialises every use, hooks included,
// so a hook must work on the bank it is given and never call the meter.
#pragma once

#include "sim/ModbusCodes.h"

#include "base/Clock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <vector>

namespace arxmod::sim {

// The range a request reads or writes: a table, its first address and the
// count. For file records, `file` names the file and `first` the record.
struct Access {
  Table table = Table::HoldingRegisters;
  uint16_t first = 0;
  uint16_t count = 0;
  uint16_t file = 0;
};

class RegisterBank;
using AccessHook = std::function<uint8_t(RegisterBank &, const Access &)>;
using TickHook = std::function<void(RegisterBank &, WallTime now)>;

class RegisterBank {
public:
  // Makes `count` addresses from `first` answerable, each holding `fill`.
  // A range past the end of the table is cut at address 65535.
  void map(Table table, uint16_t first, size_t count, uint16_t fill = 0);
  // Every address of the four tables.
  void mapAll();
  // True when every address of the range is mapped (false for an empty one
  // or one that runs past address 65535).
  bool mapped(Table table, uint16_t first, size_t count) const;

  // Values of mapped or unmapped addresses; a set of a bit table stores 0 or 1.
  uint16_t get(Table table, uint16_t address) const;
  void set(Table table, uint16_t address, uint16_t value);
  void setRange(Table table, uint16_t first, std::span<const uint16_t> values);
  std::vector<uint16_t> range(Table table, uint16_t first, size_t count) const;

  // File `file` with `records` 16-bit records, all `fill`; replaces one of
  // the same number.
  void mapFile(uint16_t file, size_t records, uint16_t fill = 0);
  // The records [record, record + count) of a file; nothing when the file or
  // any of those records does not exist.
  bool fileRecords(uint16_t file, uint16_t record, uint16_t count,
                   std::vector<uint16_t> &out) const;
  void setFileRecord(uint16_t file, uint16_t record, uint16_t value);

  void onRead(Table table, uint16_t first, size_t count, AccessHook hook);
  void onWrite(Table table, uint16_t first, size_t count, AccessHook hook);
  void onTick(TickHook hook);

  // Run the hooks whose ranges overlap `access`, in the order they were
  // added; the first exception code a hook returns stops the others.
  uint8_t beforeRead(const Access &access);
  uint8_t afterWrite(const Access &access);
  void tick(WallTime now);

private:
  struct Cells {
    std::vector<uint16_t> values; // kTableSize entries once anything is mapped
    std::vector<bool> mapped;
  };
  struct RangeHook {
    Table table;
    uint32_t first;
    uint32_t end; // one past the last address
    AccessHook hook;
  };

  Cells &cells(Table table);
  const Cells &cells(Table table) const;
  static uint8_t runHooks(std::vector<RangeHook> &hooks, RegisterBank &bank, const Access &access);

  Cells tables_[4];
  std::map<uint16_t, std::vector<uint16_t>> files_;
  std::vector<RangeHook> readHooks_;
  std::vector<RangeHook> writeHooks_;
  std::vector<TickHook> tickHooks_;
};

} // namespace arxmod::sim
