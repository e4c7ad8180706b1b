#include "account/AlarmList.h"

#include <algorithm>

namespace orbisight {

AlarmList::AlarmList(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

uint64_t AlarmList::Append(const AlarmMessage& message) {
    std::lock_guard lock(mutex_);
    uint64_t key = nextKey_++;
    entries_.push_back({key, message});
    while (entries_.size() > capacity_) {
        entries_.pop_front();
    }
    ++version_;
    return key;
}

std::vector<AlarmEntry> AlarmList::Snapshot() const {
    std::lock_guard lock(mutex_);
    return {entries_.begin(), entries_.end()};
}

std::vector<AlarmMessage> AlarmList::Messages() const {
    std::lock_guard lock(mutex_);
    std::vector<AlarmMessage> messages;
    messages.reserve(entries_.size());
    for (const AlarmEntry& entry : entries_) {
        messages.push_back(entry.message);
    }
    return messages;
}

namespace {
// Keys ascend along the list, so a binary search finds one.
template <typename Entries>
auto FindKey(Entries& entries, uint64_t key) {
    auto it = std::lower_bound(entries.begin(), entries.end(), key,
                               [](const AlarmEntry& e, uint64_t k) { return e.key < k; });
    return (it != entries.end() && it->key == key) ? it : entries.end();
}
}  // namespace

std::optional<AlarmEntry> AlarmList::Find(uint64_t key) const {
    std::lock_guard lock(mutex_);
    auto it = FindKey(entries_, key);
    if (it == entries_.end()) {
        return std::nullopt;
    }
    return *it;
}

bool AlarmList::Remove(uint64_t key) {
    std::lock_guard lock(mutex_);
    auto it = FindKey(entries_, key);
    if (it == entries_.end()) {
        return false;
    }
    entries_.erase(it);
    ++version_;
    return true;
}

size_t AlarmList::Clear() {
    std::lock_guard lock(mutex_);
    size_t removed = entries_.size();
    entries_.clear();
    ++version_;
    return removed;
}

size_t AlarmList::Size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

uint64_t AlarmList::Version() const {
    std::lock_guard lock(mutex_);
    return version_;
}

}  // namespace orbisight
