#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "account/AccountRequest.h"
#include "account/DeviceInfo.h"
#include "account/ServerListState.h"

namespace orbisight {

class CXOMPPackageParser;

// A session notice to post once the list lock is released.
struct SessionPost {
    uintptr_t code = 0;
    intptr_t value = 0;
    std::string text;              // the device ID for code 4 with a record
    std::shared_ptr<void> object;  // a DeviceInfo or AlarmMessage copy
};

// What handling one message asks of the session, carried out after the list
// lock is released (requests are never sent under that lock).
struct ReplyActions {
    std::vector<AccountRequest> requests;
    std::vector<SessionPost> posts;
    bool groupComplete = false;   // a group's list is complete: detail fetch
    bool nextPage = false;        // a group's list is incomplete: pager
    bool statusReceived = false;  // a status reply arrived
};

// The lists the handlers work on, all guarded by the caller's list lock.
struct ListsInProgress {
    DeviceList& publicList;
    DeviceList& myList;
    ServerListState& state;
};

// Turns replies and notifications of the login connection into list
// changes. Pure functions of the parsed message and the lists, called with
// the list lock held; they never block.
//
// Device-information bodies: the group pass reads only "group" elements and
// the device pass only "dev" elements, so a body may list groups and devices
// in any order and each element is counted once.
class ListReplyHandler {
  public:
    // Most records a server list (public or my) may hold: replies can create
    // records, and no server may make the client grow without bound.
    static constexpr size_t kMaxServerEntries = 10000;

    // The header of a reply (not a notification): versions (cseq 0) and the
    // list entries of public (1) and my (2) list replies with their paging.
    static void HandleHeader(const CXOMPPackageParser& header, ListsInProgress lists,
                             ReplyActions& out);
    // The XML body of a reply: device information (cseq 3 and 2000), user
    // information (4) and device status (5). A body that is not XML changes
    // nothing.
    static void HandleBody(const CXOMPPackageParser& header, std::string_view body,
                           ListsInProgress lists, ReplyActions& out);
    // A server notification (command "notify"): alarm, dev-info, dev-status.
    static void HandleNotification(const CXOMPPackageParser& header, ListsInProgress lists,
                                   ReplyActions& out);

    // Two passes: by name (ignoring case; empty names stay put), then by
    // status (higher first), each swapping every out-of-order pair.
    static void SortByNameThenStatus(DeviceList& list);
    // A status from a status reply: values outside 0..2 become 0.
    static int32_t ClampStatus(int32_t status) { return status < 0 || status > 2 ? 0 : status; }
    // "%d [%d]" of a cseq text; the group is 0 when missing.
    static void ParseListCseq(std::string_view cseq, int32_t& sequence, int32_t& group);
};

}  // namespace orbisight
