#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "account/AlarmMessage.h"

namespace orbisight {

// One kept alarm with the key that names it for as long as it is kept.
struct AlarmEntry {
    uint64_t key = 0;  // 1, 2, 3 ... in order of arrival; never reused
    AlarmMessage message{};
};

// The session's alarm history: appended by the session's receive thread,
// read, deleted from and cleared by the alarm window on the window thread.
// Holds at most `capacity` alarms; beyond that the oldest is dropped. Rows of
// a window name an alarm by its key, never by its position, so a drop or an
// append meanwhile never makes a row delete another alarm.
//
// Every call takes the list's own lock, a leaf lock: it may be taken while
// the session holds its list lock, and nothing else is taken under it.
class AlarmList {
  public:
    static constexpr size_t kDefaultCapacity = 10000;

    explicit AlarmList(size_t capacity = kDefaultCapacity);
    AlarmList(const AlarmList&) = delete;
    AlarmList& operator=(const AlarmList&) = delete;

    // Appends a copy and returns its key.
    uint64_t Append(const AlarmMessage& message);
    // Oldest first.
    std::vector<AlarmEntry> Snapshot() const;
    std::vector<AlarmMessage> Messages() const;
    std::optional<AlarmEntry> Find(uint64_t key) const;
    // False when no kept alarm has that key (deleted, cleared or dropped).
    bool Remove(uint64_t key);
    // Returns how many were removed.
    size_t Clear();
    size_t Size() const;
    size_t Capacity() const { return capacity_; }
    // Changes whenever the list changes: a window refills only when it moved.
    uint64_t Version() const;

  private:
    const size_t capacity_;
    mutable std::mutex mutex_;
    std::deque<AlarmEntry> entries_;  // protected by mutex_, keys ascending
    uint64_t nextKey_ = 1;            // protected by mutex_
    uint64_t version_ = 0;            // protected by mutex_
};

}  // namespace orbisight
