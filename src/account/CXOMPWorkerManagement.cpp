// The management requests of the account session: one-shot exchanges with
// the register server, and what follows a successful one.

#include <cstddef>
#include <cstring>

#include "account/AccountFraming.h"
#include "account/CXOMPWorker.h"
#include "device/DevInfoBlock.h"
#include "platform/Debug.h"
#include "platform/Socket.h"
#include "platform/Text.h"

namespace orbisight {
namespace {

// Members of the LAN parameter block that a "VidxSetInfo" broadcast changes.
constexpr int32_t kLanSetCode = 135;
constexpr size_t kLanCommandOffset = 4;
constexpr size_t kLanCommandBytes = 24;
// The bound-account field: the whole field is written, the name cut to
// leave its terminator.
constexpr size_t kLanBoundAccountOffset = offsetof(DevInfoBlock, boundUser);
constexpr size_t kLanBoundAccountBytes = sizeof(DevInfoBlock::boundUser);
static_assert(sizeof(DevInfoBlock) == CXOMPWorker::kLanBlockBytes);

}  // namespace

int CXOMPWorker::RegisterServerRequest(CXOMPPackageBuilder& message) {
    if (!message.hasMessage()) {
        return 0;
    }
    {
        std::lock_guard lock(credentialsMutex_);
        lastStatus_.clear();
    }
    const std::string& host = settings_.registerHosts[rotation_.load() & 1u];
    int socket = ConnectTcp(host.c_str(), settings_.registerPort, timings_.registerConnectTimeoutMs,
                            &destroying_);
    if (socket < 0) {
        ++rotation_;
        message.reset();
        return 0;
    }
    int status = 0;
    if (SendAccountMessage(socket, message, timings_.sendTimeoutMs)) {
        AccountReadTimeouts timeouts;
        timeouts.prefixMs = timeouts.headerMs = timeouts.bodyMs = timings_.replyTimeoutMs;
        AccountMessage reply;
        std::string problem;
        if (ReadAccountMessage(socket, timeouts, reply, &problem) == AccountReadResult::kMessage) {
            CXOMPPackageParser parser;
            parser.parse(reply.header);
            status = parser.getStatusCode();
            std::string_view description = parser.statusDescription();
            std::lock_guard lock(credentialsMutex_);
            lastStatus_.assign(
                description.substr(0, Utf8PrefixLength(description, kLastStatusBytes - 1)));
        } else {
            DebugOutput("register server: " + problem);
        }
    }
    CloseSocket(socket);
    message.reset();
    return status == 200 ? 1 : 0;
}

int CXOMPWorker::ManagementRequest(
    const char* command, const std::vector<std::pair<std::string, std::string>>& sections) {
    CXOMPPackageBuilder message;
    message.setHeader(std::string(command) + " reg-s", 1);
    for (const auto& [name, value] : sections) {
        message.addSection(name, value);
    }
    return RegisterServerRequest(message);
}

int CXOMPWorker::RegisterUser(std::string_view email, std::string_view userName,
                              std::string_view password, std::string_view nickname) {
    return ManagementRequest("register_user", {{"username", std::string(userName)},
                                               {"password", std::string(password)},
                                               {"nickname", std::string(nickname)},
                                               {"email", std::string(email)}});
}

int CXOMPWorker::ModifyUser(std::string_view userName, std::string_view password,
                            std::string_view nickname, std::string_view newPassword) {
    std::vector<std::pair<std::string, std::string>> sections = {
        {"username", std::string(userName)}, {"password", std::string(password)}};
    if (!nickname.empty()) {
        sections.emplace_back("nickname_new", std::string(nickname));
    }
    if (!newPassword.empty()) {
        sections.emplace_back("password_new", std::string(newPassword));
    }
    if (ManagementRequest("modify_user", sections) != 1) {
        return 0;
    }
    if (!newPassword.empty()) {
        // Later requests of this session use the new password; the saved
        // login keeps what the user chose to remember.
        StoreCredentials(userName, newPassword);
    }
    if (!nickname.empty()) {
        // The account label shows the new nickname at once, not only after
        // the next login fetches the user information again.
        std::lock_guard lock(lists_.Mutex());
        if (!state_.users.empty()) {
            state_.users.front().SetDisplayName(nickname);
        }
    }
    return 1;
}

int CXOMPWorker::ModifyDevice(std::string_view deviceId, std::string_view name, int type) {
    auto [user, password] = Credentials();
    if (ManagementRequest("modify_device", {{"username", user},
                                            {"password", password},
                                            {"hid", std::string(deviceId)},
                                            {"name", std::string(name)},
                                            {"type", std::to_string(type)}}) != 1) {
        return 0;
    }
    RequestUpdate();
    return 1;
}

int CXOMPWorker::BindDevice(std::string_view userName, std::string_view deviceId,
                            std::string_view password) {
    if (!loggedIn_.load()) {
        return 0;
    }
    auto credentials = Credentials();
    if (!userName.empty()) {
        credentials = {std::string(userName), std::string(password)};
    }
    if (ManagementRequest("bind", {{"username", credentials.first},
                                   {"password", credentials.second},
                                   {"hid", std::string(deviceId)}}) != 1) {
        return 0;
    }
    BroadcastLanSetInfo(deviceId, true);
    RequestUpdate();
    return 1;
}

int CXOMPWorker::UnbindDevice(std::string_view userName, std::string_view deviceId,
                              std::string_view password) {
    auto credentials = Credentials();
    if (!userName.empty()) {
        credentials = {std::string(userName), std::string(password)};
    }
    if (ManagementRequest("unbind", {{"username", credentials.first},
                                     {"password", credentials.second},
                                     {"hid", std::string(deviceId)}}) != 1) {
        return 0;
    }
    BroadcastLanSetInfo(deviceId, false);
    SetRefresh();
    lists_.Edit(DeviceListKind::kMy, [&](DeviceList& my) {
        for (auto it = my.begin(); it != my.end(); ++it) {
            if (EqualsNoCase((*it)->Id(), deviceId)) {
                my.erase(it);
                break;
            }
        }
    });
    SendRequest(requests::AllDevices());
    SendRequest(requests::OnlineDevices());
    return 1;
}

void CXOMPWorker::BroadcastLanSetInfo(std::string_view deviceId, bool bind) {
    LanBlockLookup lookup;
    {
        std::lock_guard lock(lanMutex_);
        lookup = lanLookup_;
    }
    std::array<uint8_t, kLanBlockBytes> block{};
    if (!lookup || !lookup(deviceId, block)) {
        return;
    }
    std::memcpy(block.data(), &kLanSetCode, sizeof kLanSetCode);
    CopyTextField(reinterpret_cast<char*>(block.data() + kLanCommandOffset), kLanCommandBytes,
                  "VidxSetInfo");
    char* account = reinterpret_cast<char*>(block.data() + kLanBoundAccountOffset);
    if (bind) {
        CopyTextField(account, kLanBoundAccountBytes, UserName());
    } else {
        std::memset(account, 0, kLanBoundAccountBytes);
    }
    BroadcastDatagram(settings_.deviceSetPort, block.data(), block.size());
}

}  // namespace orbisight
