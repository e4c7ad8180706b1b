#include "platform/Notice.h"

#include <chrono>

namespace orbisight {

uint32_t RegisteredMessage(const std::string& name) {
    if (name == "HALVEX_XOMPWORKER_PC20110907094249") {
        return notice::kAccountSession;
    }
    if (name == "FoundMyVelaExpertNewVersion20121213160030") {
        return notice::kNewVersion;
    }
    if (name == "MYVELALOUDE_20140927163540") {
        return notice::kCloudQuery;
    }
    return 0;
}

void NoticeQueue::Post(Notice notice) {
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= capacity_) {
            queue_.pop_front();
            ++dropped_;
        }
        queue_.push_back(std::move(notice));
    }
    cv_.notify_all();
}

bool NoticeQueue::Wait(Notice& out, int timeoutMs) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [this] { return !queue_.empty(); })) {
        return false;
    }
    out = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

bool NoticeQueue::WaitFor(uint32_t message, Notice& out, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(mutex_);
    for (;;) {
        for (auto it = queue_.begin(); it != queue_.end(); ++it) {
            if (it->message == message) {
                out = std::move(*it);
                queue_.erase(it);
                return true;
            }
        }
        if (cv_.wait_until(lock, deadline) == std::cv_status::timeout) {
            // One last look: a notice may have arrived with the time-out.
            for (auto it = queue_.begin(); it != queue_.end(); ++it) {
                if (it->message == message) {
                    out = std::move(*it);
                    queue_.erase(it);
                    return true;
                }
            }
            return false;
        }
    }
}

std::vector<Notice> NoticeQueue::Drain() {
    std::lock_guard lock(mutex_);
    std::vector<Notice> all(std::make_move_iterator(queue_.begin()),
                            std::make_move_iterator(queue_.end()));
    queue_.clear();
    return all;
}

size_t NoticeQueue::Dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

}  // namespace orbisight
