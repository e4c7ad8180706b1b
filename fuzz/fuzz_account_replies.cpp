// Replies and notifications of the account server on arbitrary bytes: the
// first part is a header, the rest an XML body. The list handling must not
// crash, loop or corrupt the lists whatever arrives.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "account/CXOMPPackageParser.h"
#include "account/ListReplyHandler.h"
#include "account/UserInfo.h"

using namespace orbisight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    size_t headerLength = std::min<size_t>(data[0] | (data[1] << 8), size - 2);
    std::string header(reinterpret_cast<const char*>(data + 2), headerLength);
    std::string body(reinterpret_cast<const char*>(data + 2 + headerLength),
                     size - 2 - headerLength);
    CXOMPPackageParser parser;
    parser.parse(header.data(), static_cast<int>(header.size()));

    DeviceList publicList;
    DeviceList myList;
    ServerListState state;
    // The logged-in user, so that user-information bodies have someone to
    // describe.
    UserInfo user{};
    user.SetUserName("alice");
    state.users.push_back(user);
    ListsInProgress lists{publicList, myList, state};
    ReplyActions actions;
    if (parser.command() == "notify") {
        ListReplyHandler::HandleNotification(parser, lists, actions);
    } else {
        ListReplyHandler::HandleHeader(parser, lists, actions);
        ListReplyHandler::HandleBody(parser, body, lists, actions);
    }
    // Whatever arrived, every text stays terminated inside its field.
    for (const DeviceList* list : {&publicList, &myList}) {
        for (const auto& record : *list) {
            if (record->id[sizeof record->id - 1] != '\0' ||
                record->name[sizeof record->name - 1] != '\0' ||
                record->url[sizeof record->url - 1] != '\0' ||
                record->tips[sizeof record->tips - 1] != '\0') {
                std::abort();
            }
        }
    }
    for (const UserInfo& info : state.users) {
        if (info.userName[sizeof info.userName - 1] != '\0' ||
            info.displayName[sizeof info.displayName - 1] != '\0') {
            std::abort();
        }
    }
    return 0;
}
