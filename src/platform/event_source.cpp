#include "platform/event_source.h"

#include <algorithm>

namespace z900::platform {

bool QueuedEventSource::ReadEvent(std::span<std::uint8_t> buffer) {
  std::uint32_t word = 0;
  {
    std::lock_guard lock(mutex_);
    if (words_.empty() || buffer.size() < 4) return false;
    word = words_.front();
    words_.pop_front();
  }
  for (std::size_t i = 0; i < 4; ++i) buffer[i] = static_cast<std::uint8_t>(word >> (8 * i));
  return true;
}

void QueuedEventSource::WaitForEvent() {
  std::unique_lock lock(mutex_);
  while (count_ == 0) {
    if (!HasOrigin()) {
      released_.wait(lock);
      continue;
    }
    lock.unlock();
    const std::vector<std::uint32_t> words = Poll(kPollIntervalMs);
    for (std::uint32_t word : words) Deliver(word);
    lock.lock();
  }
  --count_;
}

void QueuedEventSource::ReleaseWaiter() {
  {
    std::lock_guard lock(mutex_);
    if (count_ >= kMaxPending) return;
    ++count_;
  }
  released_.notify_one();
}

bool QueuedEventSource::Deliver(std::uint32_t word) {
  {
    std::lock_guard lock(mutex_);
    if (count_ >= kMaxPending) return false;
    words_.push_back(word);
    ++count_;
  }
  released_.notify_one();
  return true;
}

std::vector<std::uint32_t> QueuedEventSource::TakeUnread() {
  std::lock_guard lock(mutex_);
  std::vector<std::uint32_t> words(words_.begin(), words_.end());
  // Each queued word holds one count of the semaphore; the rest were releases of the utility.
  count_ -= std::min(count_, words_.size());
  words_.clear();
  return words;
}

std::vector<std::uint32_t> QueuedEventSource::Poll(std::uint32_t /*timeout_ms*/) { return {}; }

}  // namespace z900::platform
