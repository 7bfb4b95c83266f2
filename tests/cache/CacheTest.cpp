// Cache: adding handles, cached reads with their flags, time stamps and
// ages on the test clock, pending reads of concurrent calls, and the
// refresh schedule.
#include "cache/Cache.h"
#include "base/Clock.h"
#include "cache/PendingReads.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"
#include "types/StructureTypes.h"

#include <gtest/gtest.h>

#include <thread>

namespace XLARX {
namespace {

using arxmod::IRefPtr;
using arxmod::PICType;
using namespace std::chrono_literals;

class CacheTest : public ::testing::Test {
protected:
  CacheTest() : use_(clock_) {}

  PICType *read(uint32_t handle, uint32_t method, uint32_t required = kCacheRefreshable) {
    return cache_->readCached(handle, method, blob_.make<arxmod::VoidType>(), required);
  }
  void store(uint32_t handle, double value) {
    cache_->markPending(handle, pending_);
    cache_->finishRead(handle, blob_.make<arxmod::Float64Type>(value),
                       arxmod::unixSeconds(clock_.wallNow()), clock_.tickNow());
    pending_.pop();
  }

  arxmod::ManualClock clock_;
  arxmod::ScopedClock use_;
  arxmod::MemoryBlob blob_{4096};
  IRefPtr<Cache> cache_ = arxmod::makeRef<Cache>(nullptr, "meter", 1);
  PendingReads pending_{cache_};
};

TEST_F(CacheTest, AddHandleMergesFlagsAndKeepsShortestAge) {
  EXPECT_TRUE(cache_->addHandle(1, true, 0x10, 12000));
  EXPECT_FALSE(cache_->addHandle(1, true, 0x40, 30000));
  EXPECT_FALSE(cache_->addHandle(2, false, 0x02, 0));
  EXPECT_EQ(cache_->flagsOf(1), 0x50u);
  EXPECT_EQ(cache_->flagsOf(2), std::nullopt);
  EXPECT_FALSE(cache_->addHandle(1, false, 0x02, 2000)); // shorter, but raised to 5000
  EXPECT_EQ(cache_->flagsOf(1), 0x52u);

  // The limit decides when a client read goes to the meter.
  cache_->addHandle(3, true, 0x44, 20000);
  cache_->addHandle(3, true, 0, 2000);
  store(3, 1.0);
  clock_.advance(5001ms);
  EXPECT_EQ(cache_->checkRead(3, clock_.tickNow(), pending_), Cache::ReadNeed::Due);
}

TEST_F(CacheTest, NewValueReadsAsNoValueReceived) {
  cache_->addHandle(1, true, 0x40, 10000);
  auto *value = dynamic_cast<arxmod::ExceptionType *>(read(1, 21));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->code(), 5u);
  EXPECT_EQ(value->text(), "No value received from device.");
  EXPECT_EQ(read(1, 20), nullptr); // no time stamp yet
  EXPECT_EQ(read(1, 23), nullptr);
  EXPECT_EQ(read(2, 21), nullptr); // not cached
}

TEST_F(CacheTest, RequiredFlagsSelectWhichValuesAnswer) {
  cache_->addHandle(1, true, 0x02, 0); // a module's own value: not refreshable
  cache_->addHandle(2, true, 0x44, 10000);
  cache_->addHandle(3, true, 0x40, 10000);
  struct Case {
    uint32_t handle;
    uint32_t required;
    bool answers;
  } cases[] = {{1, 0x40, false}, {1, 0, true},     {2, 0x40, true},
               {2, 0x01, true},  {3, 0x01, false}, {3, 0x40, true}};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.handle << " " << c.required);
    EXPECT_EQ(read(c.handle, 21, c.required) != nullptr, c.answers);
  }
}

TEST_F(CacheTest, TimeStampAndAgeComeFromTheClock) {
  cache_->addHandle(1, true, 0x40, 10000);
  store(1, 230.5);
  const double stamp = arxmod::unixSeconds(clock_.wallNow());
  clock_.advance(2999ms);
  EXPECT_EQ(arxmod::picCast<arxmod::Float64Type>(read(1, 21))->get(), 230.5);
  EXPECT_EQ(arxmod::picCast<arxmod::Float64Type>(read(1, 20))->get(), stamp);
  EXPECT_EQ(arxmod::picCast<arxmod::Float64Type>(read(1, 23))->get(), 2.0); // whole seconds
}

class EchoHandler : public CacheValueHandler {
public:
  PICType *answer(uint32_t handle, uint32_t method, PICType *argument) override {
    return argument->blob().make<arxmod::UnsignedType>(handle * 1000 + method);
  }
};

TEST_F(CacheTest, OtherMethodsGoToTheValuesHandler) {
  cache_->addHandle(1, true, 0x40, 10000);
  EXPECT_EQ(read(1, 1003), nullptr);
  // Attaching a handler is the virtual modules' business; reach the value
  // the way they will, through a read of the whole cache under its lock.
  cache_->setHandler(1, arxmod::makeRef<EchoHandler>());
  EXPECT_EQ(arxmod::picCast<arxmod::UnsignedType>(read(1, 1003))->get(), 2003u);
}

TEST_F(CacheTest, ClientReadNeedsMeterOnlyWhenStale) {
  cache_->addHandle(1, true, 0x02, 0);     // not refreshable: stands
  cache_->addHandle(2, true, 0x44, 10000); // "C"
  cache_->addHandle(3, true, 0x4C, 10000); // "D"
  cache_->addHandle(4, true, 0x50, 10000); // refreshable without letters
  store(2, 1);
  store(3, 1);
  store(4, 1);
  const uint32_t now = clock_.tickNow();
  EXPECT_EQ(cache_->checkRead(9, now, pending_), Cache::ReadNeed::NotCached);
  EXPECT_EQ(cache_->checkRead(1, now, pending_), Cache::ReadNeed::Stands);
  EXPECT_EQ(cache_->checkRead(2, now + 10000, pending_), Cache::ReadNeed::Stands);
  EXPECT_EQ(cache_->checkRead(3, now + 10000, pending_), Cache::ReadNeed::Stands);
  EXPECT_EQ(cache_->checkRead(4, now, pending_), Cache::ReadNeed::Due);
  EXPECT_EQ(cache_->checkRead(2, now + 10001, pending_), Cache::ReadNeed::Due);
  EXPECT_EQ(cache_->flagsOf(4), 0xD0u);
  EXPECT_EQ(pending_.size(), 2u);
  EXPECT_TRUE(cache_->isFresh(3, now + 10000));
  EXPECT_FALSE(cache_->isFresh(3, now + 10001));
  EXPECT_FALSE(cache_->isFresh(9, now));
}

TEST_F(CacheTest, NeverStoredValueIsStaleWhateverTheTick) {
  cache_->addHandle(1, true, 0x44, 10000);
  clock_.setTicks(3); // just after the tick counter wrapped or the machine started
  EXPECT_EQ(cache_->checkRead(1, clock_.tickNow(), pending_), Cache::ReadNeed::Due);
  EXPECT_FALSE(cache_->isFresh(1, clock_.tickNow()));
}

TEST_F(CacheTest, EachCallStoresItsOwnReadsAndPendingEndsWithTheLast) {
  cache_->addHandle(1, true, 0x41, 10000);
  {
    PendingReads first(cache_);
    PendingReads second(cache_);
    cache_->markPending(1, first);
    cache_->markPending(1, first); // once per call
    cache_->markPending(1, second);
    EXPECT_EQ(first.size(), 1u);
    EXPECT_EQ(cache_->flagsOf(1), 0xC1u);
    EXPECT_TRUE(cache_->finishRead(1, blob_.make<arxmod::Float64Type>(7.0), 1.0, 5));
    first.pop();
    EXPECT_EQ(cache_->flagsOf(1), 0xC1u); // the second call still reads it
    // The second call ends without a result (an exception, say).
  }
  EXPECT_EQ(cache_->flagsOf(1), 0x41u);
  EXPECT_EQ(arxmod::picCast<arxmod::Float64Type>(read(1, 21))->get(), 7.0);
}

TEST_F(CacheTest, SetupRegisterChangeIsReported) {
  cache_->addHandle(1, true, 0x51, 10000);
  cache_->addHandle(2, true, 0x50, 10000);
  auto finish = [&](uint32_t handle, double value) {
    cache_->markPending(handle, pending_);
    const bool changed = cache_->finishRead(handle, blob_.make<arxmod::Float64Type>(value), 1, 1);
    pending_.pop();
    return changed;
  };
  EXPECT_TRUE(finish(1, 3.0)); // first value
  EXPECT_FALSE(finish(1, 3.0));
  EXPECT_TRUE(finish(1, 4.0));
  EXPECT_FALSE(finish(2, 4.0));                       // not a setup register
  EXPECT_FALSE(cache_->finishRead(1, nullptr, 0, 0)); // no result: value stays
  EXPECT_EQ(arxmod::picCast<arxmod::Float64Type>(read(1, 21))->get(), 4.0);
}

TEST_F(CacheTest, RefreshCollectsDueValuesInOrder) {
  cache_->addHandle(1, true, 0x50, 10000); // high-speed
  cache_->addHandle(2, true, 0x60, 30000); // low-speed
  cache_->addHandle(3, true, 0x4C, 10000); // "D": never for age alone
  cache_->addHandle(4, true, 0x44, 10000); // "C"
  cache_->addHandle(5, true, 0x10, 10000); // not refreshable
  for (uint32_t handle : {4u, 3u, 2u, 1u, 5u})
    cache_->appendToRefreshOrder(handle);
  for (uint32_t handle : {1u, 2u, 3u, 4u, 5u})
    store(handle, handle);

  auto collect = [&](uint32_t now, const std::function<bool(uint32_t)> &skip = {}) {
    std::vector<uint32_t> queue;
    PendingReads pending(cache_);
    cache_->collectDue(
        now, cache_->dueGroups(now), skip ? skip : [](uint32_t) { return false; }, pending, queue);
    return queue;
  };
  const uint32_t start = clock_.tickNow();
  // Before the first refresh both groups are due; values are all fresh.
  EXPECT_EQ(collect(start), (std::vector<uint32_t>{1}));
  cache_->finishRefresh(start, 30000, 10000);
  EXPECT_EQ(collect(start + 10000), (std::vector<uint32_t>{}));
  EXPECT_EQ(collect(start + 10001), (std::vector<uint32_t>{4, 1}));
  EXPECT_EQ(collect(start + 10001, [](uint32_t h) { return h == 4; }), (std::vector<uint32_t>{1}));
  cache_->setLowSpeedMarker(2, 1);
  EXPECT_EQ(collect(start + 30001), (std::vector<uint32_t>{4, 2, 1}));

  // A value another call is reading is left to it.
  PendingReads other(cache_);
  cache_->markPending(1, other);
  EXPECT_EQ(collect(start + 10001), (std::vector<uint32_t>{4}));
}

TEST_F(CacheTest, RefreshScheduleSurvivesTickWrap) {
  cache_->addHandle(1, true, 0x50, 900000);
  cache_->appendToRefreshOrder(1);
  store(1, 1.0);
  const uint32_t now = 0xFFFFF000u;
  EXPECT_TRUE(cache_->dueGroups(now).high);
  cache_->finishRefresh(now, 30000, 10000); // next due just past the wrap
  EXPECT_FALSE(cache_->dueGroups(now + 10000).high);
  EXPECT_TRUE(cache_->dueGroups(now + 10001).high);
  EXPECT_FALSE(cache_->dueGroups(now + 30000).low);
  cache_->finishRefresh(now + 5000, 30000, 10000); // not due yet: unchanged
  EXPECT_TRUE(cache_->dueGroups(now + 10001).high);
}

TEST_F(CacheTest, ConcurrentCallsOnOneCacheKeepPendingCountsExact) {
  constexpr uint32_t kHandles = 64;
  for (uint32_t handle = 1; handle <= kHandles; ++handle) {
    cache_->addHandle(handle, true, 0x50, 10000);
    cache_->appendToRefreshOrder(handle);
  }
  auto call = [&](int rounds) {
    arxmod::MemoryBlob blob(4096);
    for (int round = 0; round < rounds; ++round) {
      PendingReads pending(cache_);
      for (uint32_t handle = 1; handle <= kHandles; ++handle)
        cache_->checkRead(handle, round, pending);
      std::vector<uint32_t> queue;
      cache_->collectDue(
          round, cache_->dueGroups(round), [](uint32_t) { return false; }, pending, queue);
      while (!pending.empty()) {
        const uint32_t handle = pending.front();
        if (handle % 2)
          cache_->finishRead(handle, blob.make<arxmod::Float64Type>(round), 1, round);
        else
          cache_->dropPendingRead(handle);
        pending.pop();
      }
      cache_->finishRefresh(round, 30000, 10000);
      PICType *value = cache_->readCached(1, 21, blob.make<arxmod::VoidType>(), 0x40);
      EXPECT_NE(value, nullptr);
    }
  };
  std::thread first(call, 300);
  std::thread second(call, 300);
  first.join();
  second.join();
  for (uint32_t handle = 1; handle <= kHandles; ++handle)
    EXPECT_EQ(cache_->flagsOf(handle), 0x50u) << handle;
}

} // namespace
} // namespace XLARX
