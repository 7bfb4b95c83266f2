// XLARX::EventLogRecorder: the recorder of an event log register, kept in an
// XML cache (RecorderCache.h) at "<key>.arx".
//
// Each record is one value (an event, as the module that raised it built
// it). A save, made only when the log changed, replaces the whole cache;
// restoring reads it back strictly: a cache whose records do not each hold
// exactly one value is refused as corrupted.
#pragma once

#include "logs/SlotValueRecorder.h"

namespace XLARX {

class EventLogRecorder final : public SlotValueRecorder {
public:
  using SlotValueRecorder::SlotValueRecorder;

  void save() override;
  bool restore() override;

protected:
  // Any value is an event.
  void checkValue(const arxmod::PICType &) const override {}
};

} // namespace XLARX
