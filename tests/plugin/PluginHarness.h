// PluginHarness: the real plug-in, loaded with dlopen as a host loads it
// and unloaded after the last test, and one host database in a temporary
// directory for every test of the program (the plug-in keeps process-wide
// tables while loaded, so they cannot change between tests).
//
// Devices: 9 and 10 with the translator tests' device tree (plus register
// 0x200 with a 2000-character name, for answers that outgrow their result
// area) as the text tree file "meter10.dat" and a map that maps nothing;
// 11 without tree file. Behind the exchange callback stands one simulated
// MX4110_4120 meter (unit 1) with the meter's own registers and nothing
// else, so the reads the meter translator makes of every meter are
// answered and the rest of each answer comes from the tree.
#pragma once

#include "PacketBuilder.h"
#include "TempHostDatabase.h"
#include "arxmod/plugin.h"
#include "types/ProgramTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace arxmod::test {

inline constexpr uint16_t kOurTranslator = 1;
inline constexpr uint16_t kCaseVariantTranslator = 2;
inline constexpr uint16_t kDevice = 9;
inline constexpr uint16_t kTreeDevice = 10;
inline constexpr uint16_t kNoTreeDevice = 11;
inline constexpr uint32_t kLongNameHandle = 0x200;

TempHostDatabase &hostDatabase();

struct Call {
  bool result;
  int32_t answerLength;
  std::vector<uint8_t> answer;
};

// One Process call, exchanges going to the simulated meter.
Call callProcess(const std::vector<uint8_t> &request, int32_t capacity = 4096,
                 bool withAnswer = true);

std::string lastLogText();

// The packet of an execute request for `program` on `device` through our translator.
std::vector<uint8_t> programRequest(uint16_t device, const Program &program);

} // namespace arxmod::test
