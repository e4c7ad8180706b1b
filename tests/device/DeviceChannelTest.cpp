#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ChannelTestSupport.h"
#include "device/RfList.h"
#include "sim/camera/SimCamera.h"

namespace orbisight {
namespace {

using namespace orbisight::testing;
using sim::SimCamera;
using sim::SimFaultMode;

constexpr const char* kId = "ORBI00000007";
constexpr const char* kRf =
    "MYVELARFID:0101;name:Remote;status:on;####MYVELARFID:0211;name:Back door;status:off;####";

// The command channel against an in-process simulated camera.
class DeviceChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        bigRecording_ = RandomBytes(200 * 1024 + 123, 7);
        WriteFile(folder_.Path() / "sd/20141108/20141108093000.264", bigRecording_);
        WriteFile(folder_.Path() / "sd/20141108/20141108101500.264", RandomBytes(1000, 8));
        WriteFile(folder_.Path() / "sd/20141109/20141109000000.264", RandomBytes(10, 9));
        nlohmann::json config = {
            {"id", kId},         {"name", "Garage"}, {"password", "pw"},       {"port", 0},
            {"sd_folder", "sd"}, {"rf", kRf},        {"persist", "state.json"}};
        context_.configDir = folder_.Path();
        camera_ = SimCamera::Start(config, context_, [](const nlohmann::json&) { return nullptr; });
        channel_.SetOwner(&notices_);
        channel_.SetTimings(FastTimings());
    }
    void TearDown() override {
        channel_.Close();
        EXPECT_EQ(camera_->ViolationCount(), 0) << ::testing::PrintToString(camera_->Violations());
        camera_->Stop();
    }
    int Open(int mode, const std::string& password = "pw") {
        channel_.SetMode(mode);
        return channel_.Open(*CameraRecord(camera_->Port(), kId, password));
    }
    Notice Expect(uint32_t message, int timeoutMs = 3000) {
        Notice notice;
        EXPECT_TRUE(notices_.WaitFor(message, notice, timeoutMs))
            << "no notice " << message << "; had: " << Describe(notices_);
        return notice;
    }

    TempFolder folder_;
    std::vector<char> bigRecording_;
    sim::SimContext context_;
    std::unique_ptr<SimCamera> camera_;
    NoticeQueue notices_;
    CXOMPDeviceOper channel_;
};

TEST_F(DeviceChannelTest, ParametersArriveInOneNoticeAfterBothBlocks) {
    ASSERT_EQ(Open(CXOMPDeviceOper::kModeParameters), 1);
    EXPECT_TRUE(channel_.LoggedIn());
    Notice notice = Expect(notice::kParameters);
    EXPECT_EQ(notice.lParam, 3);
    auto* parameters = static_cast<DeviceParameters*>(notice.object.get());
    ASSERT_NE(parameters, nullptr);
    EXPECT_EQ(notice.wParam, reinterpret_cast<uintptr_t>(&parameters->ext));
    EXPECT_EQ(parameters->block.DeviceName(), "Garage");
    EXPECT_EQ(parameters->block.DeviceId(), kId);
    EXPECT_TRUE(parameters->block.SdCardPresent());
    EXPECT_EQ(channel_.Parameters().DeviceName(), "Garage");
    auto area = channel_.ParameterArea();
    EXPECT_EQ(std::memcmp(area.data(), &parameters->block, sizeof(DevInfoBlock)), 0);
    EXPECT_TRUE(std::all_of(area.begin() + sizeof(DevInfoBlock), area.end(),
                            [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(notices_.Drain().empty());
}

TEST_F(DeviceChannelTest, ChangedParametersAreStoredAndReadBack) {
    ASSERT_EQ(Open(CXOMPDeviceOper::kModeParameters), 1);
    Expect(notice::kParameters);
    DevInfoBlock block = channel_.Parameters();
    ASSERT_TRUE(block.SetDeviceName("Garage East"));
    block.resolutionCode = 11;
    block.StampForSet();
    block.SetMonthSetFlag(true);
    ASSERT_TRUE(channel_.SetParameters(block));
    DevInfoExt ext = channel_.ExtendedParameters();
    ext.SetApn("internet.example");
    ASSERT_TRUE(channel_.SetExtendedParameters(ext));

    ASSERT_TRUE(channel_.RequestParameters());
    Expect(notice::kParameters);
    EXPECT_EQ(channel_.Parameters().DeviceName(), "Garage East");
    EXPECT_EQ(channel_.Parameters().resolutionCode, 11);
    EXPECT_FALSE(channel_.Parameters().MonthSetFlag());
    EXPECT_EQ(channel_.ExtendedParameters().Apn(), "internet.example");
    EXPECT_TRUE(std::filesystem::exists(folder_.Path() / "state.json"));
}

TEST_F(DeviceChannelTest, RefusedLoginPostsTheFailureAndSendsNoModeRequest) {
    ASSERT_EQ(Open(CXOMPDeviceOper::kModeParameters, "wrong"), 1);
    Notice notice = Expect(notice::kReplyFailed);
    EXPECT_EQ(notice.wParam, static_cast<uintptr_t>(CXOMPDeviceOper::kModeParameters));
    EXPECT_EQ(notice.text, "wrong user name or password");
    EXPECT_TRUE(channel_.LoginRefused());
    EXPECT_FALSE(notices_.WaitFor(notice::kParameters, notice, 300));
}

TEST_F(DeviceChannelTest, RfListRoundTrip) {
    ASSERT_EQ(Open(CXOMPDeviceOper::kModeRfSensors), 1);
    Notice notice = Expect(notice::kRfList);
    EXPECT_EQ(notice.text, kRf);
    RfList list;
    list.Parse(notice.text);
    ASSERT_TRUE(list.SetPair("0211", "status", "on"));
    ASSERT_TRUE(list.Delete("0101"));
    ASSERT_TRUE(channel_.SetRfList(*list.Build()));
    ASSERT_TRUE(channel_.RequestRfList());
    EXPECT_EQ(Expect(notice::kRfList).text, "MYVELARFID:0211;name:Back door;status:on;####");

    ASSERT_TRUE(channel_.SetRfList(""));  // "Clear all" then save
    ASSERT_TRUE(channel_.RequestRfList());
    EXPECT_EQ(Expect(notice::kRfList).text, "");
}

TEST_F(DeviceChannelTest, SdListsAndADownloadWhoseBytesEqualTheRecording) {
    ASSERT_EQ(Open(CXOMPDeviceOper::kModeSdRecords), 1);
    // The login reply itself asks for the directory list.
    for (int i = 0; i < 100 && channel_.DirList().size() < 2; ++i) {
        SleepMs(10);
    }
    auto dirs = channel_.DirList();
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(dirs[0].Name(), "20141108");

    ASSERT_TRUE(channel_.RequestSdFileList("20141108", "090000", "100000"));
    Expect(notice::kSdFileList);
    auto files = channel_.FileList();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].Name(), "20141108093000.264");
    EXPECT_EQ(files[0].value, bigRecording_.size());
    EXPECT_TRUE(files[0].IsFile());

    auto path = SdDownloadPath(folder_.Path() / "records", "Garage", kId, files[0].Name(), true);
    ASSERT_TRUE(path.has_value());
    ASSERT_TRUE(channel_.BeginSdDownload(*path, files[0].Name()));
    Expect(notice::kSdDownloadDone);
    EXPECT_FALSE(channel_.Downloading());
    EXPECT_EQ(ReadFile(*path), bigRecording_);

    ASSERT_TRUE(channel_.BeginSdDownload(folder_.Path() / "missing.264", "20141108000000.264"));
    EXPECT_EQ(Expect(notice::kReplyFailed).wParam, 0u);
}

TEST_F(DeviceChannelTest, ReconnectsFiveSecondsAfterTheCameraDropsTheConnection) {
    channel_.SetTimings(CXOMPDeviceOper::Timings{});  // the documented 5 s retry
    ASSERT_EQ(Open(CXOMPDeviceOper::kModeParameters), 1);
    Expect(notice::kParameters);
    auto dropped = std::chrono::steady_clock::now();
    camera_->DropConnections();
    for (int i = 0; i < 200 && channel_.LoggedIn(); ++i) {
        SleepMs(5);
    }
    EXPECT_FALSE(channel_.LoggedIn());
    EXPECT_FALSE(channel_.RequestParameters());  // nothing goes into a dead socket
    // The new login sends the mode's request again.
    Expect(notice::kParameters, 9000);
    EXPECT_GE(std::chrono::steady_clock::now() - dropped, std::chrono::milliseconds(4500));
    EXPECT_TRUE(channel_.LoggedIn());
    EXPECT_EQ(camera_->SuccessfulLogins(), 2);
}

TEST_F(DeviceChannelTest, CloseReturnsPromptlyWhileTheReceiveThreadWaitsInItsLongRead) {
    channel_.SetTimings(CXOMPDeviceOper::Timings{});  // 60 s reads
    ASSERT_EQ(Open(CXOMPDeviceOper::kModeParameters), 1);
    Expect(notice::kParameters);
    SleepMs(50);  // the receive thread is now blocked in its read
    auto started = std::chrono::steady_clock::now();
    channel_.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_FALSE(channel_.LoggedIn());
    EXPECT_FALSE(channel_.RequestParameters());
}

TEST_F(DeviceChannelTest, CloseReturnsPromptlyDuringTheRetryWait) {
    channel_.SetTimings(CXOMPDeviceOper::Timings{});
    camera_->SetFault(SimFaultMode::kRefuse);
    EXPECT_EQ(Open(CXOMPDeviceOper::kModeParameters), 0);
    SleepMs(50);
    auto started = std::chrono::steady_clock::now();
    channel_.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
}

TEST_F(DeviceChannelTest, EveryFaultModeFailsCleanlyAndTheChannelRecovers) {
    struct Case {
        SimFaultMode mode;
        int openResult;
    } cases[] = {{SimFaultMode::kRefuse, 0},
                 {SimFaultMode::kStall, 0},
                 {SimFaultMode::kOverlongHeader, 0},
                 {SimFaultMode::kMalformedFields, 1},
                 {SimFaultMode::kCloseAfterLogin, 1}};
    auto timings = FastTimings();
    timings.replyTimeoutMs = 300;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(sim::FaultModeName(c.mode)));
        CXOMPDeviceOper channel;
        NoticeQueue notices;
        channel.SetOwner(&notices);
        channel.SetTimings(timings);
        channel.SetMode(CXOMPDeviceOper::kModeParameters);
        camera_->SetFault(c.mode);
        EXPECT_EQ(channel.Open(*CameraRecord(camera_->Port(), kId, "pw")), c.openResult);
        Notice notice;
        EXPECT_FALSE(notices.WaitFor(notice::kParameters, notice, 400));
        camera_->SetFault(SimFaultMode::kNone);
        EXPECT_TRUE(notices.WaitFor(notice::kParameters, notice, 3000))
            << "no recovery; had: " << Describe(notices);
        channel.Close();
    }
}

TEST_F(DeviceChannelTest, WholeMessagesNeverInterleaveAcrossThreads) {
    auto timings = FastTimings();
    timings.keepAliveIntervalMs = 1;
    channel_.SetTimings(timings);
    ASSERT_EQ(Open(CXOMPDeviceOper::kModeRfSensors), 1);
    Expect(notice::kRfList);
    constexpr int kPerThread = 40;
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t) {
        senders.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) {
                EXPECT_TRUE(channel_.RequestRfList());
            }
        });
    }
    for (auto& sender : senders) {
        sender.join();
    }
    Notice notice;
    for (int i = 0; i < 3 * kPerThread; ++i) {
        ASSERT_TRUE(notices_.WaitFor(notice::kRfList, notice, 3000)) << i;
    }
    // TearDown checks that the camera saw no malformed message.
}

TEST(DeviceChannel, NoListenerOrNoPortMeansNoConnection) {
    CXOMPDeviceOper channel;
    channel.SetTimings(FastTimings());
    // A port that nobody listens on: bind one, then give it up.
    int probe = ConnectTcp("127.0.0.1", 1, 100);
    CloseSocket(probe);
    auto record = CameraRecord(1, kId, "pw");
    EXPECT_EQ(channel.Open(*record), 0);
    EXPECT_EQ(channel.LastLoginResult(), CXOMPDeviceOper::kLoginNoConnection);
    EXPECT_FALSE(channel.RequestParameters());
    channel.Close();

    record->SetUrl("ssp://127.0.0.1");
    EXPECT_EQ(channel.Open(*record), 0);
    EXPECT_EQ(channel.Address().port, 0);
    channel.Close();
    EXPECT_FALSE(channel.SetRfList("x"));
}

}  // namespace
}  // namespace orbisight
