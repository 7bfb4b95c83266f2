// Units, faults and the lock of the simulated meter.
#include "sim/SimulatedMeter.h"

#include "sim/PduAnswer.h"

#include <stdexcept>
#include <string>

namespace arxmod::sim {

void SimulatedMeter::addUnit(uint8_t unit, const std::function<void(RegisterBank &)> &setup) {
  std::lock_guard lock(mutex_);
  Unit &added = units_[unit];
  if (setup)
    setup(added.bank);
}

bool SimulatedMeter::hasUnit(uint8_t unit) const {
  std::lock_guard lock(mutex_);
  return units_.contains(unit);
}

SimulatedMeter::Unit &SimulatedMeter::unitOf(uint8_t unit) {
  const auto found = units_.find(unit);
  if (found == units_.end())
    throw std::out_of_range("the simulated meter has no unit " + std::to_string(unit));
  return found->second;
}

void SimulatedMeter::withUnit(uint8_t unit, const std::function<void(RegisterBank &)> &work) {
  std::lock_guard lock(mutex_);
  work(unitOf(unit).bank);
}

void SimulatedMeter::inject(uint8_t unit, const Fault &fault) {
  std::lock_guard lock(mutex_);
  unitOf(unit).faults.push_back(fault);
}

void SimulatedMeter::clearFaults(uint8_t unit) {
  std::lock_guard lock(mutex_);
  unitOf(unit).faults.clear();
}

uint64_t SimulatedMeter::requestCount(uint8_t unit) const {
  std::lock_guard lock(mutex_);
  const auto found = units_.find(unit);
  return found == units_.end() ? 0 : found->second.requests;
}

std::optional<Fault> SimulatedMeter::takeFault(Unit &unit, uint8_t function) {
  for (auto it = unit.faults.begin(); it != unit.faults.end(); ++it) {
    if (!it->matches(function))
      continue;
    const Fault fault = *it;
    if (it->times == 1)
      unit.faults.erase(it);
    else if (it->times > 1)
      --it->times;
    return fault;
  }
  return std::nullopt;
}

SimReply SimulatedMeter::applyFault(const Fault &fault, Unit &unit, std::span<const uint8_t> pdu) {
  const uint8_t function = pdu[0];
  switch (fault.kind) {
  case FaultKind::NoReply:
    return {};
  case FaultKind::Exception:
    return {exceptionPdu(function,
                         static_cast<uint8_t>(fault.value.value_or(ex::kServerDeviceFailure))),
            {}};
  default:
    break;
  }
  std::vector<uint8_t> reply = answerPdu(unit.bank, pdu);
  switch (fault.kind) {
  case FaultKind::CutShort:
    reply.resize(std::min<size_t>(fault.value.value_or(reply.size() / 2), reply.size() - 1));
    break;
  case FaultKind::WrongFunction:
    reply[0] = static_cast<uint8_t>(fault.value.value_or(function == fc::kReadHoldingRegisters
                                                             ? fc::kReadInputRegisters
                                                             : fc::kReadHoldingRegisters));
    break;
  case FaultKind::WrongTransmission:
    // Byte 3 of a scattered read reply is its transmission number.
    if (reply.size() > 3)
      reply[3] = static_cast<uint8_t>(fault.value.value_or(reply[3] + 1u));
    break;
  case FaultKind::Delay:
    return {std::move(reply), std::chrono::milliseconds(fault.value.value_or(0))};
  default:
    break;
  }
  return {std::move(reply), {}};
}

SimReply SimulatedMeter::answer(uint8_t unit, std::span<const uint8_t> pdu) {
  std::lock_guard lock(mutex_);
  const auto found = units_.find(unit);
  if (found == units_.end() || pdu.empty())
    return {};
  Unit &target = found->second;
  ++target.requests;
  if (const auto fault = takeFault(target, pdu[0]))
    return applyFault(*fault, target, pdu);
  return {answerPdu(target.bank, pdu), {}};
}

void SimulatedMeter::tick(WallTime now) {
  std::lock_guard lock(mutex_);
  for (auto &[number, unit] : units_)
    unit.bank.tick(now);
}

} // namespace arxmod::sim
