// The reply buffers lent to Process calls: every loan starts cleared, idle
// buffers are reused only for the same size, and the pool keeps no more
// than it was told to.
#include "frame/ReplyBufferPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace arxmod::test {
namespace {

bool allZero(const ReplyBufferPool::Lease &lease) {
  return std::all_of(lease.data(), lease.data() + lease.size(), [](uint8_t b) { return b == 0; });
}

TEST(ReplyBufferPoolTest, ReusesAGivenBackBufferOnlyAfterClearingIt) {
  ReplyBufferPool pool(4);
  const uint8_t *first = nullptr;
  {
    ReplyBufferPool::Lease lease = pool.borrow(4096);
    ASSERT_EQ(lease.size(), 4096u);
    EXPECT_TRUE(allZero(lease));
    std::memset(lease.data(), 0xA5, lease.size()); // a callback writes past what it reports
    first = lease.data();
  }
  EXPECT_EQ(pool.idleCount(), 1u);
  ReplyBufferPool::Lease again = pool.borrow(4096);
  EXPECT_EQ(again.data(), first);
  EXPECT_TRUE(allZero(again));

  // Another capacity gets a buffer of its own size, never a short one.
  ReplyBufferPool::Lease larger = pool.borrow(8192);
  EXPECT_NE(larger.data(), first);
  EXPECT_EQ(larger.size(), 8192u);
  EXPECT_TRUE(allZero(larger));
}

TEST(ReplyBufferPoolTest, MovedLeasesGiveTheirBufferBackOnceAndTheIdleCountIsBounded) {
  ReplyBufferPool pool(2);
  {
    ReplyBufferPool::Lease a = pool.borrow(64);
    ReplyBufferPool::Lease b = std::move(a);
    EXPECT_EQ(a.data(), nullptr);
    ReplyBufferPool::Lease c = pool.borrow(64);
    b = std::move(c); // b's first buffer goes back here
    EXPECT_EQ(pool.idleCount(), 1u);
    ReplyBufferPool::Lease d = pool.borrow(64);
    ReplyBufferPool::Lease e = pool.borrow(64);
  }
  EXPECT_EQ(pool.idleCount(), 2u); // three came back, two kept
}

TEST(ReplyBufferPoolTest, ConcurrentCallsNeverShareABuffer) {
  ReplyBufferPool pool(4);
  auto worker = [&pool](uint8_t mark) {
    for (int i = 0; i < 2000; ++i) {
      ReplyBufferPool::Lease lease = pool.borrow(256);
      ASSERT_TRUE(allZero(lease));
      std::memset(lease.data(), mark, lease.size());
      ASSERT_EQ(lease.data()[lease.size() - 1], mark);
    }
  };
  std::thread one(worker, 1), two(worker, 2), three(worker, 3);
  one.join();
  two.join();
  three.join();
  EXPECT_LE(pool.idleCount(), 3u);
}

} // namespace
} // namespace arxmod::test
