#include "app/ChannelCloser.h"

#include <string>

#include "app/CDlgVedioShow.h"
#include "media/VideoSink.h"

namespace orbisight {

void ReleasedChannel::CloseNow() {
    if (opener) {
        // A Close that ran before Open began must not be followed by an Open
        // that reconnects behind our back: the opener sees this first.
        opener->SignalStop();
    }
    if (channel) {
        channel->Close();
    }
    if (opener) {
        opener->Join(CDlgVedioShow::kOpenStopWaitMs);
    }
    channel.reset();
    opener.reset();
    sink.reset();
    keep.reset();
}

ChannelCloser::~ChannelCloser() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    // Each thread empties the list before it ends.
    for (auto& thread : threads_) {
        thread->Join(kCloserStopWaitMs);
    }
    // Only without any thread (never started) can something be left.
    while (!waiting_.empty()) {
        ReleasedChannel released = std::move(waiting_.front());
        waiting_.pop_front();
        released.CloseNow();
    }
}

void ChannelCloser::Hand(ReleasedChannel released) {
    bool startThread = false;
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(released));
        // One more thread when every running one is busy.
        startThread = idleThreads_ < waiting_.size() && threads_.size() < kThreads;
        if (startThread) {
            threads_.push_back(std::make_unique<WorkerThread>());
        }
    }
    if (startThread) {
        // threads_ is touched only here and in the destructor, both on the
        // owner's thread.
        threads_.back()->Start("app/close" + std::to_string(threads_.size() - 1),
                               [this](AutoResetEvent&) { Run(); });
    }
    cv_.notify_one();
}

size_t ChannelCloser::Pending() const {
    std::lock_guard lock(mutex_);
    return waiting_.size() + closing_;
}

bool ChannelCloser::WaitIdle(int waitMs) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(waitMs),
                          [this] { return waiting_.empty() && closing_ == 0; });
}

void ChannelCloser::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idleThreads_;
        cv_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        --idleThreads_;
        if (waiting_.empty()) {
            return;  // stopping, nothing left
        }
        ReleasedChannel released = std::move(waiting_.front());
        waiting_.pop_front();
        ++closing_;
        lock.unlock();
        released.CloseNow();
        lock.lock();
        --closing_;
        if (waiting_.empty() && closing_ == 0) {
            idle_.notify_all();
        }
    }
}

}  // namespace orbisight
