#include "account/CXOMPWorker.h"

#include <algorithm>
#include <climits>

#include "account/AccountFraming.h"
#include "account/ListReplyHandler.h"
#include "account/ProbeLocalDevice.h"
#include "platform/Debug.h"
#include "platform/Files.h"
#include "platform/Socket.h"
#include "platform/Text.h"

namespace orbisight {
namespace {

std::filesystem::path ChooseDataFolder(const CXOMPWorkerOptions& options) {
    return options.dataFolder.empty() ? DataFolder() : options.dataFolder;
}

std::string CutCredential(std::string_view text) {
    return std::string(text.substr(0, Utf8PrefixLength(text, CXOMPWorker::kCredentialBytes - 1)));
}

// A heartbeat interval of 0 or less would send without pause; such a value
// counts as missing. A day is plenty as an upper bound.
int HeartbeatSeconds(int expire) {
    if (expire <= 0) {
        return CXOMPWorker::kDefaultExpireSec;
    }
    return std::min(expire, 86400);
}

}  // namespace

CXOMPWorker::CXOMPWorker(NoticeTarget* target, CXOMPWorkerOptions options)
    : dataFolder_(ChooseDataFolder(options)),
      timings_(options.timings),
      settings_(AccountSettings::Load(dataFolder_ / AccountSettings::kFileName)),
      target_(target),
      lists_(dataFolder_ / LocalDeviceStore::kFileName),
      logins_(Registry(dataFolder_ / "registry")),
      fetch_(
          lists_, state_, [this](const AccountRequest& r) { return SendRequest(r); }, timings_) {
    lists_.LoadLocal();
}

CXOMPWorker::~CXOMPWorker() {
    // The LAN listener first: it may still hand answers to the lists.
    lanThread_.Stop(timings_.lanStopWaitMs);
    destroying_.store(true);
    cancelConnect_.store(true);  // no reconnection once the server closes
    if (loggedIn_.exchange(false)) {
        SendRequest(AccountRequest{"Logout", "user", true, {}});
    }
    loginThread_.Join(timings_.threadStopWaitMs + timings_.loginConnectTimeoutMs);
    StopSessionThreads();
    fetch_.Shutdown();
    CloseLoginSocket();
}

void CXOMPWorker::PostSession(uintptr_t code, intptr_t value, std::string text,
                              std::shared_ptr<void> object) {
    if (NoticeTarget* target = target_.load()) {
        Notice notice;
        notice.message = notice::kAccountSession;
        notice.wParam = code;
        notice.lParam = value;
        notice.text = std::move(text);
        notice.object = std::move(object);
        target->Post(std::move(notice));
    }
}

void CXOMPWorker::PostConnectFailed() {
    // The attempt number travels with the notice: the window handles it
    // later, when the counter may already stand at a later attempt.
    PostSession(kLoginResult, kConnectFailed, std::to_string(loginAttempt_.load()));
}

// ---- Lists ----

std::optional<std::string> CXOMPWorker::FindAddressList(std::string_view id, bool local) const {
    auto record =
        lists_.Find(local ? DeviceListKind::kLocal : DeviceListKind::kMy, id, IdMatch::kExact);
    if (!record) {
        return std::nullopt;
    }
    return std::string(record->Url());
}

std::vector<AlarmMessage> CXOMPWorker::Alarms() const {
    std::lock_guard lock(lists_.Mutex());
    return {state_.alarms.begin(), state_.alarms.end()};
}

std::optional<UserInfo> CXOMPWorker::CurrentUser() const {
    std::lock_guard lock(lists_.Mutex());
    if (state_.users.empty()) {
        return std::nullopt;
    }
    return state_.users.front();
}

bool CXOMPWorker::UserInfoReceived() const {
    std::lock_guard lock(lists_.Mutex());
    return state_.userInfoReceived;
}

int CXOMPWorker::ExpectedEntryTotal() const {
    std::lock_guard lock(lists_.Mutex());
    return state_.expectedTotal;
}

int CXOMPWorker::EntriesCounted() const {
    std::lock_guard lock(lists_.Mutex());
    return state_.counted;
}

int CXOMPWorker::PublicListVersion() const {
    std::lock_guard lock(lists_.Mutex());
    return state_.publicVersion;
}

int CXOMPWorker::DeviceListVersion() const {
    std::lock_guard lock(lists_.Mutex());
    return state_.deviceVersion;
}

int CXOMPWorker::ProbeLocalDevices(const std::atomic<bool>* cancel, int waitMs) {
    int changed = 0;
    for (const auto& device : lists_.LocalDevicesToProbe()) {
        const LocalEntryRef& entry = device.first;
        const std::string& addressList = device.second;
        if (cancel != nullptr && cancel->load()) {
            break;
        }
        // The connect test runs without the list lock, on a copy of the
        // address; the result goes to the entry if it still exists.
        auto probe = NewDeviceInfo();
        probe->SetUrl(addressList);
        if (ProbeLocalDevice(*probe, cancel, waitMs) == ProbeResult::kUnchanged) {
            continue;
        }
        lists_.Edit(DeviceListKind::kLocal, [&](DeviceList& local) {
            for (auto& record : local) {
                if (entry.Matches(*record)) {
                    changed += record->status != probe->status ? 1 : 0;
                    record->status = probe->status;
                    break;
                }
            }
        });
    }
    return changed;
}

// ---- Credentials ----

void CXOMPWorker::StoreCredentials(std::string_view userName, std::string_view password) {
    {
        std::lock_guard lock(credentialsMutex_);
        userName_ = CutCredential(userName);
        password_ = CutCredential(password);
    }
    std::lock_guard lock(lists_.Mutex());
    if (state_.users.empty()) {
        state_.users.push_back(UserInfo{});
    }
    state_.users.front().SetUserName(userName);
}

std::string CXOMPWorker::UserName() const {
    std::lock_guard lock(credentialsMutex_);
    return userName_;
}

std::string CXOMPWorker::SessionPassword() const {
    std::lock_guard lock(credentialsMutex_);
    return password_;
}

std::pair<std::string, std::string> CXOMPWorker::Credentials() const {
    std::lock_guard lock(credentialsMutex_);
    return {userName_, password_};
}

std::string CXOMPWorker::LastStatusText() const {
    std::lock_guard lock(credentialsMutex_);
    return lastStatus_;
}

// ---- Sending ----

bool CXOMPWorker::SendRequest(const AccountRequest& request) {
    std::lock_guard lock(sendMutex_);
    int socket = loginSocket_.load();
    if (socket < 0) {
        return false;
    }
    builder_.reset();
    builder_.setHeader(request.command + " " + request.resource, 1);
    if (request.withCredentials) {
        auto [user, password] = Credentials();
        builder_.addSection("username", user);
        builder_.addSection("password", password);
    }
    for (const auto& [name, value] : request.sections) {
        builder_.addSection(name, value);
    }
    if (!builder_.hasMessage()) {
        DebugOutput("account request not sent: " + request.command + " " + request.resource);
        builder_.reset();
        return false;
    }
    if (DebugEnabled()) {
        DebugOutput("account send: " + std::string(builder_.getBuffer(), builder_.getDataLen()));
    }
    bool sent = SendAccountMessage(socket, builder_, timings_.sendTimeoutMs);
    builder_.reset();
    if (!sent) {
        // Part of a message may have gone out: the stream is out of step.
        // The receive thread sees the shutdown and reconnects.
        ShutdownSocket(socket);
    }
    return sent;
}

void CXOMPWorker::ComposeLogin(CXOMPPackageBuilder& builder) const {
    auto [user, password] = Credentials();
    builder.setHeader("login user", 1);
    builder.addSection("username", user);
    builder.addSection("password", password);
}

void CXOMPWorker::CloseLoginSocket() {
    std::lock_guard lock(sendMutex_);
    int socket = loginSocket_.exchange(kNoSocket);
    if (socket >= 0) {
        CloseSocket(socket);
    }
}

// ---- Login ----

bool CXOMPWorker::ConnectCycle(CXOMPPackageBuilder& login) {
    loginAttempt_.store(0);
    for (int attempt = 1; attempt <= kLoginAttempts; ++attempt) {
        if (cancelConnect_.load()) {
            return false;
        }
        loginAttempt_.store(attempt);
        const std::string& host = settings_.loginHosts[rotation_.load() & 1u];
        int socket = ConnectTcp(host.c_str(), settings_.loginPort, timings_.loginConnectTimeoutMs,
                                &cancelConnect_);
        if (socket >= 0) {
            std::lock_guard lock(sendMutex_);
            if (cancelConnect_.load()) {
                CloseSocket(socket);
                return false;
            }
            int old = loginSocket_.exchange(socket);
            if (old >= 0) {
                CloseSocket(old);
            }
            if (!SendAccountMessage(socket, login, timings_.sendTimeoutMs)) {
                ShutdownSocket(socket);  // the receive thread sees it broken
            }
            return true;
        }
        if (cancelConnect_.load()) {
            return false;
        }
        ++rotation_;
        PostConnectFailed();
    }
    return false;
}

int CXOMPWorker::StartLogin() {
    if (loggedIn_.load()) {
        return 1;
    }
    cancelConnect_.store(false);
    if (destroying_.load()) {
        cancelConnect_.store(true);
        return 0;
    }
    {
        // Threads left from an earlier refused or unanswered attempt.
        std::lock_guard lock(lifecycleMutex_);
        receiveThread_.Stop(timings_.threadStopWaitMs);
        heartbeatThread_.Stop(timings_.threadStopWaitMs);
    }
    CloseLoginSocket();
    loginAnswered_.store(false);
    heartbeatSec_.store(kDefaultHeartbeatSec);

    CXOMPPackageBuilder login;
    ComposeLogin(login);
    bool connected = ConnectCycle(login);

    std::lock_guard lock(lifecycleMutex_);
    if (cancelConnect_.load()) {
        CloseLoginSocket();
        return 0;
    }
    if (connected) {
        receiveThread_.Start("acct/recv", [this](AutoResetEvent& stop) { ReceiveLoop(stop); });
    }
    heartbeatThread_.Start("acct/heartbeat", [this](AutoResetEvent& stop) { HeartbeatLoop(stop); });
    return connected ? 1 : 0;
}

void CXOMPWorker::StartLoginThread() {
    if (loginThread_.Running() && !loginThread_.Finished()) {
        return;  // an attempt is under way; its answer is still to come
    }
    loginThread_.Join(timings_.threadStopWaitMs);
    loginThread_.Start("acct/login", [this](AutoResetEvent&) { StartLogin(); });
}

void CXOMPWorker::CancelLogin() {
    {
        std::lock_guard decision(loginDecisionMutex_);
        if (loggedIn_.load()) {
            return;  // the answer was accepted just before: an ordinary session
        }
        cancelConnect_.store(true);
    }
    // Shut down, not closed: the receive thread may be waiting on it; it
    // closes the socket itself when it sees the connection end.
    std::lock_guard lock(sendMutex_);
    int socket = loginSocket_.load();
    if (socket >= 0) {
        ShutdownSocket(socket);
    }
}

// ---- Receive thread ----

void CXOMPWorker::ReceiveLoop(AutoResetEvent& stop) {
    while (!stop.TryConsume()) {
        bool intact = ReceiveOne();
        if (!loggedIn_.load()) {
            if (!loginAnswered_.load() && !cancelConnect_.load()) {
                // The server took the connection but never answered the
                // login: tell the login dialog that it failed rather than
                // leave it waiting for ever.
                loginAttempt_.store(kLoginAttempts);
                PostConnectFailed();
            }
            CloseLoginSocket();
            return;
        }
        if (intact) {
            continue;
        }
        if (stop.TryConsume() || cancelConnect_.load()) {
            return;
        }
        CXOMPPackageBuilder login;
        ComposeLogin(login);
        if (!ConnectCycle(login) && stop.Wait(timings_.reconnectPauseMs)) {
            return;
        }
    }
}

bool CXOMPWorker::ReceiveOne() {
    int socket = loginSocket_.load();
    if (socket < 0) {
        return false;
    }
    AccountReadTimeouts timeouts;
    timeouts.readableMs = timings_.readableWaitMs;
    timeouts.prefixMs = timings_.prefixTimeoutMs;
    timeouts.headerMs = timings_.headerTimeoutMs;
    timeouts.bodyMs = timings_.bodyTimeoutMs;
    AccountMessage message;
    std::string problem;
    switch (ReadAccountMessage(socket, timeouts, message, &problem)) {
        case AccountReadResult::kIdle:
            return true;
        case AccountReadResult::kBroken:
            DebugOutput("account connection broken: " + problem);
            CloseLoginSocket();
            return false;
        case AccountReadResult::kMessage:
            break;
    }
    if (DebugEnabled()) {
        DebugOutput("account received: " + message.header + message.body);
    }
    HandleMessage(message.header, message.body);
    return true;
}

void CXOMPWorker::HandleMessage(const std::string& header, const std::string& body) {
    parser_.parse(header);
    if (!loggedIn_.load()) {
        // Only the answer to the pending login decides it. A reply that was
        // on its way when the user logged out (cancelConnect_ is set before
        // the flag is cleared) must not log the session in again.
        bool accepted = parser_.getStatusCode() == 200;
        {
            std::lock_guard decision(loginDecisionMutex_);
            if (cancelConnect_.load() || loginAnswered_.load()) {
                return;
            }
            loginAnswered_.store(true);
            if (accepted) {
                loggedIn_.store(true);
            }
        }
        if (!accepted) {
            PostSession(kLoginResult, kLoginRefused);
            return;
        }
        heartbeatSec_.store(
            HeartbeatSeconds(parser_.getIntegerSectionWithDefault("expire", kDefaultExpireSec)));
        SendRequest(requests::AllDevices());
        SendRequest(requests::OnlineDevices());
        PostSession(kLoginResult, kLoginAccepted);
        SendRequest(requests::UserInformation());
        return;
    }

    ReplyActions actions;
    {
        std::lock_guard lock(lists_.Mutex());
        ListsInProgress lists{lists_.ListLocked(DeviceListKind::kPublic),
                              lists_.ListLocked(DeviceListKind::kMy), state_};
        if (StartsWithNoCase(parser_.command(), "notify")) {
            ListReplyHandler::HandleNotification(parser_, lists, actions);
        } else {
            ListReplyHandler::HandleHeader(parser_, lists, actions);
            ListReplyHandler::HandleBody(parser_, body, lists, actions);
        }
    }
    if (actions.groupComplete) {
        fetch_.GroupComplete();
    }
    if (actions.nextPage) {
        fetch_.NextPage();
    }
    for (const auto& request : actions.requests) {
        SendRequest(request);
    }
    for (auto& post : actions.posts) {
        PostSession(post.code, post.value, std::move(post.text), std::move(post.object));
    }
    if (actions.statusReceived) {
        fetch_.StatusReceived();
    }
}

// ---- Heartbeat thread ----

void CXOMPWorker::HeartbeatLoop(AutoResetEvent& stop) {
    for (;;) {
        long long waitMs = static_cast<long long>(heartbeatSec_.load()) * timings_.heartbeatUnitMs;
        if (stop.Wait(static_cast<int>(std::min<long long>(waitMs, INT_MAX)))) {
            return;
        }
        if (!loggedIn_.load()) {
            return;
        }
        CXOMPPackageBuilder heartbeat;
        heartbeat.setHeader("HeartBeat user", 1);
        std::lock_guard lock(sendMutex_);
        int socket = loginSocket_.load();
        if (socket >= 0 && !SendAccountMessage(socket, heartbeat, timings_.sendTimeoutMs)) {
            ShutdownSocket(socket);
        }
    }
}

// ---- Logout and shutdown ----

void CXOMPWorker::StopSessionThreads() {
    std::lock_guard lock(lifecycleMutex_);
    receiveThread_.SignalStop();
    heartbeatThread_.SignalStop();
    {
        // Wakes the receive thread from its wait for data.
        std::lock_guard sendLock(sendMutex_);
        int socket = loginSocket_.load();
        if (socket >= 0) {
            ShutdownSocket(socket);
        }
    }
    receiveThread_.Join(timings_.threadStopWaitMs);
    heartbeatThread_.Join(timings_.threadStopWaitMs);
}

void CXOMPWorker::ClearServerSession() {
    std::lock_guard lock(lists_.Mutex());
    lists_.ListLocked(DeviceListKind::kPublic).clear();
    lists_.ListLocked(DeviceListKind::kMy).clear();
    state_.ClearSession();
}

void CXOMPWorker::Logout() {
    if (!loggedIn_.load()) {
        return;
    }
    // The server closes after a logout: no reconnection may start.
    cancelConnect_.store(true);
    SendRequest(AccountRequest{"Logout", "user", true, {}});
    if (!loggedIn_.exchange(false)) {
        return;  // another thread logged out meanwhile
    }
    StopSessionThreads();
    CloseLoginSocket();
    fetch_.EndSession();
    ClearServerSession();
    PostSession(kLoggedOut, 0);
    std::lock_guard lock(credentialsMutex_);
    userName_.clear();
    password_.clear();
}

// ---- Commands ----

void CXOMPWorker::SetRefresh() {
    std::lock_guard lock(lists_.Mutex());
    state_.refresh = true;
}

void CXOMPWorker::RequestUpdate() {
    SetRefresh();
    SendRequest(requests::AllDevices());
    SendRequest(requests::OnlineDevices());
}

void CXOMPWorker::RequestOnlineDevices() {
    SendRequest(requests::OnlineDevices());
}

void CXOMPWorker::RefreshList() {
    if (!loggedIn_.load()) {
        return;
    }
    std::vector<ListEntry> entries;
    lists_.Visit(DeviceListKind::kMy, [&](const DeviceList& my) {
        for (const auto& record : my) {
            entries.push_back({record->isGroup != 0, std::string(record->Id())});
        }
    });
    for (const auto& request : requests::ListBatches(entries)) {
        SendRequest(request);
    }
    for (const auto& request : requests::InfoBatches(entries)) {
        SendRequest(request);
    }
}

void CXOMPWorker::StartLanListener(WorkerThread::Body body) {
    lanThread_.Start("acct/lan", std::move(body));
}

void CXOMPWorker::SetLanBlockLookup(LanBlockLookup lookup) {
    std::lock_guard lock(lanMutex_);
    lanLookup_ = std::move(lookup);
}

}  // namespace orbisight
