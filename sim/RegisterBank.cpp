// The tables, files and hooks of one simulated unit.
#include "sim/RegisterBank.h"

#include <algorithm>
#include <stdexcept>

namespace arxmod::sim {
namespace {

bool isBitTable(Table table) { return table == Table::Coils || table == Table::DiscreteInputs; }

// The end of [first, first + count) cut at the end of the table.
size_t clippedEnd(uint16_t first, size_t count) {
  return first + std::min(count, kTableSize - first);
}

} // namespace

RegisterBank::Cells &RegisterBank::cells(Table table) {
  if (table == Table::FileRecords)
    throw std::invalid_argument("file records are not a register table");
  return tables_[static_cast<size_t>(table)];
}

const RegisterBank::Cells &RegisterBank::cells(Table table) const {
  return const_cast<RegisterBank *>(this)->cells(table);
}

void RegisterBank::map(Table table, uint16_t first, size_t count, uint16_t fill) {
  Cells &c = cells(table);
  if (c.values.empty()) {
    c.values.assign(kTableSize, 0);
    c.mapped.assign(kTableSize, false);
  }
  const uint16_t value = isBitTable(table) ? (fill != 0) : fill;
  for (size_t a = first, end = clippedEnd(first, count); a < end; ++a) {
    c.values[a] = value;
    c.mapped[a] = true;
  }
}

void RegisterBank::mapAll() {
  for (Table table :
       {Table::Coils, Table::DiscreteInputs, Table::InputRegisters, Table::HoldingRegisters})
    map(table, 0, kTableSize);
}

bool RegisterBank::mapped(Table table, uint16_t first, size_t count) const {
  const Cells &c = cells(table);
  if (c.mapped.empty() || count == 0 || count > kTableSize - first)
    return false;
  return std::all_of(c.mapped.begin() + first, c.mapped.begin() + first + count,
                     [](bool m) { return m; });
}

uint16_t RegisterBank::get(Table table, uint16_t address) const {
  const Cells &c = cells(table);
  return c.values.empty() ? 0 : c.values[address];
}

void RegisterBank::set(Table table, uint16_t address, uint16_t value) {
  Cells &c = cells(table);
  if (c.values.empty()) {
    c.values.assign(kTableSize, 0);
    c.mapped.assign(kTableSize, false);
  }
  c.values[address] = isBitTable(table) ? (value != 0) : value;
}

void RegisterBank::setRange(Table table, uint16_t first, std::span<const uint16_t> values) {
  const size_t end = clippedEnd(first, values.size());
  for (size_t a = first; a < end; ++a)
    set(table, static_cast<uint16_t>(a), values[a - first]);
}

std::vector<uint16_t> RegisterBank::range(Table table, uint16_t first, size_t count) const {
  std::vector<uint16_t> out;
  const size_t end = clippedEnd(first, count);
  out.reserve(end - first);
  for (size_t a = first; a < end; ++a)
    out.push_back(get(table, static_cast<uint16_t>(a)));
  return out;
}

void RegisterBank::mapFile(uint16_t file, size_t records, uint16_t fill) {
  files_[file].assign(std::min<size_t>(records, kMaxFileRecordNumber + 1), fill);
}

bool RegisterBank::fileRecords(uint16_t file, uint16_t record, uint16_t count,
                               std::vector<uint16_t> &out) const {
  const auto found = files_.find(file);
  if (found == files_.end() || count == 0 || record >= found->second.size() ||
      count > found->second.size() - record)
    return false;
  out.assign(found->second.begin() + record, found->second.begin() + record + count);
  return true;
}

void RegisterBank::setFileRecord(uint16_t file, uint16_t record, uint16_t value) {
  auto found = files_.find(file);
  if (found == files_.end() || record >= found->second.size())
    throw std::out_of_range("file " + std::to_string(file) + " has no record " +
                            std::to_string(record));
  found->second[record] = value;
}

void RegisterBank::onRead(Table table, uint16_t first, size_t count, AccessHook hook) {
  readHooks_.push_back(
      {table, first, static_cast<uint32_t>(clippedEnd(first, count)), std::move(hook)});
}

void RegisterBank::onWrite(Table table, uint16_t first, size_t count, AccessHook hook) {
  writeHooks_.push_back(
      {table, first, static_cast<uint32_t>(clippedEnd(first, count)), std::move(hook)});
}

void RegisterBank::onTick(TickHook hook) { tickHooks_.push_back(std::move(hook)); }

uint8_t RegisterBank::runHooks(std::vector<RangeHook> &hooks, RegisterBank &bank,
                               const Access &access) {
  const uint32_t first = access.first;
  const uint32_t end = first + access.count;
  for (RangeHook &h : hooks) {
    if (h.table != access.table || h.first >= end || first >= h.end)
      continue;
    if (const uint8_t code = h.hook(bank, access))
      return code;
  }
  return 0;
}

uint8_t RegisterBank::beforeRead(const Access &access) {
  return runHooks(readHooks_, *this, access);
}

uint8_t RegisterBank::afterWrite(const Access &access) {
  return runHooks(writeHooks_, *this, access);
}

void RegisterBank::tick(WallTime now) {
  for (TickHook &hook : tickHooks_)
    hook(*this, now);
}

} // namespace arxmod::sim
