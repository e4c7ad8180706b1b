#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "account/AccountRequest.h"
#include "account/AccountSettings.h"
#include "account/AccountTimings.h"
#include "account/AlarmMessage.h"
#include "account/CXOMPPackageBuilder.h"
#include "account/CXOMPPackageParser.h"
#include "account/DeviceDirectory.h"
#include "account/DeviceInfo.h"
#include "account/ListFetchThreads.h"
#include "account/LocalDeviceStore.h"
#include "account/SavedLogins.h"
#include "account/ServerListState.h"
#include "account/SessionLists.h"
#include "account/UserInfo.h"
#include "platform/Notice.h"
#include "platform/WorkerThread.h"

namespace orbisight {

struct CXOMPWorkerOptions {
    // Where "CameraClient.ini", "LocalDevInfos.dat" and the registry store
    // live; empty means DataFolder().
    std::filesystem::path dataFolder;
    AccountTimings timings;
};

// The client side of the cloud account service: one instance for the whole
// run. It logs in over a persistent connection to the login server, keeps it
// alive, receives replies and notifications, reconnects after a loss, sends
// management requests over one-shot connections to the register server, and
// owns the device lists (public, my, local), the alarm list, the local device
// file and the saved logins. docs/account.md describes threads and locks.
//
// Results reach the window set with SetNoticeTarget as notices with message
// notice::kAccountSession (wParam = code, lParam = value):
//   (0, 0) login accepted; (0, 1) login refused; (0, 2) a connect attempt
//   failed (text: its number, 6 = the last, as LoginAttempt() stood when
//   posting); (1, 0) logged out;
//   (4, 0) the lists changed; (4, 1|2) a status notification changed a
//   public (1) or my (2) record, a copy in Notice::object, its ID in text;
//   (5, 1) an alarm, the AlarmMessage copy in object; (6, item) delete a
//   tree item (posted for the bind dialog); (7, 0) one more
//   device-information entry while a total is known.
class CXOMPWorker : public DeviceDirectory {
  public:
    enum SessionCode : uintptr_t {
        kLoginResult = 0,
        kLoggedOut = 1,
        kListsChanged = 4,
        kAlarm = 5,
        kDeleteTreeItem = 6,
        kEntryCounted = 7,
    };
    enum LoginResult : intptr_t { kLoginAccepted = 0, kLoginRefused = 1, kConnectFailed = 2 };
    static constexpr int kLoginAttempts = 6;
    static constexpr int kDefaultHeartbeatSec = 30;
    static constexpr int kDefaultExpireSec = 300;
    static constexpr size_t kCredentialBytes = 128;
    static constexpr size_t kLastStatusBytes = 256;
    static constexpr size_t kLanBlockBytes = 1088;

    explicit CXOMPWorker(NoticeTarget* target = nullptr, CXOMPWorkerOptions options = {});
    ~CXOMPWorker() override;
    CXOMPWorker(const CXOMPWorker&) = delete;
    CXOMPWorker& operator=(const CXOMPWorker&) = delete;

    // The window that receives the session notices; null drops them. A
    // post runs under the same lock: once this returns, no thread is still
    // posting to the previous target, which may then be destroyed.
    void SetNoticeTarget(NoticeTarget* target);
    const std::filesystem::path& DataFolderPath() const { return dataFolder_; }
    const AccountSettings& Settings() const { return settings_; }

    // ---- Device lists (any thread) ----
    SessionLists& Lists() { return lists_; }
    const SessionLists& Lists() const { return lists_; }
    std::vector<DeviceInfo> SnapshotList(DeviceListKind kind) const {
        return lists_.Snapshot(kind);
    }
    std::optional<DeviceInfo> FindDevice(DeviceListKind kind, std::string_view id,
                                         IdMatch match) const {
        return lists_.Find(kind, id, match);
    }
    // The live channel's look-up at reconnection (exact ID).
    std::optional<std::string> FindAddressList(std::string_view id, bool local) const override;
    // The alarms received during the run, oldest first.
    std::vector<AlarmMessage> Alarms() const;
    // The alarm history itself (any thread; it locks itself): the alarm
    // window reads, deletes and clears by key.
    AlarmList& AlarmHistory() { return state_.alarms; }
    const AlarmList& AlarmHistory() const { return state_.alarms; }
    // The logged-in user's name, nickname and account type; the last two
    // once UserInfoReceived().
    std::optional<UserInfo> CurrentUser() const;
    bool UserInfoReceived() const;
    // Progress of the device-information replies (the progress window).
    int ExpectedEntryTotal() const;
    int EntriesCounted() const;
    int PublicListVersion() const;
    int DeviceListVersion() const;

    // ---- Local device list ----
    LocalStoreLoadReport LoadLocalDevices() { return lists_.LoadLocal(); }
    bool SaveLocalDevices() { return lists_.SaveLocal(); }
    bool DeleteLocalStore() { return lists_.DeleteLocalFile(); }
    int AddLocalGroup(std::string_view name, int32_t parent) {
        return lists_.AddLocalGroup(name, parent);
    }
    int AddLocalDevice(std::string_view id, std::string_view hostAddress, std::string_view name,
                       std::string_view password, int32_t parent) {
        return lists_.AddLocalDevice(id, hostAddress, name, password, parent);
    }
    int DeleteLocalEntry(const LocalEntryRef& entry) { return lists_.DeleteLocalEntry(entry); }
    // Probes every local device (a connect test of waitMs each) and sets its
    // status. Returns the number of devices whose status changed. Runs on
    // the caller's thread (the tree's probe thread); cancel ends it early.
    int ProbeLocalDevices(const std::atomic<bool>* cancel = nullptr, int waitMs = 1000);

    // ---- Saved logins (user-interface thread) ----
    SavedLogins& Logins() { return logins_; }

    // ---- Session ----
    // Keeps the credentials for the login and later requests (each cut to
    // 127 bytes) and names the logged-in user.
    void StoreCredentials(std::string_view userName, std::string_view password);
    std::string UserName() const;
    // The session's password (the bind dialog offers it).
    std::string SessionPassword() const;
    // Connects to the login server (up to six attempts, alternating hosts)
    // and sends the login request; starts the receive thread when connected
    // and the heartbeat thread in every case. Blocks for the connect cycle
    // (and first for a logout still finishing): call it on a thread of its
    // own, or use StartLoginThread(). A cycle still running elsewhere is
    // abandoned. Returns 1 when a connection was made (the answer arrives as
    // notice (0, 0|1)).
    int StartLogin();
    // Runs the login cycle on the session thread "acct/session" and returns
    // at once (user-interface thread). A cycle still running is abandoned
    // (its remaining attempts are not made, its pending connection closed,
    // its late answer ignored) and the new one uses the credentials stored
    // now; a logout still finishing ends first. With a user name, the
    // credentials are stored as one step with the start: false, and nothing
    // stored or started, when the session is logged in already (an answer
    // accepted just before).
    void StartLoginThread();
    bool StartLoginThread(std::string_view userName, std::string_view password);
    // Abandons a login that has not been answered yet (the login dialog's
    // "Cancel"): the remaining connect attempts are not made, the pending
    // connection is closed and a late answer is ignored. Nothing once the
    // session is logged in.
    void CancelLogin();
    bool IsLoggedIn() const { return loggedIn_.load(); }
    int LoginAttempt() const { return loginAttempt_.load(); }
    int HeartbeatIntervalSec() const { return heartbeatSec_.load(); }
    // Ends a logged-in session and returns at once: the session counts as
    // logged out, its credentials, server lists and user information are
    // freed, and no answer still on its way logs it in again. The "Logout"
    // request and stopping the threads finish behind on the session thread,
    // then notice (1, 0) follows. A login started meanwhile runs after that.
    // Nothing when not logged in.
    void Logout();
    // Waits until no login cycle or logout is queued or running on the
    // session thread. False on time-out.
    bool WaitSessionIdle(int timeoutMs);

    // Composes a request on the shared builder and sends it on the login
    // connection, as one step under the send lock. Nothing is sent (false)
    // while there is no connection.
    bool SendRequest(const AccountRequest& request);
    // The three list requests below return at once: the refresh flag and
    // the entries are taken now, the sends happen on the session thread in
    // the order asked, so the window never waits on the send lock of a
    // stalled connection.
    // The tree's "update": refresh flag, then "all-dev" and "online-dev".
    void RequestUpdate();
    // The tree's "list refresh" (only while logged in): "dev-list" and then
    // "dev-info" for every entry of my list, 50 a message.
    void RefreshList();
    // "get"/"online-dev" (the progress window when it closes).
    void RequestOnlineDevices();
    // Waits until the lists are complete after a login: device information
    // and status have been fetched for the whole list. False on time-out.
    bool WaitListsComplete(int timeoutMs) { return fetch_.WaitComplete(timeoutMs); }

    // ---- Management requests on the register server ----
    // Sends the message over a one-shot connection; 1 when the reply status
    // is 200. Keeps the reply's status description (LastStatusText).
    int RegisterServerRequest(CXOMPPackageBuilder& message);
    std::string LastStatusText() const;
    int RegisterUser(std::string_view email, std::string_view userName, std::string_view password,
                     std::string_view nickname);
    int ModifyUser(std::string_view userName, std::string_view password, std::string_view nickname,
                   std::string_view newPassword);
    int ModifyDevice(std::string_view deviceId, std::string_view name, int type);
    // An empty userName means the session's credentials. Bind needs a login.
    int BindDevice(std::string_view userName, std::string_view deviceId, std::string_view password);
    int UnbindDevice(std::string_view userName, std::string_view deviceId,
                     std::string_view password);
    // For the bind dialog: asks the tree to delete an item (notice (6, item)).
    void PostDeleteTreeItem(intptr_t item) { PostSession(kDeleteTreeItem, item); }

    // ---- LAN ----
    // Finds the basic parameter block of a camera on the LAN by device ID
    // (ignoring case); installed by the LAN listener once it exists. Without
    // it bind and unbind broadcast nothing.
    using LanBlockLookup =
        std::function<bool(std::string_view deviceId, std::array<uint8_t, kLanBlockBytes>& block)>;
    void SetLanBlockLookup(LanBlockLookup lookup);
    // Starts the LAN listener thread ("acct/lan"); destruction stops it.
    void StartLanListener(WorkerThread::Body body);

  private:
    void PostSession(uintptr_t code, intptr_t value, std::string text = {},
                     std::shared_ptr<void> object = nullptr);
    void PostConnectFailed();
    void ComposeLogin(CXOMPPackageBuilder& builder) const;
    bool ConnectCycle(CXOMPPackageBuilder& login);
    void ReceiveLoop(AutoResetEvent& stop);
    bool ReceiveOne();
    void HandleMessage(const std::string& header, const std::string& body);
    void HeartbeatLoop(AutoResetEvent& stop);
    void StopSessionThreads();
    void CloseLoginSocket();
    void ShutdownLoginSocket();
    void CloseLoginSocketUnlessEnded();
    // Empties the server lists; withUser also frees the user information.
    void ClearServerSession(bool withUser = true);
    // Takes a new login ticket and abandons any cycle under way; 0 when the
    // session is logged in (or being destroyed). Under loginDecisionMutex_.
    uint64_t NewLoginTicketLocked();
    int RunLoginCycle(uint64_t ticket);
    // The first, immediate part of a logout; false when not logged in.
    bool BeginLogout(std::pair<std::string, std::string>& credentials);
    void FinishLogout(const std::pair<std::string, std::string>& credentials, bool notify);
    void DrainUntilServerCloses();
    void RunOnSessionThread(std::function<void()> step);
    void SessionThreadLoop();
    void SetRefresh();
    void BroadcastLanSetInfo(std::string_view deviceId, bool bind);
    int ManagementRequest(const char* command,
                          const std::vector<std::pair<std::string, std::string>>& sections);
    std::pair<std::string, std::string> Credentials() const;

    const std::filesystem::path dataFolder_;
    const AccountTimings timings_;
    const AccountSettings settings_;
    std::mutex noticeMutex_;  // taken last: nothing else is locked under it
    NoticeTarget* target_;    // protected by noticeMutex_

    SessionLists lists_;
    ServerListState state_;  // protected by lists_.Mutex(), except state_.alarms
    SavedLogins logins_;     // user-interface thread only

    // Session state read by every thread.
    std::atomic<bool> loggedIn_{false};
    std::atomic<bool> loginAnswered_{false};  // a login reply arrived in this attempt
    // Makes accepting a login answer and cancelling the login one step each:
    // a cancel either comes before the answer (which is then ignored) or
    // after it (and then finds the session logged in).
    std::mutex loginDecisionMutex_;
    std::atomic<bool> cancelConnect_{false};  // ends connect attempts (logout, destruction)
    std::atomic<bool> destroying_{false};
    // The login asked for last; a queued cycle with an older ticket is not
    // run. Changed under loginDecisionMutex_.
    std::atomic<uint64_t> loginTicket_{0};
    std::atomic<int> loginAttempt_{0};
    std::atomic<unsigned> rotation_{0};  // shared by login and register connects
    std::atomic<int> heartbeatSec_{kDefaultHeartbeatSec};

    // The send lock: composing on the shared builder and sending on the login
    // socket is one step under it, and the socket is only replaced or closed
    // under it, so no thread ever sends on a descriptor that was closed and
    // reused. The receive thread reads the socket without it: only the
    // receive thread (while the session has not been ended), the thread
    // that ended it (logout, the next login) and destruction close it.
    mutable std::mutex sendMutex_;
    CXOMPPackageBuilder builder_;       // protected by sendMutex_
    std::atomic<int> loginSocket_{-1};  // written under sendMutex_

    mutable std::mutex credentialsMutex_;  // taken after sendMutex_, never before
    std::string userName_;                 // protected by credentialsMutex_
    std::string password_;                 // protected by credentialsMutex_
    std::string lastStatus_;               // protected by credentialsMutex_

    CXOMPPackageParser parser_;  // receive thread only

    // The session thread: login cycles and the end of logouts, one after
    // another, so a login never overlaps a logout still finishing.
    std::mutex sessionStepsMutex_;
    std::condition_variable sessionStepsChanged_;
    std::deque<std::function<void()>> sessionSteps_;  // protected by sessionStepsMutex_
    bool sessionStepRunning_ = false;                 // protected by sessionStepsMutex_
    bool sessionThreadEnding_ = false;                // protected by sessionStepsMutex_
    WorkerThread sessionThread_;                      // started under sessionStepsMutex_

    // Starting and joining the receive and heartbeat threads (the session
    // thread starts them and stops them).
    std::mutex lifecycleMutex_;
    WorkerThread receiveThread_;    // protected by lifecycleMutex_
    WorkerThread heartbeatThread_;  // protected by lifecycleMutex_
    WorkerThread lanThread_;        // user-interface thread

    std::mutex lanMutex_;
    LanBlockLookup lanLookup_;  // protected by lanMutex_

    ListFetchThreads fetch_;  // last: its threads use everything above
};

}  // namespace orbisight
