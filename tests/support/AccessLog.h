// AccessLog: what a unit of the simulated meter was asked to read and write
// in a range of its registers, in order, so that tests can check the
// traffic of a procedure message by message.
//
//   std::shared_ptr<AccessLog> log;
//   meter.withUnit(1, [&](sim::RegisterBank &bank) { log = logAccesses(bank,
//   Table::HoldingRegisters, 100, 2); });
//   ... run ...
//   EXPECT_EQ(log->writes(), (std::vector<LoggedAccess>{{true, 101, {0x1234}}, ...}));
#pragma once

#include "sim/RegisterBank.h"

#include <memory>
#include <vector>

namespace arxmod::test {

struct LoggedAccess {
  bool write;
  uint16_t first;
  std::vector<uint16_t> words; // writes: the words written; reads: empty
  friend bool operator==(const LoggedAccess &, const LoggedAccess &) = default;
};

class AccessLog {
public:
  std::vector<LoggedAccess> accesses; // guarded by the meter's lock, like the bank

  std::vector<LoggedAccess> writes() const { return only(true); }
  size_t readCount() const { return only(false).size(); }

private:
  std::vector<LoggedAccess> only(bool write) const {
    std::vector<LoggedAccess> found;
    for (const LoggedAccess &access : accesses)
      if (access.write == write)
        found.push_back(access);
    return found;
  }
};

// Logs every read and write that overlaps [first, first + count) of `table`.
inline std::shared_ptr<AccessLog> logAccesses(sim::RegisterBank &bank, sim::Table table,
                                              uint16_t first, size_t count) {
  auto log = std::make_shared<AccessLog>();
  bank.onRead(table, first, count, [log](sim::RegisterBank &, const sim::Access &access) {
    log->accesses.push_back({false, access.first, {}});
    return uint8_t{0};
  });
  bank.onWrite(table, first, count, [log](sim::RegisterBank &b, const sim::Access &access) {
    log->accesses.push_back(
        {true, access.first, b.range(access.table, access.first, access.count)});
    return uint8_t{0};
  });
  return log;
}

} // namespace arxmod::test
