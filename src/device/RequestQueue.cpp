#include "device/RequestQueue.h"

#include <chrono>

namespace orbisight {

bool RequestQueue::Push(std::unique_ptr<CHalvexProtocolAX> message, uint64_t connection) {
    if (!message) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        if (requests_.size() >= capacity_) {
            ++refused_;
            return false;
        }
        requests_.push_back(Request{std::move(message), connection});
    }
    cv_.notify_one();
    return true;
}

bool RequestQueue::Pop(Request& request) {
    std::lock_guard lock(mutex_);
    if (requests_.empty()) {
        return false;
    }
    request = std::move(requests_.front());
    requests_.pop_front();
    return true;
}

bool RequestQueue::WaitForRequest(int timeoutMs) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                 [this] { return !requests_.empty() || wake_; });
    wake_ = false;
    return !requests_.empty();
}

void RequestQueue::Wake() {
    {
        std::lock_guard lock(mutex_);
        wake_ = true;
    }
    cv_.notify_all();
}

size_t RequestQueue::Clear() {
    std::deque<Request> dropped;
    std::lock_guard lock(mutex_);
    dropped.swap(requests_);
    return dropped.size();
}

size_t RequestQueue::Size() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

uint64_t RequestQueue::Refused() const {
    std::lock_guard lock(mutex_);
    return refused_;
}

}  // namespace orbisight
