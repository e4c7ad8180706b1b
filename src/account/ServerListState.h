#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "account/AlarmList.h"
#include "account/UserInfo.h"

namespace orbisight {

// Paging of one group's list.
struct GroupPageInfo {
    int32_t groupId = 0;
    int32_t received = 0;   // entries received for the group
    int32_t total = 0;      // entries announced by the server
    int32_t pageCount = 0;  // total / 100 + 1
    int32_t nextPage = 0;   // set to 1 whenever a total arrives

    static int32_t PagesFor(int32_t total) { return total / 100 + 1; }
};

// The session's list bookkeeping beside the lists themselves. Guarded by the
// list lock (SessionLists::Mutex()) like the lists.
struct ServerListState {
    // Alarms kept for the alarm window; the oldest is dropped beyond this.
    static constexpr size_t kMaxAlarms = AlarmList::kDefaultCapacity;

    std::map<int32_t, GroupPageInfo> groupPages;
    int32_t currentGroup = 0;  // group of the last list reply that created entries
    int32_t listTotal = 0;     // current list total and entries received for it
    int32_t listReceived = 0;
    int32_t expectedTotal = 0;  // device-information progress
    int32_t counted = 0;
    int32_t publicVersion = 0;
    int32_t deviceVersion = 0;
    int32_t devInfoCounter = 0;
    int32_t devStatusCounter = 0;
    // Set by a management request or the update command: the next complete
    // list restarts the detail fetch even when entries were already known.
    bool refresh = false;
    // Locks itself (a leaf lock): the alarm window uses it without the
    // list lock.
    AlarmList alarms{kMaxAlarms};
    std::vector<UserInfo> users;    // the logged-in user (one entry)
    bool userInfoReceived = false;  // a user information reply arrived

    // What a logout frees (the alarm list stays).
    void ClearSession() {
        groupPages.clear();
        currentGroup = 0;
        listTotal = listReceived = 0;
        expectedTotal = counted = 0;
        users.clear();
        userInfoReceived = false;
    }
};

}  // namespace orbisight
