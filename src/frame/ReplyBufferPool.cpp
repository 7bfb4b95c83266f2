// Lending and taking back reply buffers.
#include "frame/ReplyBufferPool.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace arxmod {

ReplyBufferPool::Lease::Lease(ReplyBufferPool *pool, std::unique_ptr<uint8_t[]> bytes, size_t size)
    : pool_(pool), bytes_(std::move(bytes)), size_(size) {}

ReplyBufferPool::Lease::Lease(Lease &&other) noexcept
    : pool_(std::exchange(other.pool_, nullptr)), bytes_(std::move(other.bytes_)),
      size_(std::exchange(other.size_, 0)) {}

ReplyBufferPool::Lease &ReplyBufferPool::Lease::operator=(Lease &&other) noexcept {
  if (this != &other) {
    giveBack();
    pool_ = std::exchange(other.pool_, nullptr);
    bytes_ = std::move(other.bytes_);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

ReplyBufferPool::Lease::~Lease() { giveBack(); }

void ReplyBufferPool::Lease::giveBack() {
  if (pool_ && bytes_)
    pool_->takeBack(std::move(bytes_), size_);
  pool_ = nullptr;
  size_ = 0;
}

ReplyBufferPool::ReplyBufferPool(size_t kept) : kept_(kept) {}

ReplyBufferPool &ReplyBufferPool::instance() {
  // One idle buffer per thread a busy host typically runs Process on.
  static ReplyBufferPool pool(16);
  return pool;
}

ReplyBufferPool::Lease ReplyBufferPool::borrow(size_t size) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    auto found = std::find_if(idle_.begin(), idle_.end(),
                              [size](const Idle &idle) { return idle.size == size; });
    if (found != idle_.end()) {
      std::unique_ptr<uint8_t[]> bytes = std::move(found->bytes);
      idle_.erase(found);
      return Lease(this, std::move(bytes), size);
    }
  }
  return Lease(this, std::make_unique<uint8_t[]>(size), size);
}

void ReplyBufferPool::takeBack(std::unique_ptr<uint8_t[]> bytes, size_t size) {
  // Cleared before anyone else can borrow it: a callback may have written
  // anywhere in the buffer, whatever length it reported.
  std::memset(bytes.get(), 0, size);
  std::lock_guard<std::mutex> guard(lock_);
  if (idle_.size() < kept_)
    idle_.push_back({std::move(bytes), size});
}

size_t ReplyBufferPool::idleCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return idle_.size();
}

} // namespace arxmod
