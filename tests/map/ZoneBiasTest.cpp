// The computer's zone bias read by many threads at once, as calls that set
// meters' clocks do: the C library's zone state is refreshed by each read,
// and no thread may see it while another rewrites it.
#include "map/ZoneBias.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace XLARX {
namespace {

TEST(ZoneBiasConcurrentTest, ThreadsReadingTheSystemZoneTogetherAllSeeIt) {
  constexpr int kThreads = 8;
  constexpr int kReads = 200;
  const ZoneBias expected = currentZoneBias();
  std::atomic<int> different{0};
  std::vector<std::jthread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kReads; ++i) {
        const ZoneBias zone = currentZoneBias();
        if (zone.bias != expected.bias || zone.standardBias != expected.standardBias)
          ++different;
      }
    });
  threads.clear();
  EXPECT_EQ(different, 0);
}

} // namespace
} // namespace XLARX
