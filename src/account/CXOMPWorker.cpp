#include "account/CXOMPWorker.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "account/AccountFraming.h"
#include "account/ListReplyHandler.h"
#include "account/ProbeLocalDevice.h"
#include "platform/Clock.h"
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
    // A logged-in session says goodbye as at any logout, here and now: no
    // step runs on the session thread while the session is logged in.
    std::pair<std::string, std::string> credentials;
    if (BeginLogout(credentials)) {
        FinishLogout(credentials, false);
    }
    {
        std::lock_guard decision(loginDecisionMutex_);
        destroying_.store(true);
        cancelConnect_.store(true);  // no reconnection once the server closes
        ++loginTicket_;              // queued login cycles are not run
    }
    {
        std::lock_guard lock(sessionStepsMutex_);
        sessionThreadEnding_ = true;
    }
    sessionStepsChanged_.notify_all();
    // A logout still finishing completes (its send, the wait for the server
    // to close and two joins); a connect cycle sees the cancel flag, queued
    // cycles are not run. The receive thread of a cycle waiting for its
    // answer ends below.
    sessionThread_.Join(timings_.sendTimeoutMs + 3 * timings_.threadStopWaitMs);
    StopSessionThreads();
    fetch_.Shutdown();
    CloseLoginSocket();
}

void CXOMPWorker::SetNoticeTarget(NoticeTarget* target) {
    std::lock_guard lock(noticeMutex_);
    target_ = target;
}

void CXOMPWorker::PostSession(uintptr_t code, intptr_t value, std::string text,
                              std::shared_ptr<void> object) {
    Notice notice;
    notice.message = notice::kAccountSession;
    notice.wParam = code;
    notice.lParam = value;
    notice.text = std::move(text);
    notice.object = std::move(object);
    // Posting queues and returns, so holding the lock is brief; it keeps
    // the target alive for the call (see SetNoticeTarget).
    std::lock_guard lock(noticeMutex_);
    if (target_ != nullptr) {
        target_->Post(std::move(notice));
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
    return state_.alarms.Messages();
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

void CXOMPWorker::ShutdownLoginSocket() {
    // Shut down, not closed: the receive thread may be waiting on it; it is
    // closed by the thread that owns its end.
    std::lock_guard lock(sendMutex_);
    int socket = loginSocket_.load();
    if (socket >= 0) {
        ShutdownSocket(socket);
    }
}

void CXOMPWorker::CloseLoginSocketUnlessEnded() {
    // Once a logout or cancel has ended the session, the connection belongs
    // to whoever ended it (the logout still sends and reads on it): closing
    // it here would let its descriptor be reused under that reader.
    std::lock_guard lock(sendMutex_);
    if (cancelConnect_.load()) {
        return;
    }
    int socket = loginSocket_.exchange(kNoSocket);
    if (socket >= 0) {
        CloseSocket(socket);
    }
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

uint64_t CXOMPWorker::NewLoginTicketLocked() {
    if (loggedIn_.load() || destroying_.load()) {
        return 0;
    }
    // A cycle still under way stops at its next step and its answer, if one
    // comes, is ignored; the new cycle clears the flag once the old one has
    // ended.
    cancelConnect_.store(true);
    return ++loginTicket_;
}

int CXOMPWorker::StartLogin() {
    WaitSessionIdle(INT_MAX);
    uint64_t ticket = 0;
    {
        std::lock_guard decision(loginDecisionMutex_);
        if (loggedIn_.load()) {
            return 1;
        }
        ticket = NewLoginTicketLocked();
    }
    if (ticket == 0) {
        return 0;
    }
    return RunLoginCycle(ticket);
}

int CXOMPWorker::RunLoginCycle(uint64_t ticket) {
    // Wakes a receive thread still waiting for an earlier answer.
    ShutdownLoginSocket();
    {
        // Threads left from an earlier refused, unanswered or abandoned
        // attempt. The cancel flag is still set, so an answer that reaches
        // them now is ignored.
        std::lock_guard lock(lifecycleMutex_);
        receiveThread_.Stop(timings_.threadStopWaitMs);
        heartbeatThread_.Stop(timings_.threadStopWaitMs);
    }
    CloseLoginSocket();
    {
        std::lock_guard decision(loginDecisionMutex_);
        if (loggedIn_.load()) {
            return 1;
        }
        if (destroying_.load() || loginTicket_.load() != ticket) {
            return 0;  // cancelled, or a newer login replaces this one
        }
        cancelConnect_.store(false);
        loginAnswered_.store(false);
    }
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
    uint64_t ticket = 0;
    {
        std::lock_guard decision(loginDecisionMutex_);
        ticket = NewLoginTicketLocked();
    }
    if (ticket == 0) {
        return;
    }
    RunOnSessionThread([this, ticket] { RunLoginCycle(ticket); });
}

bool CXOMPWorker::StartLoginThread(std::string_view userName, std::string_view password) {
    uint64_t ticket = 0;
    {
        // Storing and starting as one step: an answer accepted for the
        // cycle under way either comes first (and then nothing changes
        // here) or is ignored.
        std::lock_guard decision(loginDecisionMutex_);
        ticket = NewLoginTicketLocked();
        if (ticket == 0) {
            return false;
        }
        StoreCredentials(userName, password);
    }
    RunOnSessionThread([this, ticket] { RunLoginCycle(ticket); });
    return true;
}

void CXOMPWorker::CancelLogin() {
    {
        std::lock_guard decision(loginDecisionMutex_);
        if (loggedIn_.load()) {
            return;  // the answer was accepted just before: an ordinary session
        }
        cancelConnect_.store(true);
        ++loginTicket_;  // a queued cycle is not run
    }
    ShutdownLoginSocket();
}

// ---- Session thread ----

void CXOMPWorker::RunOnSessionThread(std::function<void()> step) {
    std::lock_guard lock(sessionStepsMutex_);
    if (sessionThreadEnding_) {
        return;
    }
    sessionSteps_.push_back(std::move(step));
    if (!sessionThread_.Running()) {
        sessionThread_.Start("acct/session", [this](AutoResetEvent&) { SessionThreadLoop(); });
    }
    sessionStepsChanged_.notify_all();
}

void CXOMPWorker::SessionThreadLoop() {
    std::unique_lock lock(sessionStepsMutex_);
    for (;;) {
        sessionStepsChanged_.wait(
            lock, [this] { return sessionThreadEnding_ || !sessionSteps_.empty(); });
        if (sessionSteps_.empty()) {
            return;  // ending, and every step has run
        }
        std::function<void()> step = std::move(sessionSteps_.front());
        sessionSteps_.pop_front();
        sessionStepRunning_ = true;
        lock.unlock();
        step();
        lock.lock();
        sessionStepRunning_ = false;
        sessionStepsChanged_.notify_all();
    }
}

bool CXOMPWorker::WaitSessionIdle(int timeoutMs) {
    std::unique_lock lock(sessionStepsMutex_);
    auto idle = [this] { return sessionSteps_.empty() && !sessionStepRunning_; };
    if (timeoutMs == INT_MAX) {
        sessionStepsChanged_.wait(lock, idle);
        return true;
    }
    return sessionStepsChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), idle);
}

// ---- Receive thread ----

void CXOMPWorker::ReceiveLoop(AutoResetEvent& stop) {
    while (!stop.TryConsume()) {
        bool intact = ReceiveOne();
        if (!loggedIn_.load()) {
            if (cancelConnect_.load()) {
                // Cancelled or logged out: a logout still sends its request
                // on this connection; whoever ended the session closes it.
                return;
            }
            if (!loginAnswered_.load()) {
                // The server took the connection but never answered the
                // login: tell the login dialog that it failed rather than
                // leave it waiting for ever.
                loginAttempt_.store(kLoginAttempts);
                PostConnectFailed();
            }
            CloseLoginSocketUnlessEnded();
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
            CloseLoginSocketUnlessEnded();
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

void CXOMPWorker::ClearServerSession(bool withUser) {
    std::lock_guard lock(lists_.Mutex());
    lists_.ListLocked(DeviceListKind::kPublic).clear();
    lists_.ListLocked(DeviceListKind::kMy).clear();
    if (withUser) {
        state_.ClearSession();
        return;
    }
    std::vector<UserInfo> users = std::move(state_.users);
    bool userInfoReceived = state_.userInfoReceived;
    state_.ClearSession();
    state_.users = std::move(users);
    state_.userInfoReceived = userInfoReceived;
}

bool CXOMPWorker::BeginLogout(std::pair<std::string, std::string>& credentials) {
    {
        std::lock_guard decision(loginDecisionMutex_);
        if (!loggedIn_.load()) {
            return false;
        }
        // The server closes after a logout: no reconnection may start, and
        // no answer still on its way may log the session in again.
        cancelConnect_.store(true);
        loggedIn_.store(false);
    }
    {
        std::lock_guard lock(credentialsMutex_);
        credentials = {userName_, password_};
        userName_.clear();
        password_.clear();
    }
    fetch_.EndSession();
    ClearServerSession();
    return true;
}

void CXOMPWorker::FinishLogout(const std::pair<std::string, std::string>& credentials,
                               bool notify) {
    // The credentials of the session that ends: a login started since may
    // have stored others.
    AccountRequest logout{"Logout", "user", false, {}};
    logout.Add("username", credentials.first).Add("password", credentials.second);
    if (SendRequest(logout)) {
        DrainUntilServerCloses();
    }
    StopSessionThreads();
    CloseLoginSocket();
    // A reply handled while the logout began may have added to the lists or
    // started a walk; the user of a login asked for since stays.
    fetch_.EndSession();
    ClearServerSession(false);
    if (notify) {
        PostSession(kLoggedOut, 0);
    }
}

void CXOMPWorker::DrainUntilServerCloses() {
    // The server closes after a logout. Replies still on their way are read
    // and dropped meanwhile: a connection closed with unread data is reset,
    // and a reset can destroy the request before the server has read it.
    int socket = loginSocket_.load();
    uint64_t deadline = TickCountMs() + static_cast<uint64_t>(timings_.threadStopWaitMs);
    char buffer[4096];
    while (socket >= 0) {
        uint64_t now = TickCountMs();
        if (now >= deadline || WaitReadable(socket, static_cast<int>(deadline - now)) <= 0) {
            return;
        }
        ssize_t n = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            return;
        }
    }
}

void CXOMPWorker::Logout() {
    std::pair<std::string, std::string> credentials;
    if (!BeginLogout(credentials)) {
        return;
    }
    RunOnSessionThread([this, credentials] { FinishLogout(credentials, true); });
}

// ---- Commands ----

void CXOMPWorker::SetRefresh() {
    std::lock_guard lock(lists_.Mutex());
    state_.refresh = true;
}

void CXOMPWorker::RequestUpdate() {
    SetRefresh();
    RunOnSessionThread([this] {
        SendRequest(requests::AllDevices());
        SendRequest(requests::OnlineDevices());
    });
}

void CXOMPWorker::RequestOnlineDevices() {
    RunOnSessionThread([this] { SendRequest(requests::OnlineDevices()); });
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
    RunOnSessionThread([this, entries = std::move(entries)] {
        for (const auto& request : requests::ListBatches(entries)) {
            SendRequest(request);
        }
        for (const auto& request : requests::InfoBatches(entries)) {
            SendRequest(request);
        }
    });
}

void CXOMPWorker::StartLanListener(WorkerThread::Body body) {
    lanThread_.Start("acct/lan", std::move(body));
}

void CXOMPWorker::SetLanBlockLookup(LanBlockLookup lookup) {
    std::lock_guard lock(lanMutex_);
    lanLookup_ = std::move(lookup);
}

}  // namespace orbisight
