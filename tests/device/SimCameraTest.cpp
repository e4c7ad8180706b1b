#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "RawCameraClient.h"
#include "device/DevInfoBlock.h"
#include "platform/Clock.h"
#include "sim/camera/SimCamera.h"

namespace orbisight::sim {
namespace {

using orbisight::testing::RawCameraClient;

// Records what the command side hands to the media side.
struct MediaLog {
    std::mutex mutex;
    int sessionsOpened = 0;
    int sessionsStopped = 0;
    std::vector<std::string> offered;  // "type/code"
    std::vector<bool> alarms;
};

class FakeSession : public SimMediaSession {
  public:
    FakeSession(std::shared_ptr<MediaLog> log, SimConnection& connection)
        : log_(std::move(log)), connection_(connection) {}
    bool Handle(const CHalvexProtocolAX& message) override {
        const char* code = message.FindText("Command_Param");
        {
            std::lock_guard lock(log_->mutex);
            log_->offered.push_back(std::to_string(message.Type()) + "/" + (code ? code : ""));
        }
        if (code && std::string(code) == "100") {
            CHalvexProtocolAX reply;
            reply.SetType(msgtype::kReply);
            reply.AddField("Ret", "1");
            reply.AddField("RetAlert", "Off");
            connection_.Send(reply);
            return true;
        }
        return message.Type() == msgtype::kCommand;
    }
    void Stop() override {
        std::lock_guard lock(log_->mutex);
        ++log_->sessionsStopped;
    }

  private:
    std::shared_ptr<MediaLog> log_;
    SimConnection& connection_;
};

class FakeMedia : public SimCameraMedia {
  public:
    explicit FakeMedia(std::shared_ptr<MediaLog> log) : log_(std::move(log)) {}
    std::unique_ptr<SimMediaSession> OpenSession(SimConnection& connection) override {
        std::lock_guard lock(log_->mutex);
        ++log_->sessionsOpened;
        return std::make_unique<FakeSession>(log_, connection);
    }
    void SetAlarm(bool on) override {
        std::lock_guard lock(log_->mutex);
        log_->alarms.push_back(on);
    }

  private:
    std::shared_ptr<MediaLog> log_;
};

template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs = 3000) {
    auto deadline = TickCountMs() + static_cast<uint64_t>(timeoutMs);
    while (TickCountMs() < deadline) {
        if (condition()) {
            return true;
        }
        SleepMs(5);
    }
    return condition();
}

class SimCameraTest : public ::testing::Test {
  protected:
    void Start(nlohmann::json config = {}) {
        config["id"] = "ORBI00000042";
        config["name"] = "Test Camera";
        config["port"] = 0;
        if (!config.contains("password")) {
            config["password"] = "secret";
        }
        context_.configDir = dir_;
        camera_ = SimCamera::Start(config, context_, [this](const nlohmann::json&) {
            return std::make_unique<FakeMedia>(log_);
        });
    }
    void TearDown() override {
        if (camera_) {
            camera_->Stop();
        }
        std::filesystem::remove_all(dir_);
    }
    bool LogIn(RawCameraClient& client) {
        CHalvexProtocolAX reply;
        return client.Login("admin", "secret", "ORBI00000042") &&
               client.Receive(reply) == ReceiveResult::kOk &&
               reply.Type() == msgtype::kLoginReply && reply.FindText("Ret") &&
               std::string(reply.FindText("Ret")) == "1";
    }

    std::filesystem::path dir_ = std::filesystem::temp_directory_path() /
                                 ("simcam-" + std::to_string(::getpid()) + "-" +
                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    SimContext context_;
    std::shared_ptr<MediaLog> log_ = std::make_shared<MediaLog>();
    std::unique_ptr<SimCamera> camera_;
};

TEST_F(SimCameraTest, LoginChecksUserPasswordAndDeviceId) {
    Start();
    EXPECT_EQ(context_.cameraPorts["ORBI00000042"], camera_->Port());
    {
        RawCameraClient client(camera_->Port());
        EXPECT_TRUE(LogIn(client));
    }
    struct Case {
        const char* user;
        const char* password;
        const char* id;
        const char* error;
    } cases[] = {{"admin", "wrong", "ORBI00000042", "wrong user name or password"},
                 {"root", "secret", "ORBI00000042", "wrong user name or password"},
                 {"admin", "secret", "ORBI00000043", "wrong device ID"}};
    for (const auto& c : cases) {
        RawCameraClient client(camera_->Port());
        ASSERT_TRUE(client.Login(c.user, c.password, c.id));
        CHalvexProtocolAX reply;
        ASSERT_EQ(client.Receive(reply), ReceiveResult::kOk);
        EXPECT_STREQ(reply.FindText("Ret"), "0");
        EXPECT_STREQ(reply.FindText("ErrorInfo"), c.error);
        // A refused client is not served any further.
        EXPECT_EQ(client.Receive(reply), ReceiveResult::kShortRead);
    }
    EXPECT_EQ(camera_->SuccessfulLogins(), 1);
    EXPECT_EQ(camera_->ViolationCount(), 0);
}

TEST_F(SimCameraTest, RequestsBeforeLoginAreRefused) {
    Start();
    RawCameraClient client(camera_->Port());
    ASSERT_TRUE(client.Request(3300));
    CHalvexProtocolAX reply;
    ASSERT_EQ(client.Receive(reply), ReceiveResult::kOk);
    EXPECT_STREQ(reply.FindText("Ret"), "0");
    EXPECT_EQ(camera_->ViolationCount(), 1);
}

TEST_F(SimCameraTest, ReportsEveryBreachOfTheWireFormat) {
    Start();
    RawCameraClient client(camera_->Port());
    ASSERT_TRUE(LogIn(client));
    EXPECT_EQ(camera_->ViolationCount(), 0);

    // Lower-case hex in a field header, and a duplicate name.
    ASSERT_TRUE(
        client.SendRaw("01000010000033"
                       "0d000004Command_Param3300"
                       "04000001Wait1"
                       "04000001WAIT1"));
    CHalvexProtocolAX reply;
    ASSERT_EQ(client.Receive(reply), ReceiveResult::kOk);
    EXPECT_EQ(camera_->ViolationCount(), 2);

    // Version other than 0100, body length larger than the fields.
    ASSERT_TRUE(
        client.SendRaw("01010003000005"
                       "00000"));
    // A keep-alive with a field, a request without "Wait".
    ASSERT_TRUE(
        client.SendRaw("0100200300000C"
                       "03000001Ret1"));
    ASSERT_TRUE(
        client.SendRaw("01000010000019"
                       "0D000004Command_Param3400"));
    ASSERT_EQ(client.Receive(reply), ReceiveResult::kOk);
    EXPECT_STREQ(reply.FindText("Command_Param"), "3401");
    auto violations = camera_->Violations();
    EXPECT_GE(camera_->ViolationCount(), 7) << ::testing::PrintToString(violations);

    // A set whose block has the wrong size is refused, not stored.
    CHalvexProtocolAX set;
    set.SetType(msgtype::kRequest);
    set.AddNumberField("Command_Param", 3302);
    set.AddField("DevInfo", "short block");
    ASSERT_TRUE(client.Send(set));
    ASSERT_EQ(client.Receive(reply), ReceiveResult::kOk);
    EXPECT_STREQ(reply.FindText("Ret"), "0");
    EXPECT_EQ(camera_->State().Parameters().DeviceName(), "Test Camera");
}

TEST_F(SimCameraTest, MediaSessionOpensAtLoginAndSeesWhatTheCommandSideLeaves) {
    Start();
    {
        RawCameraClient client(camera_->Port());
        ASSERT_TRUE(client.Login("admin", "wrong", "ORBI00000042"));
        CHalvexProtocolAX reply;
        client.Receive(reply);
    }
    {
        RawCameraClient client(camera_->Port());
        ASSERT_TRUE(LogIn(client));
        ASSERT_TRUE(WaitUntil([&] {
            std::lock_guard lock(log_->mutex);
            return log_->sessionsOpened == 1;
        }));
        CHalvexProtocolAX start;
        start.AddField("Command", "Start");
        start.AddField("Type", "Video");
        ASSERT_TRUE(client.Send(start));
        ASSERT_TRUE(client.Request(3300));  // answered by the command side
        ASSERT_TRUE(client.Request(100));   // answered by the media side
        CHalvexProtocolAX reply;
        ASSERT_EQ(client.Receive(reply), ReceiveResult::kOk);
        EXPECT_STREQ(reply.FindText("Command_Param"), "3301");
        ASSERT_EQ(client.Receive(reply), ReceiveResult::kOk);
        EXPECT_STREQ(reply.FindText("RetAlert"), "Off");
    }
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard lock(log_->mutex);
        return log_->sessionsStopped == 1;
    }));
    std::lock_guard lock(log_->mutex);
    EXPECT_EQ(log_->sessionsOpened, 1);
    EXPECT_EQ(log_->offered, (std::vector<std::string>{"8/", "16/100"}));
}

TEST_F(SimCameraTest, AlarmAndFaultEventsReachTheirCameraOnly) {
    Start();
    context_.events.Publish({"alarm", "ORBI00000042", {{"args", " on"}}});
    context_.events.Publish({"alarm", "ORBI00000099", {{"args", " on"}}});
    context_.events.Publish({"alarm", "ORBI00000042", {{"args", " off"}}});
    context_.events.Publish({"fault", "ORBI00000042", {{"args", " stall"}}});
    {
        std::lock_guard lock(log_->mutex);
        EXPECT_EQ(log_->alarms, (std::vector<bool>{true, false}));
    }
    EXPECT_EQ(camera_->Fault(), SimFaultMode::kStall);
    camera_->Stop();
    // After Stop the bus no longer reaches the camera.
    context_.events.Publish({"fault", "ORBI00000042", {{"args", " none"}}});
    EXPECT_EQ(camera_->Fault(), SimFaultMode::kStall);
}

TEST_F(SimCameraTest, FaultModesBreakTheAnswersAsNamed) {
    Start();
    CHalvexProtocolAX reply;
    camera_->SetFault(SimFaultMode::kRefuse);
    {
        RawCameraClient client(camera_->Port());
        client.Login("admin", "secret", "ORBI00000042");
        EXPECT_EQ(client.Receive(reply), ReceiveResult::kShortRead);
    }
    camera_->SetFault(SimFaultMode::kStall);
    {
        RawCameraClient client(camera_->Port());
        ASSERT_TRUE(client.Login("admin", "secret", "ORBI00000042"));
        EXPECT_EQ(client.Receive(reply, 300), ReceiveResult::kShortRead);
    }
    camera_->SetFault(SimFaultMode::kOverlongHeader);
    {
        RawCameraClient client(camera_->Port());
        ASSERT_TRUE(client.Login("admin", "secret", "ORBI00000042"));
        std::string header = client.ReceiveHeader();
        ASSERT_EQ(header.size(), 14u);
        int length = 0;
        ASSERT_TRUE(ParseHexDigits(reinterpret_cast<const uint8_t*>(header.data()) + 8, 6, length));
        EXPECT_GT(length, 327678);
    }
    camera_->SetFault(SimFaultMode::kMalformedFields);
    {
        RawCameraClient client(camera_->Port());
        ASSERT_TRUE(client.Login("admin", "secret", "ORBI00000042"));
        ASSERT_EQ(client.Receive(reply), ReceiveResult::kOk);
        EXPECT_EQ(reply.Type(), msgtype::kLoginReply);
        EXPECT_EQ(reply.FindField("Ret"), nullptr);
    }
    camera_->SetFault(SimFaultMode::kCloseAfterLogin);
    {
        RawCameraClient client(camera_->Port());
        ASSERT_TRUE(LogIn(client));
        EXPECT_EQ(client.Receive(reply), ReceiveResult::kShortRead);
    }
    camera_->SetFault(SimFaultMode::kNone);
    {
        RawCameraClient client(camera_->Port());
        EXPECT_TRUE(LogIn(client));
    }
}

TEST_F(SimCameraTest, SwitchingToRefuseDropsOpenConnections) {
    Start();
    RawCameraClient client(camera_->Port());
    ASSERT_TRUE(LogIn(client));
    camera_->SetFault(SimFaultMode::kRefuse);
    CHalvexProtocolAX reply;
    EXPECT_EQ(client.Receive(reply), ReceiveResult::kShortRead);
}

TEST_F(SimCameraTest, StopEndsPromptlyWithClientsConnected) {
    Start();
    RawCameraClient a(camera_->Port());
    RawCameraClient b(camera_->Port());
    ASSERT_TRUE(LogIn(a));
    auto started = std::chrono::steady_clock::now();
    camera_->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    CHalvexProtocolAX reply;
    EXPECT_EQ(a.Receive(reply), ReceiveResult::kShortRead);
}

TEST_F(SimCameraTest, BadConfigurationIsRefusedWithAReason) {
    SimContext context;
    auto start = [&](nlohmann::json config) {
        try {
            SimCamera::Start(config, context)->Stop();
            return std::string();
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
    };
    EXPECT_NE(start({{"name", "x"}}).find("\"id\""), std::string::npos);
    EXPECT_NE(start({{"id", "A"}, {"params", {{"no_such_member", 1}}}}).find("no_such_member"),
              std::string::npos);
    EXPECT_NE(start({{"id", "A"}, {"params", {{"device_name", std::string(19, 'x')}}}})
                  .find("device_name"),
              std::string::npos);
    EXPECT_NE(start({{"id", "A"}, {"fault", "sometimes"}}).find("fault"), std::string::npos);
    EXPECT_EQ(start({{"id", "A"}, {"port", 0}, {"params", {{"resolution_code", 9}}}}), "");
}

}  // namespace
}  // namespace orbisight::sim
