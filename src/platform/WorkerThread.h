#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/AutoResetEvent.h"

namespace orbisight {

enum class ThreadPriority { kNormal, kHighest };

// A named worker thread with its own auto-reset stop event. The body receives
// the event and returns when it sees it set (or when it decides to stop).
//
// There is no way to kill a thread: every blocking call in the engine can be
// interrupted (socket shutdown, timed waits), so Stop() signals, waits up to
// the documented time for a clean end, and then keeps waiting while logging
// that the bound was missed. A missed bound is a bug, never a leak.
class WorkerThread {
  public:
    using Body = std::function<void(AutoResetEvent& stop)>;

    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the thread. The name is shown by top -H and gdb (at most 15
    // characters are kept by the kernel).
    void Start(std::string name, Body body, ThreadPriority priority = ThreadPriority::kNormal);

    bool Running() const { return thread_.joinable(); }
    bool Finished() const { return finished_ && finished_->load(); }

    // Signals the stop event without waiting.
    void SignalStop() { stopEvent_.Set(); }
    AutoResetEvent& StopEvent() { return stopEvent_; }

    // Waits up to waitMs for the thread to end. Returns true when it ended
    // within the bound. The thread is always joined before this returns.
    bool Join(int waitMs);
    // SignalStop() then Join(waitMs).
    bool Stop(int waitMs);

  private:
    std::thread thread_;
    std::string name_;
    AutoResetEvent stopEvent_;
    std::shared_ptr<std::atomic<bool>> finished_;
    std::shared_ptr<AutoResetEvent> finishedEvent_;
};

// Names the calling thread (at most 15 characters are kept).
void SetCurrentThreadName(const std::string& name);

}  // namespace orbisight
