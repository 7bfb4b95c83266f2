// buildCache: which handles a map puts into the cache, with which flags and
// age limits, and the refresh order (references before their users).
#include "cache/CacheBuild.h"
#include "TreeBuilder.h"
#include "map/MapFile.h"
#include "tree/RegisterObj.h"

#include <gtest/gtest.h>

namespace XLARX {
namespace {

using arxmod::IRefPtr;

std::string entry(uint32_t handle, const std::string &extra = "") {
  return "<ModbusInfo ARXHandle='" + std::to_string(handle) +
         "' Name='e' ModbusAddress='400001' RequestType='R' Format='UINT16' " + extra + "/>";
}

IRefPtr<arxmod::TranslationMap> readMap(const std::string &body) {
  return arxmod::readMapBytes(
      "<Map><DeviceInfo HighSpeedUpdateRate='12' LowSpeedUpdateRate='40'/>" + body + "</Map>",
      "map.xml");
}

// Module 0x500 with setups 0x501 (mapped) and 0x502 (not mapped).
IRefPtr<arxmod::TranslationTree> makeTree() {
  auto list = arxmod::makeRef<arxmod::ObjList>();
  auto &module = arxmod::test::addObject<arxmod::ModuleObj>(*list, 0x500, 511, 3, "Minimum");
  module.setSetups(std::vector<uint32_t>{0x501, 0x502});
  arxmod::test::addObject<arxmod::RegisterObj>(*list, 0x501, 23, 0x500, "period");
  arxmod::test::addObject<arxmod::RegisterObj>(*list, 0x502, 23, 0x500, "other");
  return arxmod::makeRef<arxmod::TranslationTree>(list);
}

IRefPtr<Cache> build(const std::string &body) {
  return buildCache(*readMap(body), makeTree(), "Feeder 7", 12);
}

TEST(CacheBuild, FlagsFollowRoleOfEachHandle) {
  const auto cache = build(entry(1, "Scale='r2' Offset='r3' ConfigLabelHandle='4'") + entry(2) +
                           entry(3, "SetupReg='1'") + entry(4) + entry(5, "CacheSpec='C'") +
                           entry(6, "CacheSpec='X,D'") + entry(7) + entry(8, "CacheSpec='C,D'"));
  struct Case {
    uint32_t handle;
    std::optional<uint32_t> flags;
  } cases[] = {
      {1, std::nullopt}, // uses references, is none
      {2, 0x50},         {3, 0x51}, {4, 0x50}, {5, 0x44}, {6, 0x4C}, {7, std::nullopt}, {8, 0x4C},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.handle);
    EXPECT_EQ(cache->flagsOf(c.handle), c.flags);
  }
  EXPECT_EQ(cache->size(), 6u);
  EXPECT_EQ(cache->deviceName(), "Feeder 7");
  EXPECT_EQ(cache->deviceId(), 12u);
}

TEST(CacheBuild, RefreshOrderPutsReferencesFirst) {
  // 1 uses 2, which uses 3 and 4; 4 uses 2 again (a cycle); 9 is referred
  // to but has no entry, so it is left out.
  const auto cache =
      build(entry(1, "CacheSpec='C' Multiplier='r2'") + entry(2, "Scale='r3' ARXMax='r4'") +
            entry(3) + entry(4, "ModbusMin='r2' Offset='r9'"));
  EXPECT_EQ(cache->refreshOrder(), (std::vector<uint32_t>{3, 4, 2, 1}));
  EXPECT_EQ(cache->flagsOf(9), std::nullopt);
  EXPECT_EQ(cache->flagsOf(1), 0x44u);
  EXPECT_EQ(cache->flagsOf(4), 0x50u);
}

TEST(CacheBuild, LongReferenceChainDoesNotRecurse) {
  // Entry i scales by entry i + 1, down a chain far deeper than a
  // recursive walk could take.
  constexpr uint32_t kChain = 50000;
  std::string body = entry(1, "CacheSpec='D' Scale='r2'");
  for (uint32_t handle = 2; handle < kChain; ++handle)
    body += entry(handle, "Scale='r" + std::to_string(handle + 1) + "'");
  body += entry(kChain);
  const auto cache = build(body);
  const std::vector<uint32_t> order = cache->refreshOrder();
  ASSERT_EQ(order.size(), kChain);
  EXPECT_EQ(order.front(), kChain);
  EXPECT_EQ(order.back(), 1u);
}

TEST(CacheBuild, CalculatedModuleSetupsJoinTheLowSpeedGroup) {
  const auto cache = build("<CalcInfo ARXHandle='1280'/><CalcInfo ARXHandle='77'/>" +
                           entry(0x501, "Scale='r2'") + entry(2));
  EXPECT_EQ(cache->flagsOf(0x501), 0x62u);
  EXPECT_EQ(cache->flagsOf(0x502), std::nullopt); // not mapped: not made
  EXPECT_EQ(cache->flagsOf(2), 0x50u);
  EXPECT_EQ(cache->refreshOrder(), (std::vector<uint32_t>{2, 0x501}));
}

TEST(CacheSpecFlags, PiecesSplitAtCommas) {
  struct Case {
    std::string_view spec;
    uint32_t flags;
  } cases[] = {{"", 0},  {"C", 0x04},   {"D", 0x0C},   {"CD", 0x0C},
               {"X", 0}, {"C,D", 0x0C}, {",C,", 0x04}, {"XC", 0x04}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.spec);
    EXPECT_EQ(cacheSpecFlags(c.spec), c.flags);
  }
}

} // namespace
} // namespace XLARX
