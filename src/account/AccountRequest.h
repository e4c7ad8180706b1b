#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orbisight {

// One request of the session, composed on the shared builder and sent as a
// whole (see CXOMPWorker::SendRequest).
struct AccountRequest {
    std::string command;
    std::string resource;
    bool withCredentials = false;  // "username" and "password" first
    std::vector<std::pair<std::string, std::string>> sections;

    AccountRequest& Add(std::string name, std::string value) {
        sections.emplace_back(std::move(name), std::move(value));
        return *this;
    }
};

// One entry of a batch: a group or a device of the "my" list.
struct ListEntry {
    bool isGroup = false;
    std::string id;
};

// Requests about the device lists, with their "cseq" texts. The leading
// number of a reply's "cseq" tells what it answers: 0 versions, 1 public
// list, 2 my list, 3 and 2000 device information, 4 user information,
// 5 device status.
namespace requests {
constexpr size_t kBatchSize = 50;

AccountRequest AllDevices();       // "get"/"all-dev", cseq "2000"
AccountRequest OnlineDevices();    // "get"/"online-dev", cseq "5"
AccountRequest UserInformation();  // "get"/"usr-info", cseq "4 [usr-info]"
// One page of a group's list: "group-id", "page", cseq "2 [<group>] ".
AccountRequest GroupPage(int32_t group, int32_t page);
// "get"/"dev-list" for entries, cseq "2 [dev-list]" (the tree's refresh).
std::vector<AccountRequest> ListBatches(const std::vector<ListEntry>& entries);
// "get"/"dev-info" with "group-id" or "device-id" per entry, cseq
// "3 [dev-info]".
std::vector<AccountRequest> InfoBatches(const std::vector<ListEntry>& entries);
AccountRequest InfoBatch(const std::vector<ListEntry>& entries, size_t first, size_t count);
// "get"/"dev-status" with "device-id" per device, cseq "5": groups count
// toward the batch but add no section.
AccountRequest StatusBatch(const std::vector<ListEntry>& entries, size_t first, size_t count);
// Requests about public entries (device IDs): cseq "3 [dev-info]" and
// "5 [dev-status]", 50 devices a message.
std::vector<AccountRequest> PublicInfoBatches(const std::vector<std::string>& ids);
std::vector<AccountRequest> PublicStatusBatches(const std::vector<std::string>& ids);
// The two requests a "dev-info" notification asks for.
AccountRequest OneDeviceInfo(const std::string& id);    // cseq "3 [dev-info]"
AccountRequest OneDeviceStatus(const std::string& id);  // cseq "5 [dev-status]"
}  // namespace requests

}  // namespace orbisight
