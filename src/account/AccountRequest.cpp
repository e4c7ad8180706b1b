#include "account/AccountRequest.h"

#include <algorithm>

namespace orbisight::requests {
namespace {

AccountRequest Get(const char* resource) {
    AccountRequest request;
    request.command = "get";
    request.resource = resource;
    return request;
}

template <typename AddEntry>
std::vector<AccountRequest> Batches(size_t count, const char* resource, const char* cseq,
                                    AddEntry addEntry) {
    std::vector<AccountRequest> batches;
    for (size_t first = 0; first < count; first += kBatchSize) {
        AccountRequest request = Get(resource);
        size_t last = std::min(count, first + kBatchSize);
        for (size_t i = first; i < last; ++i) {
            addEntry(request, i);
        }
        request.Add("cseq", cseq);
        batches.push_back(std::move(request));
    }
    return batches;
}

void AddEntry(AccountRequest& request, const ListEntry& entry) {
    request.Add(entry.isGroup ? "group-id" : "device-id", entry.id);
}

}  // namespace

AccountRequest AllDevices() {
    return Get("all-dev").Add("cseq", "2000");
}

AccountRequest OnlineDevices() {
    return Get("online-dev").Add("cseq", "5");
}

AccountRequest UserInformation() {
    return Get("usr-info").Add("cseq", "4 [usr-info]");
}

AccountRequest GroupPage(int32_t group, int32_t page) {
    return Get("dev-list")
        .Add("group-id", std::to_string(group))
        .Add("page", std::to_string(page))
        .Add("cseq", "2 [" + std::to_string(group) + "] ");
}

std::vector<AccountRequest> ListBatches(const std::vector<ListEntry>& entries) {
    return Batches(entries.size(), "dev-list", "2 [dev-list]",
                   [&](AccountRequest& r, size_t i) { AddEntry(r, entries[i]); });
}

std::vector<AccountRequest> InfoBatches(const std::vector<ListEntry>& entries) {
    return Batches(entries.size(), "dev-info", "3 [dev-info]",
                   [&](AccountRequest& r, size_t i) { AddEntry(r, entries[i]); });
}

AccountRequest InfoBatch(const std::vector<ListEntry>& entries, size_t first, size_t count) {
    AccountRequest request = Get("dev-info");
    for (size_t i = first; i < entries.size() && i < first + count; ++i) {
        AddEntry(request, entries[i]);
    }
    return request.Add("cseq", "3 [dev-info]");
}

AccountRequest StatusBatch(const std::vector<ListEntry>& entries, size_t first, size_t count) {
    AccountRequest request = Get("dev-status");
    for (size_t i = first; i < entries.size() && i < first + count; ++i) {
        if (!entries[i].isGroup) {
            request.Add("device-id", entries[i].id);
        }
    }
    return request.Add("cseq", "5");
}

std::vector<AccountRequest> PublicInfoBatches(const std::vector<std::string>& ids) {
    return Batches(ids.size(), "dev-info", "3 [dev-info]",
                   [&](AccountRequest& r, size_t i) { r.Add("device-id", ids[i]); });
}

std::vector<AccountRequest> PublicStatusBatches(const std::vector<std::string>& ids) {
    return Batches(ids.size(), "dev-status", "5 [dev-status]",
                   [&](AccountRequest& r, size_t i) { r.Add("device-id", ids[i]); });
}

AccountRequest OneDeviceInfo(const std::string& id) {
    return Get("dev-info").Add("device-id", id).Add("cseq", "3 [dev-info]");
}

AccountRequest OneDeviceStatus(const std::string& id) {
    return Get("dev-status").Add("device-id", id).Add("cseq", "5 [dev-status]");
}

}  // namespace orbisight::requests
