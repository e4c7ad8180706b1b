#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orbisight {

// An event that wakes exactly one waiter and then resets itself, like the
// stop events the worker threads wait on. Set() before Wait() is remembered.
class AutoResetEvent {
  public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void Set();
    // Clears a pending signal without waking anyone.
    void Reset();
    // Waits until the event is set or timeoutMs passes. Returns true when the
    // event was set (and consumes the signal).
    bool Wait(int timeoutMs);
    // Waits without a limit.
    void Wait();
    // Returns true and consumes the signal if it is set, without waiting.
    bool TryConsume();

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;  // protected by mutex_
};

}  // namespace orbisight
