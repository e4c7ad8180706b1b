#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/WorkerThread.h"

namespace orbisight {

// Lets go of objects whose release may block (a join, a network close) one
// after another on one thread started on first use, so the thread that
// handed them over never waits. The queue has no limit of its own: objects
// are handed over one at a time by a user's actions.
template <class T>
class ReleaseThread {
  public:
    // release runs on the thread, outside the lock, before the last
    // reference goes.
    ReleaseThread(std::string name, std::function<void(T&)> release)
        : name_(std::move(name)), release_(std::move(release)) {}

    ReleaseThread(const ReleaseThread&) = delete;
    ReleaseThread& operator=(const ReleaseThread&) = delete;

    ~ReleaseThread() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
        thread_.Join(60000);
    }

    void Hand(std::shared_ptr<T> object) {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(object));
        if (!thread_.Running()) {
            thread_.Start(name_, [this](AutoResetEvent&) { Run(); });
        }
        cv_.notify_one();
    }

    // Waits up to waitMs until everything handed over is released.
    bool WaitIdle(int waitMs) {
        std::unique_lock lock(mutex_);
        return idle_.wait_for(lock, std::chrono::milliseconds(waitMs),
                              [this] { return waiting_.empty() && !releasing_; });
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        while (true) {
            cv_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (waiting_.empty()) {
                return;  // stopping, nothing left
            }
            std::shared_ptr<T> object = std::move(waiting_.front());
            waiting_.pop_front();
            releasing_ = true;
            lock.unlock();
            if (release_ && object) {
                release_(*object);
            }
            object.reset();
            lock.lock();
            releasing_ = false;
            idle_.notify_all();
        }
    }

    const std::string name_;
    const std::function<void(T&)> release_;
    std::mutex mutex_;
    std::condition_variable cv_;              // work arrived, or stopping_
    std::condition_variable idle_;            // an object was released
    std::deque<std::shared_ptr<T>> waiting_;  // protected by mutex_
    bool releasing_ = false;                  // protected by mutex_
    bool stopping_ = false;                   // protected by mutex_
    WorkerThread thread_;
};

}  // namespace orbisight
