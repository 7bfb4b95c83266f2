// SPXP_DreModule: the data recorder, which appends a record of its sources
// to its PC-side data log at every Record pulse.
//
// Registers: inputs 0 to 15 are the sources, 16 Enable, 17 Record, 18
// Rearm, 19 Reset; outputs in order Data Log (the log register, class 30),
// Log State, Records Left, Record Complete, Event; setups " Depth" (the
// log's depth, within the recorder's range), "Staleness Threshold"
// (seconds) and "Staleness Action" ("Log N/A": action 0, the default;
// "Last-Known-Value": action 1).
//
// One pass: a Reset pulse clears the log and raises the "Reset"/"Pulsed"
// event; Enable turning off releases the module's interest in its sources,
// turning on takes it back; with Enable on, a Record pulse builds one
// record: one value per source with a handle (the first 16 inputs, as the
// data log records them), the source's cached number when it is younger
// than the threshold or the action is 1, else "not available" (a stale
// source, no value, a value that is no number, an input of another node).
// The record goes to the log with the pass time, and Record Complete
// counts it with the pass time rounded to whole seconds.
//
// Choices of this implementation: Log State follows Enable; Records Left
// is the depth less the records taken since the start or the last reset
// (at least 0); Rearm, RecordMode, LogMode, EvLog Mode and Insert Outage
// Records are not used. A threshold of 0, or none, never makes a source stale.
#pragma once

#include "modules/ModuleBase.h"

namespace XLARX {

class SPXP_DreModule final : public SPXP_ModuleBase {
public:
  static constexpr size_t kSources = 16;
  static constexpr size_t kEnableInput = 16;
  static constexpr size_t kRecordInput = 17;
  static constexpr size_t kResetInput = 19;

  using SPXP_ModuleBase::SPXP_ModuleBase;

  void validate(const arxmod::TreeReader &tree) override;
  void initialise(const arxmod::TreeReader &tree) override;
  void compute(const CalcPass &pass) override;

private:
  // The values of one record, in `blob`.
  arxmod::PICTypeContainer *buildRecord(const CalcPass &pass, arxmod::MemoryBlob &blob) const;
  void takeRecord(const CalcPass &pass);
  void setLogState(bool on, const CalcPass &pass);
  void storeRecordsLeft(const CalcPass &pass);

  uint32_t depth_ = 0;
  uint32_t dataLog_ = 0;
  OutputRef logState_;
  OutputRef recordsLeft_;
  OutputRef recordComplete_;
  double stalenessMs_ = 0; // 0: never stale
  bool lastKnownValue_ = false;
  bool logging_ = false; // Log State
  uint32_t completed_ = 0;
  uint64_t taken_ = 0; // records since the start or the last reset
  std::optional<uint32_t> recordCount_;
  std::optional<uint32_t> resetCount_;
};

} // namespace XLARX
