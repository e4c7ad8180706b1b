#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "account/AccountDialogChecks.h"
#include "platform/Socket.h"
#include "tests/account/SimAccountFixture.h"

namespace orbisight {
namespace {

using Session = test::SimAccountFixture;

TEST_F(Session, LoginFetchesCompleteSortedListsAndTheUser) {
    StartSim();
    auto worker = MakeWorker();
    ASSERT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);
    EXPECT_TRUE(worker->IsLoggedIn());
    ASSERT_TRUE(worker->WaitListsComplete(15000));

    auto my = worker->SnapshotList(DeviceListKind::kMy);
    ASSERT_EQ(my.size(), static_cast<size_t>(kAliceEntries));
    std::set<std::string> ids;
    for (size_t i = 0; i < my.size(); ++i) {
        ids.insert(std::string(my[i].Id()));
        if (i > 0) {
            EXPECT_GE(my[i - 1].status, my[i].status) << "at " << i;  // on-line first
        }
    }
    EXPECT_EQ(ids.size(), my.size());
    EXPECT_EQ(sim_->Count("get dev-list"), 1);  // 137 entries: one page after the first

    auto porch = worker->FindDevice(DeviceListKind::kMy, "CAM00000001", IdMatch::kExact);
    ASSERT_TRUE(porch.has_value());
    EXPECT_EQ(porch->Name(), "Porch");
    EXPECT_EQ(porch->status, 2);
    EXPECT_EQ(porch->parentGroup, 1);
    EXPECT_EQ(porch->Url(), "ssp://127.0.0.1:6001");
    EXPECT_EQ(worker->FindAddressList("CAM00000001", false), "ssp://127.0.0.1:6001");
    auto garden = worker->FindDevice(DeviceListKind::kMy, "2", IdMatch::kExact);
    ASSERT_TRUE(garden.has_value());
    EXPECT_EQ(garden->isGroup, 1);
    EXPECT_EQ(garden->groupNumber, 2);
    EXPECT_EQ(garden->parentGroup, 1);
    EXPECT_EQ(garden->Name(), "Garden");
    EXPECT_FALSE(worker->FindDevice(DeviceListKind::kMy, "BOB000000001", IdMatch::kExact));

    ASSERT_TRUE(Eventually([&] { return worker->UserInfoReceived(); }));
    auto user = worker->CurrentUser();
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->UserName(), "alice");
    EXPECT_EQ(user->DisplayName(), "Alice A.");
    EXPECT_EQ(user->accountType, 2);
}

TEST_F(Session, PushedStatusAndAlarmReachTheListsAndTheWindow) {
    StartSim();
    auto worker = MakeWorker();
    ASSERT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);
    ASSERT_TRUE(worker->WaitListsComplete(15000));
    notices_.Drain();

    sim_->PushStatus("CAM00000002", 2);
    Notice notice;
    ASSERT_TRUE(WaitSession(CXOMPWorker::kListsChanged, notice));
    EXPECT_EQ(notice.lParam, 2);
    EXPECT_EQ(notice.text, "CAM00000002");
    EXPECT_EQ(std::static_pointer_cast<DeviceInfo>(notice.object)->status, 2);
    EXPECT_EQ(worker->FindDevice(DeviceListKind::kMy, "CAM00000002", IdMatch::kExact)->status, 2);

    sim_->PushAlarm("CAM00000003", "Alarm", "Motion detected");
    ASSERT_TRUE(WaitSession(CXOMPWorker::kAlarm, notice));
    auto alarm = std::static_pointer_cast<AlarmMessage>(notice.object);
    EXPECT_EQ(alarm->DeviceId(), "CAM00000003");
    auto alarms = worker->Alarms();
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0].Title(), "Alarm");
    EXPECT_EQ(alarms[0].Message(), "Motion detected");

    // The same through the simulator's command lines ("status ID N",
    // "alarm ID on"), which arrive as events.
    context_.events.Publish({"status", "CAM00000001", {{"args", " 0"}}});
    ASSERT_TRUE(WaitSession(CXOMPWorker::kListsChanged, notice));
    EXPECT_EQ(notice.text, "CAM00000001");
    EXPECT_EQ(worker->FindDevice(DeviceListKind::kMy, "CAM00000001", IdMatch::kExact)->status, 0);
    context_.events.Publish({"alarm", "CAM00000001", {{"args", " off"}}});
    context_.events.Publish({"alarm", "CAM00000001", {{"args", " on"}}});
    ASSERT_TRUE(WaitSession(CXOMPWorker::kAlarm, notice));
    EXPECT_EQ(notice.text, "CAM00000001");
    EXPECT_EQ(worker->Alarms().size(), 2u);

    // A changed device makes the session ask for its details again.
    int before = sim_->Count("get dev-info");
    sim_->PushDevInfo("CAM00000003");
    EXPECT_TRUE(Eventually([&] {
        return sim_->Count("get dev-status") > 0 && sim_->Count("get dev-info") == before + 1;
    }));
}

TEST_F(Session, ReconnectsAfterTheServerDropsWithoutFetchingTheListsAgain) {
    StartSim();
    auto worker = MakeWorker();
    ASSERT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);
    ASSERT_TRUE(worker->WaitListsComplete(15000));
    ASSERT_EQ(sim_->Count("login user"), 1);

    context_.events.Publish({"account-fault", "drop-now", {}});  // as the stdin command
    ASSERT_TRUE(Eventually([&] { return sim_->Count("login user") == 2; }));
    EXPECT_TRUE(worker->IsLoggedIn());
    // The answer to the repeated login is an ordinary message: versions.
    EXPECT_TRUE(Eventually([&] { return worker->DeviceListVersion() > 0; }));
    EXPECT_EQ(sim_->Count("get all-dev"), 1);
    EXPECT_EQ(worker->SnapshotList(DeviceListKind::kMy).size(), static_cast<size_t>(kAliceEntries));

    // The new connection carries notifications.
    notices_.Drain();
    sim_->PushStatus("CAM00000004", 0);
    Notice notice;
    ASSERT_TRUE(WaitSession(CXOMPWorker::kListsChanged, notice));
    EXPECT_EQ(notice.text, "CAM00000004");
}

TEST_F(Session, AReplyWithALengthPrefixThatIsNotHexadecimalBreaksTheConnection) {
    StartSim();
    auto worker = MakeWorker();
    ASSERT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);
    ASSERT_TRUE(worker->WaitListsComplete(15000));
    sim_->SetFault(sim::AccountFault::kBadLength);
    sim_->PushStatus("CAM00000001", 0);
    ASSERT_TRUE(Eventually([&] { return sim_->Count("login user") >= 2; }));
    sim_->SetFault(sim::AccountFault::kNone);
    // Reconnection goes on until an answer arrives whole again; then a pushed
    // status reaches the window. (A push made while a reconnection is under
    // way is lost with that connection, so it is repeated.)
    notices_.Drain();
    bool arrived = false;
    for (int i = 0; i < 50 && !arrived; ++i) {
        sim_->PushStatus("CAM00000001", 2);
        Notice notice;
        arrived =
            WaitSession(CXOMPWorker::kListsChanged, notice, 300) && notice.text == "CAM00000001";
    }
    EXPECT_TRUE(arrived);
    EXPECT_TRUE(worker->IsLoggedIn());
}

TEST_F(Session, HeartbeatFollowsTheExpireOfTheLoginReply) {
    StartSim();  // "expire": 2, one second is 20 ms in the fast timings
    auto worker = MakeWorker();
    EXPECT_EQ(worker->HeartbeatIntervalSec(), 30);
    ASSERT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);
    EXPECT_EQ(worker->HeartbeatIntervalSec(), 2);
    EXPECT_TRUE(Eventually([&] { return sim_->Count("HeartBeat user") >= 5; }));
}

TEST_F(Session, WithoutExpireTheHeartbeatIsEveryFiveMinutes) {
    auto account = Account();
    account["expire"] = 0;  // not sent
    StartSim(account);
    auto timings = AccountTimings::Fast();
    timings.heartbeatUnitMs = 1;  // 300 "seconds" = 300 ms
    auto worker = MakeWorker(timings);
    ASSERT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);
    EXPECT_EQ(worker->HeartbeatIntervalSec(), 300);
    EXPECT_TRUE(Eventually([&] { return sim_->Count("HeartBeat user") >= 1; }));
}

TEST_F(Session, ARefusedPasswordIsReportedAndTheThreadsEnd) {
    StartSim();
    auto worker = MakeWorker();
    EXPECT_EQ(Login(*worker, "alice", "wrong"), CXOMPWorker::kLoginRefused);
    EXPECT_EQ(LoginProgressText(CXOMPWorker::kLoginRefused, worker->LoginAttempt()),
              "Password error, please try it again\xEF\xBC\x81");
    EXPECT_FALSE(worker->IsLoggedIn());
    // The heartbeat ends at its first wake-up and sends nothing.
    SleepMs(30 * 20 + 200);
    EXPECT_EQ(sim_->Count("HeartBeat user"), 0);
    // A second try with the right password works.
    EXPECT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);
}

TEST_F(Session, SixFailedConnectsPostSixNoticesAndTheFinalText) {
    // A port that refuses: bound and closed again by a short-lived server.
    StartSim();
    int closedPort = sim_->LoginPort();
    sim_.reset();
    WriteIni(closedPort, closedPort);
    auto worker = MakeWorker();
    worker->StoreCredentials("alice", "secret");
    EXPECT_EQ(worker->StartLogin(), 0);
    int failures = 0;
    Notice notice;
    while (notices_.WaitFor(notice::kAccountSession, notice, 200)) {
        EXPECT_EQ(notice.wParam, 0u);
        EXPECT_EQ(notice.lParam, CXOMPWorker::kConnectFailed);
        ++failures;
    }
    EXPECT_EQ(failures, 6);
    EXPECT_EQ(worker->LoginAttempt(), 6);
    EXPECT_EQ(LoginProgressText(CXOMPWorker::kConnectFailed, worker->LoginAttempt()),
              "Could not login in the server, please check your network\xEF\xBC\x81");
}

TEST_F(Session, ConnectAttemptsAlternateBetweenTheTwoLoginHosts) {
    StartSim();
    // Nothing listens on 127.0.0.2: the first attempt fails, the second one
    // goes to the other host.
    WriteIni(sim_->LoginPort(), sim_->RegisterPort(), "LoginIP=127.0.0.2\nLoginIP1=127.0.0.1\n");
    auto worker = MakeWorker();
    worker->StoreCredentials("alice", "secret");
    EXPECT_EQ(worker->StartLogin(), 1);
    Notice first;
    ASSERT_TRUE(WaitSession(CXOMPWorker::kLoginResult, first));
    EXPECT_EQ(first.lParam, CXOMPWorker::kConnectFailed);
    Notice second;
    ASSERT_TRUE(WaitSession(CXOMPWorker::kLoginResult, second));
    EXPECT_EQ(second.lParam, CXOMPWorker::kLoginAccepted);
    EXPECT_EQ(worker->LoginAttempt(), 2);
}

TEST_F(Session, AServerThatNeverAnswersTheLoginEndsTheAttempt) {
    auto account = Account();
    account["fault"] = "stall";
    StartSim(account);
    auto worker = MakeWorker();
    EXPECT_EQ(Login(*worker), CXOMPWorker::kConnectFailed);
    EXPECT_EQ(worker->LoginAttempt(), CXOMPWorker::kLoginAttempts);
    EXPECT_FALSE(worker->IsLoggedIn());
}

TEST_F(Session, CancelledLoginMakesNoFurtherAttemptsAndIgnoresALateAnswer) {
    // A listener whose queue is full: connects to it neither succeed nor
    // fail until their time-out, so the cancel meets an attempt under way.
    int full = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(full, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(full, 0), 0);
    std::vector<int> queued;
    for (int i = 0; i < 3; ++i) {
        queued.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        address.sin_port = htons(static_cast<uint16_t>(LocalPort(full)));
        ::connect(queued.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    WriteIni(LocalPort(full), LocalPort(full));
    auto worker = MakeWorker();
    worker->StoreCredentials("alice", "secret");
    worker->StartLoginThread();
    Notice notice;
    ASSERT_TRUE(WaitSession(CXOMPWorker::kLoginResult, notice, 5000));
    EXPECT_EQ(notice.lParam, CXOMPWorker::kConnectFailed);
    uint64_t start = TickCountMs();
    worker->CancelLogin();
    int failures = 1;
    while (notices_.WaitFor(notice::kAccountSession, notice, 1500)) {
        ++failures;
    }
    EXPECT_LE(failures, 2);  // at most the attempt that was just ending
    EXPECT_LE(worker->LoginAttempt(), 3);
    EXPECT_FALSE(worker->IsLoggedIn());
    worker.reset();  // the abandoned attempt is not waited for
    EXPECT_LT(TickCountMs() - start, 4000u);
    for (int fd : queued) {
        ::close(fd);
    }
    ::close(full);

    // A server that took the connection but has not answered yet: the
    // cancelled connection ends without a failure notice and without
    // logging in.
    auto account = Account();
    account["fault"] = "stall";
    StartSim(account);
    auto stalled = MakeWorker();
    stalled->StoreCredentials("alice", "secret");
    stalled->StartLoginThread();
    ASSERT_TRUE(Eventually([&] { return sim_->Count("login user") == 1; }));
    notices_.Drain();
    stalled->CancelLogin();
    EXPECT_FALSE(WaitSession(CXOMPWorker::kLoginResult, notice, 500));
    EXPECT_FALSE(stalled->IsLoggedIn());

    // The next press of "Login" starts afresh.
    StartSim();
    auto again = MakeWorker();
    again->CancelLogin();  // nothing under way: harmless
    EXPECT_EQ(Login(*again), CXOMPWorker::kLoginAccepted);
}

TEST_F(Session, LogoutEndsTheSessionOnceAndKeepsTheLocalList) {
    StartSim();
    auto worker = MakeWorker();
    worker->AddLocalDevice("LOCAL1", "10.0.0.9", "Shed", "", 0);
    worker->Logout();  // not logged in: nothing
    Notice notice;
    EXPECT_FALSE(WaitSession(CXOMPWorker::kLoggedOut, notice, 100));

    ASSERT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);
    ASSERT_TRUE(worker->WaitListsComplete(15000));
    uint64_t start = TickCountMs();
    worker->Logout();
    EXPECT_LT(TickCountMs() - start, 3000u);
    EXPECT_TRUE(WaitSession(CXOMPWorker::kLoggedOut, notice));
    EXPECT_FALSE(worker->IsLoggedIn());
    EXPECT_TRUE(worker->SnapshotList(DeviceListKind::kMy).empty());
    EXPECT_FALSE(worker->CurrentUser().has_value());
    EXPECT_EQ(worker->UserName(), "");
    EXPECT_EQ(worker->SnapshotList(DeviceListKind::kLocal).size(), 1u);
    EXPECT_TRUE(Eventually([&] { return sim_->Count("Logout user") == 1; }));

    worker->Logout();
    EXPECT_FALSE(WaitSession(CXOMPWorker::kLoggedOut, notice, 100));
    EXPECT_FALSE(worker->SendRequest(requests::OnlineDevices()));  // no connection
}

TEST_F(Session, DestructionStopsEverythingPromptly) {
    auto account = Account();
    account["fault"] = "stall";
    StartSim(account);
    auto timings = AccountTimings::Fast();
    timings.readableWaitMs = 10000;  // the receive thread sits in its wait
    auto worker = MakeWorker(timings);
    worker->StoreCredentials("alice", "secret");
    worker->StartLoginThread();
    ASSERT_TRUE(Eventually([&] { return sim_->Count("login user") == 1; }));
    uint64_t start = TickCountMs();
    worker.reset();
    EXPECT_LT(TickCountMs() - start, 3000u);
}

TEST_F(Session, LogoutReturnsLoggedOutAndALoginRightAfterFollowsItsEnd) {
    StartSim();
    auto worker = MakeWorker();
    ASSERT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);
    ASSERT_TRUE(worker->WaitListsComplete(15000));
    notices_.Drain();

    // The state is that of a logged-out session as soon as Logout returns;
    // the request and the threads finish behind.
    worker->Logout();
    EXPECT_FALSE(worker->IsLoggedIn());
    EXPECT_EQ(worker->UserName(), "");
    EXPECT_TRUE(worker->SnapshotList(DeviceListKind::kMy).empty());
    EXPECT_FALSE(worker->CurrentUser().has_value());

    // Another account logs in at once: the logout ends first (with the old
    // account's name: the simulator reports a logout for another user),
    // and the new session is wholly the new account's.
    ASSERT_TRUE(worker->StartLoginThread("bob", "builder"));
    Notice notice;
    ASSERT_TRUE(WaitSession(CXOMPWorker::kLoggedOut, notice));
    ASSERT_TRUE(WaitSession(CXOMPWorker::kLoginResult, notice));
    EXPECT_EQ(notice.lParam, CXOMPWorker::kLoginAccepted);
    EXPECT_TRUE(Eventually([&] { return sim_->Count("Logout user") == 1; }));
    EXPECT_TRUE(worker->IsLoggedIn());
    EXPECT_EQ(worker->UserName(), "bob");
    ASSERT_TRUE(Eventually([&] { return worker->UserInfoReceived(); }));
    EXPECT_EQ(worker->CurrentUser()->UserName(), "bob");
    ASSERT_TRUE(Eventually([&] {
        return worker->FindDevice(DeviceListKind::kMy, "BOB000000001", IdMatch::kExact).has_value();
    }));
    SleepMs(300);  // a stray list reply of the old session would land by now
    EXPECT_FALSE(worker->FindDevice(DeviceListKind::kMy, "CAM00000001", IdMatch::kExact));
    // Logged in already: a further start stores nothing.
    EXPECT_FALSE(worker->StartLoginThread("alice", "secret"));
    EXPECT_EQ(worker->UserName(), "bob");

    // Logout then destruction at once: the finishing logout completes.
    worker->Logout();
    worker.reset();
    EXPECT_TRUE(Eventually([&] { return sim_->Count("Logout user") == 2; }));
}

TEST_F(Session, ASecondLoginReplacesACycleStillWaitingForItsAnswer) {
    // The first press meets a server that takes the login and never
    // answers; the user then types another account and presses again.
    auto account = Account();
    account["fault"] = "stall";
    StartSim(account);
    auto timings = AccountTimings::Fast();
    timings.readableWaitMs = 10000;  // the first cycle would wait long
    timings.headerTimeoutMs = 10000;
    auto worker = MakeWorker(timings);
    ASSERT_TRUE(worker->StartLoginThread("alice", "secret"));
    ASSERT_TRUE(Eventually([&] { return sim_->Count("login user") == 1; }));
    sim_->SetFault(sim::AccountFault::kNone);

    ASSERT_TRUE(worker->StartLoginThread("bob", "builder"));
    Notice notice;
    ASSERT_TRUE(WaitSession(CXOMPWorker::kLoginResult, notice));
    EXPECT_EQ(notice.lParam, CXOMPWorker::kLoginAccepted);
    EXPECT_EQ(sim_->Count("login user"), 2);
    EXPECT_EQ(worker->UserName(), "bob");
    ASSERT_TRUE(Eventually([&] { return worker->UserInfoReceived(); }));
    EXPECT_EQ(worker->CurrentUser()->UserName(), "bob");
    EXPECT_FALSE(WaitSession(CXOMPWorker::kLoginResult, notice, 300)) << "one answer only";
}

// A notice target that takes its time and knows whether it still exists.
class SlowTarget : public NoticeTarget {
  public:
    void Post(Notice) override {
        posting_.store(true);
        SleepMs(20);
        if (gone_.load()) {
            postedWhileGone_.fetch_add(1);
        }
        posts_.fetch_add(1);
        posting_.store(false);
    }
    std::atomic<bool> posting_{false};
    std::atomic<bool> gone_{false};
    std::atomic<int> postedWhileGone_{0};
    std::atomic<int> posts_{0};
};

TEST_F(Session, NoPostReachesATargetOnceItIsDetached) {
    auto worker = MakeWorker();
    auto target = std::make_unique<SlowTarget>();
    worker->SetNoticeTarget(target.get());
    std::atomic<bool> stop{false};
    std::thread poster([&] {
        while (!stop.load()) {
            worker->PostDeleteTreeItem(1);
        }
    });
    ASSERT_TRUE(Eventually([&] { return target->posting_.load(); }));
    // The window detaches in its destructor and is gone right after.
    worker->SetNoticeTarget(nullptr);
    target->gone_.store(true);
    SleepMs(60);
    stop.store(true);
    poster.join();
    EXPECT_EQ(target->postedWhileGone_.load(), 0);
    EXPECT_GE(target->posts_.load(), 1);
}

}  // namespace
}  // namespace orbisight
