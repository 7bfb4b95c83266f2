// ReplyBufferPool: the cleared buffers that Process calls offer the exchange
// callback for replies.
//
// The callback must be offered the host's whole answer capacity (128 KiB for
// arxhost), far more than any Modbus reply. Allocating and clearing such a
// buffer in every call cost a poll more than its messages did: the fresh
// pages fault in, and freeing them hands the top of the heap back to the
// kernel. A call borrows a buffer here instead and gives it back cleared, so
// no reply bytes cross from one call to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace arxmod {

class ReplyBufferPool {
public:
  // A borrowed buffer of `size()` bytes, all zero when lent out; it goes
  // back to its pool when the lease ends.
  class Lease {
  public:
    Lease() = default;
    Lease(Lease &&other) noexcept;
    Lease &operator=(Lease &&other) noexcept;
    Lease(const Lease &) = delete;
    Lease &operator=(const Lease &) = delete;
    ~Lease();

    uint8_t *data() const { return bytes_.get(); }
    size_t size() const { return size_; }

  private:
    friend class ReplyBufferPool;
    Lease(ReplyBufferPool *pool, std::unique_ptr<uint8_t[]> bytes, size_t size);
    void giveBack();

    ReplyBufferPool *pool_ = nullptr;
    std::unique_ptr<uint8_t[]> bytes_;
    size_t size_ = 0;
  };

  // Keeps at most `kept` idle buffers; more are freed when given back.
  explicit ReplyBufferPool(size_t kept);

  // The pool of the loaded library, sized for the calls a host runs at once.
  static ReplyBufferPool &instance();

  // A cleared buffer of exactly `size` bytes (`size` > 0).
  Lease borrow(size_t size);

  size_t idleCount() const;

private:
  struct Idle {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size;
  };
  void takeBack(std::unique_ptr<uint8_t[]> bytes, size_t size);

  const size_t kept_;
  mutable std::mutex lock_;
  std::vector<Idle> idle_;
};

} // namespace arxmod
