// Module lists: the calculation order by levels, loops refused unless a
// Feedback module breaks them, and the lists a map cannot make.
#include "ModuleFixture.h"
#include "TempHostDatabase.h"

#include "modules/EnginePool.h"

#include <gtest/gtest.h>

namespace XLARX::test {
namespace {

std::vector<uint32_t> order(const SPXP_ModuleList &list) {
  std::vector<uint32_t> handles;
  for (const auto &module : list.modules())
    handles.push_back(module->handle());
  return handles;
}

std::string refusal(ModuleFixture &f, std::vector<uint32_t> handles) {
  try {
    buildModuleList(f.device(), handles);
  } catch (const ModuleInvalid &refused) {
    return refused.text();
  }
  return "accepted";
}

TEST(ModuleList, ProducersRunBeforeTheirConsumers) {
  ModuleFixture f;
  f.addRegister(0x10, 26, "kWh pulses");
  f.addRegister(0x11, 25, "Vln a");
  f.addExtremum(0x400, 511, {0x301});       // reads the maximum
  f.addExtremum(0x300, 512, {0x201});       // reads the minimum
  f.addExtremum(0x200, 511, {0x11, 0x101}); // reads a meter value and the feedback
  f.addFeedback(0x100, 0x10);               // reads the meter: level 0
  f.addExtremum(0x500, 512, {0x11});        // level 1, after 0x200 in map order
  const auto list = f.buildList();
  EXPECT_TRUE(list->ordered());
  EXPECT_EQ(order(*list), (std::vector<uint32_t>{0x100, 0x200, 0x500, 0x300, 0x400}));
}

TEST(ModuleList, LoopIsRefusedUnlessAFeedbackModuleBreaksIt) {
  {
    SCOPED_TRACE("two minimum modules feeding each other");
    ModuleFixture f;
    f.addExtremum(0x100, 511, {0x201});
    f.addExtremum(0x200, 511, {0x101});
    EXPECT_EQ(refusal(f, {0x100, 0x200}),
              "Loop in the calculation order of the virtual modules through module handle 0x100.");
  }
  {
    SCOPED_TRACE("a module reading its own output");
    ModuleFixture f;
    f.addExtremum(0x100, 511, {0x101});
    EXPECT_EQ(refusal(f, {0x100}),
              "Loop in the calculation order of the virtual modules through module handle 0x100.");
  }
  {
    SCOPED_TRACE("the loop through a feedback module");
    ModuleFixture f;
    f.addExtremum(0x200, 511, {0x101}); // the feedback's pulses
    f.addFeedback(0x100, 0x211);        // the minimum's first trigger
    EXPECT_EQ(refusal(f, {0x200, 0x100}), "accepted");
    EXPECT_EQ(order(*f.buildList()), (std::vector<uint32_t>{0x100, 0x200}));
  }
}

TEST(ModuleList, ListsTheMapCannotMakeAreRefused) {
  ModuleFixture f;
  f.addRegister(0x11, 25, "Vln a");
  f.addExtremum(0x100, 511, {0x11});
  const struct {
    std::vector<uint32_t> handles;
    std::string message;
  } cases[] = {
      {{0x100, 0x100}, "Virtual module listed twice in the translation map handle 0x100."},
      {{0x999}, "No module object in the ARX tree for virtual module handle 0x999."},
      {{0x11}, "No module object in the ARX tree for virtual module handle 0x11."},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(refusal(f, c.handles), c.message);
  }
}

TEST(ModuleList, ModuleOfAClassWithoutEmulationMakesNoModule) {
  ModuleFixture f;
  f.addModule(0x100, 513, "Setpoint", {}, {});
  EXPECT_TRUE(f.buildList()->empty());
}

TEST(ModuleList, LongChainIsOrderedWithoutRecursion) {
  // Each timer is enabled by the previous one's trigger: 3000 levels.
  constexpr uint32_t kTimers = 3000;
  ModuleFixture f;
  std::vector<uint32_t> handles;
  for (uint32_t i = kTimers; i > 0; --i) {
    const uint32_t handle = 0x1000 + i * 0x100;
    f.addPeriodicTimer(handle, "60u", "No Trig on Sync", i == 1 ? 0 : handle - 0x100 + 1);
    handles.push_back(handle);
  }
  const auto list = buildModuleList(f.device(), handles);
  ASSERT_EQ(list->size(), kTimers);
  EXPECT_EQ(list->modules().front()->handle(), 0x1100u);
  EXPECT_EQ(list->modules().back()->handle(), 0x1000u + kTimers * 0x100);
}

TEST(ModuleList, RefusedDeviceKeepsNoModulesAndTheLogNamesTheModule) {
  arxmod::test::TempHostDatabase database;
  ModuleFixture f;
  f.addExtremum(0x100, 511, {0x201});
  f.addExtremum(0x200, 511, {0x101});
  const auto &device = f.device();
  try {
    rebuildVirtualModules(device->deviceId, device->map, device->cache, device->tree);
    ADD_FAILURE() << "accepted";
  } catch (const ModuleCreationFailed &failed) {
    EXPECT_EQ(failed.text(),
              "Invalid translation map or tree file. Create module or sequencer failed.");
  }
  EXPECT_EQ(database.count("SELECT COUNT(*) FROM SystemLog WHERE Text = 'Virtual modules of "
                           "device 7 refused: Loop in the calculation order of the virtual "
                           "modules through module handle 0x100.'"),
            1);
  EXPECT_EQ(CalculationEnginePool::instance().engineCount(), 0u);
}

} // namespace
} // namespace XLARX::test
