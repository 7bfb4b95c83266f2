// The text form of faults: what each valid text means, and what each mistake
// is told.
#include "sim/Fault.h"

#include <gtest/gtest.h>

namespace arxmod::sim {
namespace {

TEST(FaultSpecTest, ReadsEveryKindAndOption) {
  struct Case {
    const char *text;
    FaultKind kind;
    std::optional<uint32_t> value;
    std::optional<uint8_t> unit;
    uint8_t function;
    uint32_t times;
  };
  const Case cases[] = {
      {"noreply", FaultKind::NoReply, {}, {}, 0, 1},
      {"exception:6", FaultKind::Exception, 6, {}, 0, 1},
      {"cut", FaultKind::CutShort, {}, {}, 0, 1},
      {"cut:0", FaultKind::CutShort, 0, {}, 0, 1},
      {"function:4,fc=3", FaultKind::WrongFunction, 4, {}, 3, 1},
      {"transmission,always", FaultKind::WrongTransmission, {}, {}, 0, 0},
      {"delay:1500,times=3,unit=2", FaultKind::Delay, 1500, 2, 0, 3},
      {"noreply,unit=0,fc=16,always", FaultKind::NoReply, {}, 0, 16, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    const FaultSpec spec = parseFaultSpec(c.text);
    EXPECT_EQ(spec.fault.kind, c.kind);
    EXPECT_EQ(spec.fault.value, c.value);
    EXPECT_EQ(spec.unit, c.unit);
    EXPECT_EQ(spec.fault.function, c.function);
    EXPECT_EQ(spec.fault.times, c.times);
  }
}

TEST(FaultSpecTest, NamesWhatIsWrongWithAText) {
  struct Case {
    const char *text;
    const char *message;
  };
  const Case cases[] = {
      {"", "fault '': unknown kind '' (use noreply, exception:N, cut[:BYTES], function[:CODE], "
           "transmission[:N] or delay:MS)"},
      {"slow", "fault 'slow': unknown kind 'slow' (use noreply, exception:N, cut[:BYTES], "
               "function[:CODE], transmission[:N] or delay:MS)"},
      {"exception", "fault 'exception': exception needs a value: exception:N"},
      {"exception:0", "fault 'exception:0': exception must be a number from 1 to 255, not '0'"},
      {"exception:x", "fault 'exception:x': exception must be a number from 1 to 255, not 'x'"},
      {"delay:", "fault 'delay:': delay must be a number from 0 to 3600000, not ''"},
      {"delay:-5", "fault 'delay:-5': delay must be a number from 0 to 3600000, not '-5'"},
      {"noreply:1", "fault 'noreply:1': noreply takes no value"},
      {"cut:254", "fault 'cut:254': cut must be a number from 0 to 253, not '254'"},
      {"noreply,unit=256", "fault 'noreply,unit=256': unit must be a number from 0 to 255, "
                           "not '256'"},
      {"noreply,fc=0", "fault 'noreply,fc=0': fc must be a number from 1 to 255, not '0'"},
      {"noreply,times=0", "fault 'noreply,times=0': times must be a number from 1 to "
                          "4294967295, not '0'"},
      {"noreply,forever", "fault 'noreply,forever': unknown option 'forever' (use unit=N, fc=N, "
                          "times=N or always)"},
      {"noreply,unit", "fault 'noreply,unit': unknown option 'unit' (use unit=N, fc=N, times=N "
                       "or always)"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    try {
      parseFaultSpec(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const FaultSpecError &e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

} // namespace
} // namespace arxmod::sim
