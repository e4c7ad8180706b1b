#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace orbisight::sim {

// The breaches of the format a simulated service saw in what clients sent:
// each printed on stderr as it comes, counted, and the last 200 kept for
// tests. Any thread.
class SimViolationLog {
  public:
    static constexpr size_t kKept = 200;

    // `who` opens the line: "camera ORBI00000001", "account".
    explicit SimViolationLog(std::string who) : who_(std::move(who)) {}

    void Report(const std::string& text) {
        std::fprintf(stderr, "orbisight-sim: %s: protocol violation: %s\n", who_.c_str(),
                     text.c_str());
        std::lock_guard lock(mutex_);
        ++count_;
        recent_.push_back(text);
        if (recent_.size() > kKept) {
            recent_.erase(recent_.begin());
        }
    }
    int Count() const {
        std::lock_guard lock(mutex_);
        return count_;
    }
    std::vector<std::string> Recent() const {
        std::lock_guard lock(mutex_);
        return recent_;
    }

  private:
    const std::string who_;
    mutable std::mutex mutex_;
    std::vector<std::string> recent_;  // protected by mutex_
    int count_ = 0;                    // protected by mutex_
};

}  // namespace orbisight::sim
