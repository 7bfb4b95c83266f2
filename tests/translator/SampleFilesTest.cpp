// The sample tree and map of examples/mx4110_4120 against a simulated meter
// holding plausible values: every mapped register reads, scaled and typed,
// in the fewest messages the map's limits allow, beside the modules the map
// has the plug-in run.
#include "MeterFixture.h"
#include "modules/EnginePool.h"

namespace arxmod::test {
namespace {

using sim::RegisterBank;
using sim::Table;

class SampleFilesTest : public MeterFixture {
protected:
  SampleFilesTest() {
    meter().withUnit(1, [](RegisterBank &bank) {
      const auto holding = [&](uint16_t first, std::vector<uint16_t> values) {
        bank.map(Table::HoldingRegisters, first, values.size());
        bank.setRange(Table::HoldingRegisters, first, values);
      };
      holding(1000, {2304,   2311, 2298,   3990,   4002,   3985, // volts
                     4000,   4100, 3900,   0xFF6A,               // milliamperes, neutral -1.5 A
                     0x4128, 0,    0x4134, 0,      0x411C, 0,    // kW a, b, c
                     0x41FC, 0,    0,      0x40A0, 0x4200, 0,    // kW, kvar (swapped), kVA
                     24576,  6001,                               // power factor, frequency
                     0x41F4, 0,    0x4229, 0});                  // demand, peak demand
      holding(1100, {12, 3456, 0, 789, 0x0001, 0x86A0, 0, 0, 0x0001, 0xE240});
      holding(1200,
              {0x4D58, 0x3431, 0x3130, 0x204D, 0x6169, 0x6E20, 0x2020, 0x2020, // "MX4110 Main"
               0x0001, 0xE240, 0x312E, 0x3037, 0x2020, 0x2020, 0x0003});
      holding(2000, {1, 0, 480, 200, 15, 0, 0, 0, 0, 0,                                // setups
                     0x4665, 0x6564, 0x6572, 0x2037, 0x2020, 0x2020, 0x2020, 0x2020}); // "Feeder 7"
      bank.map(Table::InputRegisters, 0, 1, 253);
      bank.map(Table::Coils, 0, 1, 1);
      bank.map(Table::DiscreteInputs, 0, 1, 0);
    });
  }
  // The sample map's modules run on calculation threads that wait on this
  // fixture's clock: they stop before it goes.
  void TearDown() override { stopCalculationEngines(); }
};

TEST_F(SampleFilesTest, EveryMappedRegisterReads) {
  const std::filesystem::path examples = ARXMOD_EXAMPLES_DIR;
  const uint16_t device =
      meterDevices().addFiles(examples / "tree.xml", examples / "map.xml", "Feeder 7");
  std::vector<Invocation> program;
  for (uint32_t handle = 257; handle <= 261; ++handle)
    program.push_back({handle, 21});
  for (uint32_t handle = 272; handle <= 303; ++handle)
    program.push_back({handle, 21});
  program.push_back({256, 3});
  program.push_back({257, 520});
  const Answer answer = run(device, program);
  const std::vector<std::string> expected = {"DELTA",
                                             "480",
                                             "200",
                                             "15",
                                             "Feeder 7", // setups
                                             "230.4",
                                             "231.1",
                                             "229.8",
                                             "399",
                                             "400.2",
                                             "398.5", // volts
                                             "160",
                                             "164",
                                             "156",
                                             "-1.5", // amperes
                                             "10.5",
                                             "11.25",
                                             "9.75",
                                             "31.5",
                                             "5",
                                             "32",
                                             "0.75",
                                             "60.01", // powers, PF, Hz
                                             "123.456",
                                             "0.789",
                                             "10",
                                             "123.456", // energies
                                             "25.3",
                                             "MX4110 Main",
                                             "123456",
                                             "1.07",
                                             "true",
                                             "true",
                                             "true",
                                             "false",
                                             "30.5",
                                             "42.25", // demands
                                             "Meter Feeder 7",
                                             "StringArrayType { \"4W-WYE\" \"DELTA\" \"SINGLE\" }"};
  EXPECT_EQ(answer.results, expected);
  // 401001-401028, 401101-401108, 401201-401215, 402001-402018, the input
  // register, the coil and the discrete input.
  EXPECT_EQ(meterRequests(), 7u);
}

} // namespace
} // namespace arxmod::test
