// LAN search, LAN sets, the bind step and the web page against simulated
// cameras, over the isolated namespace's broadcast.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "lan/LanListener.h"
#include "lan/LanParamSender.h"
#include "platform/Socket.h"
#include "sim/camera/SimCamera.h"
#include "sim/camera/SimWebPage.h"
#include "tests/account/SimAccountFixture.h"
#include "tests/device/ProcessRunner.h"

namespace orbisight::test {
namespace {

// Holds a free UDP port for the test: bound with address and port reuse,
// so the cameras and the listener can share it while nobody else gets it.
class HeldUdpPort {
  public:
    HeldUdpPort() {
        socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int on = 1;
        setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(socket_, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_ANY);
        bind(socket_, reinterpret_cast<sockaddr*>(&at), sizeof at);
    }
    ~HeldUdpPort() { CloseSocket(socket_); }
    uint16_t Port() const { return LocalPort(socket_); }

  private:
    int socket_ = -1;
};

// Loopback addresses of this process's cameras (each test runs in a process
// of its own): tests in parallel use others.
std::string CameraAddress(int n) {
    int pid = static_cast<int>(getpid());
    return "127." + std::to_string(pid % 200 + 20) + "." + std::to_string(pid / 200 % 250 + 1) +
           "." + std::to_string(n);
}

class LanSim : public SimAccountFixture {
  protected:
    void StartCameras(const std::vector<std::pair<std::string, std::string>>& cameras,
                      int webPort = 0) {
        searchPort_ = searchHeld_.Port();
        answerPort_ = answerHeld_.Port();
        ASSERT_NE(searchPort_, 0);
        ASSERT_NE(answerPort_, 0);
        int n = 0;
        for (const auto& [id, name] : cameras) {
            nlohmann::json config = {{"id", id},
                                     {"name", name},
                                     {"port", 0},
                                     {"lan_address", CameraAddress(++n)},
                                     {"lan_search_port", searchPort_},
                                     {"lan_answer_port", answerPort_},
                                     {"lan_command_port", 0},
                                     {"web_port", webPort}};
            cameras_.push_back(sim::SimCamera::Start(
                config, cameraContext_, [](const nlohmann::json&) { return nullptr; }));
            ASSERT_NE(cameras_.back()->Lan(), nullptr) << id;
        }
    }
    LanPorts Ports() const {
        LanPorts ports;
        ports.setPort = searchPort_;
        ports.getPort = answerPort_;
        ports.fixedSetPort = searchPort_;
        return ports;
    }
    void TearDown() override {
        for (auto& camera : cameras_) {
            camera->Stop();
        }
    }

    HeldUdpPort searchHeld_;
    HeldUdpPort answerHeld_;
    uint16_t searchPort_ = 0;
    uint16_t answerPort_ = 0;
    sim::SimContext cameraContext_;
    std::vector<std::unique_ptr<sim::SimCamera>> cameras_;
};

TEST_F(LanSim, ASearchFindsEverySimulatedCameraAtItsOwnAddress) {
    StartCameras(
        {{"ORBI00000001", "Front Door"}, {"ORBI00000002", "Garage"}, {"ORBI00000003", "Backyard"}});
    NoticeQueue window;  // outlives the listener that posts to it
    LanListener listener(Ports());
    listener.SetTarget(LanWindow::kLocalSearch, &window);
    ASSERT_TRUE(listener.Start());
    ASSERT_TRUE(Eventually([&] {
        auto all = listener.List()->Snapshot();
        return all.size() == 3 && std::all_of(all.begin(), all.end(),
                                              [](const CamNetParam& r) { return r.HasExtended(); });
    }));
    for (size_t i = 0; i < cameras_.size(); ++i) {
        auto record = listener.List()->Find(cameras_[i]->Id());
        ASSERT_TRUE(record);
        EXPECT_EQ(record->Address(), CameraAddress(static_cast<int>(i) + 1));
        EXPECT_STREQ(record->NetTypeText(), "LAN");
        EXPECT_EQ(record->Version(), "V3.2.1.20150312-sim");
    }
    EXPECT_EQ(listener.List()->Find("ORBI00000002")->Name(), "Garage");
    // Each camera's basic and extended answers came to the window.
    int basic = 0, extended = 0;
    Notice n;
    while (window.Wait(n, 200)) {
        (n.wParam == 0 ? basic : extended)++;
    }
    EXPECT_EQ(basic, 3);
    EXPECT_EQ(extended, 3);
    // The client's "3G" replies and searches are no violations to the cameras.
    for (auto& camera : cameras_) {
        EXPECT_EQ(camera->ViolationCount(), 0) << camera->Id();
    }
}

TEST_F(LanSim, ALanSetRenamesOneCameraAndTheNextSearchShowsIt) {
    StartCameras({{"ORBI00000001", "Front Door"}, {"ORBI00000002", "Garage"}});
    LanListener listener(Ports());
    ASSERT_TRUE(listener.Start());
    // The 3G set below is built on the extended answer, which may come a
    // little after the basic one.
    ASSERT_TRUE(Eventually([&] {
        auto found = listener.List()->Find("ORBI00000002");
        return listener.List()->Size() == 2 && found &&
               found->extended.code == DevInfoBlock::kCodeExtendedAnswer;
    }));
    CamNetParam record = *listener.List()->Find("ORBI00000002");
    ASSERT_TRUE(record.basic.SetDeviceName("Workshop"));
    LanParamSender sender(searchPort_);
    ASSERT_EQ(sender.SendBasic(record.basic), 0);
    ASSERT_TRUE(Eventually([&] { return cameras_[1]->Lan()->SetsApplied() == 1; }));
    EXPECT_EQ(cameras_[0]->Lan()->SetsApplied(), 0u);  // addressed to the other one

    listener.StartLanSearch();
    ASSERT_TRUE(Eventually([&] {
        auto found = listener.List()->Find("ORBI00000002");
        return found && found->Name() == "Workshop" && listener.List()->Size() == 2;
    }));
    EXPECT_EQ(listener.List()->Find("ORBI00000001")->Name(), "Front Door");

    // The 3G settings travel in their own set.
    DevInfoExt ext{};
    ext.SetApn("internet.example");
    ASSERT_EQ(sender.SendExtended(record.extended, ext), 0);
    ASSERT_TRUE(
        Eventually([&] { return cameras_[1]->State().Extended().Apn() == "internet.example"; }));
}

TEST_F(LanSim, BindingALanCameraTellsItTheAccountAndUnbindingClearsIt) {
    StartCameras({{"FREE00000001", "Unbound"}});
    StartSim();
    WriteIni(sim_->LoginPort(), sim_->RegisterPort(),
             "DeviceSetPort=" + std::to_string(searchPort_) + "\n");
    LanListener listener(Ports());
    ASSERT_TRUE(listener.Start());
    ASSERT_TRUE(Eventually([&] { return listener.List()->Size() == 1; }));
    auto worker = MakeWorker();
    worker->SetLanBlockLookup(MakeBasicBlockLookup(listener.List()));
    ASSERT_EQ(Login(*worker), CXOMPWorker::kLoginAccepted);

    ASSERT_EQ(worker->BindDevice("", "FREE00000001", ""), 1);
    ASSERT_TRUE(Eventually([&] { return cameras_[0]->Lan()->SetsApplied() == 1; }));
    DevInfoBlock stored = cameras_[0]->State().Parameters();
    EXPECT_EQ(FieldText(stored.boundUser), "alice");
    EXPECT_EQ(stored.DeviceName(), "Unbound");  // nothing else changed

    ASSERT_EQ(worker->UnbindDevice("", "FREE00000001", ""), 1);
    ASSERT_TRUE(Eventually([&] { return cameras_[0]->Lan()->SetsApplied() == 2; }));
    EXPECT_EQ(FieldText(cameras_[0]->State().Parameters().boundUser), "");
    EXPECT_EQ(cameras_[0]->ViolationCount(), 0);
}

TEST_F(LanSim, TheCameraServesItsWebPageOnPort80OfItsAddress) {
    StartCameras({{"ORBI00000001", "Front <Door>"}}, 80);
    ASSERT_NE(cameras_[0]->Web(), nullptr);
    int s = ConnectTcp(CameraAddress(1).c_str(), 80, 2000);
    ASSERT_GE(s, 0);
    std::string request = "GET /sd/ipnc/ HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_EQ(SendAll(2000, static_cast<int>(request.size()), s, request.data()),
              static_cast<int>(request.size()));
    std::string page;
    char buffer[1024];
    while (WaitReadable(s, 2000) == 1) {
        ssize_t n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        page.append(buffer, static_cast<size_t>(n));
    }
    CloseSocket(s);
    EXPECT_EQ(page.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    EXPECT_NE(page.find("Front &lt;Door&gt;"), std::string::npos);
    EXPECT_NE(page.find("ORBI00000001"), std::string::npos);
    EXPECT_EQ(cameras_[0]->Web()->LastRequestLine(), "GET /sd/ipnc/ HTTP/1.1");
}

using orbisight::testing::ProcessResult;
using orbisight::testing::RunProgram;

class LanCli : public LanSim {
  protected:
    ProcessResult Cli(std::vector<std::string> words) {
        std::ofstream(folder_.Path() / "CameraClient.ini")
            << "[CameraClient]\nDeviceSetPort=" << searchPort_ << "\nDeviceGetPort=" << answerPort_
            << "\n";
        words.insert(words.begin(), std::string(ORBISIGHT_BIN_DIR) + "/orbisight-cli");
        words.push_back("--data-dir");
        words.push_back(folder_.Path().string());
        return RunProgram(words);
    }
};

TEST_F(LanCli, LanSearchPrintsOneObjectPerCamera) {
    StartCameras({{"ORBI00000001", "Front Door"}, {"ORBI00000002", "Garage"}});
    ProcessResult result = Cli({"lan-search", "--seconds", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::map<std::string, nlohmann::json> found;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        auto camera = nlohmann::json::parse(line);
        found[camera["id"]] = camera;
    }
    ASSERT_EQ(found.size(), 2u) << result.out;
    EXPECT_EQ(found["ORBI00000002"]["name"], "Garage");
    EXPECT_EQ(found["ORBI00000002"]["address"], CameraAddress(2));
    EXPECT_EQ(found["ORBI00000002"]["net_type"], "LAN");
    EXPECT_EQ(found["ORBI00000002"]["version"], "V3.2.1.20150312-sim");
    EXPECT_EQ(found["ORBI00000002"]["mac"].get<std::string>().size(), 17u);
}

TEST_F(LanCli, LanSetChangesACameraAndShowsWhatTheNextSearchFound) {
    StartCameras({{"ORBI00000001", "Front Door"}});
    ProcessResult result =
        Cli({"lan-set", "--id", "ORBI00000001", "device_name=Porch", "apn=internet"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(nlohmann::json::parse(result.out)["name"], "Porch");
    EXPECT_EQ(cameras_[0]->State().Parameters().DeviceName(), "Porch");
    EXPECT_EQ(cameras_[0]->State().Extended().Apn(), "internet");
}

TEST_F(LanCli, LanSetRefusesBadValuesBeforeSendingAnything) {
    StartCameras({{"ORBI00000001", "Front Door"}});
    // 18 bytes are the most a name holds (here 16 + a 2-byte character).
    ProcessResult edge =
        Cli({"lan-set", "--id", "ORBI00000001", "device_name=ABCDEFGHIJKLMNOP\xC3\xA9"});
    EXPECT_EQ(edge.exitCode, 0) << edge.err;
    EXPECT_EQ(cameras_[0]->Lan()->SetsApplied(), 1u);
    const std::vector<std::vector<std::string>> refused = {
        {"device_name=ABCDEFGHIJKLMNOPQ\xC3\xA9"},  // 19 bytes
        {"wired_ip=192.168.1.256"},
        {"wifi_gateway=gateway"},
        {"no_such_field=1"},
        {"device_id=ORBI00000009"},  // read-only
        {"device_name"},
    };
    for (const auto& words : refused) {
        std::vector<std::string> argv = {"lan-set", "--id", "ORBI00000001"};
        argv.insert(argv.end(), words.begin(), words.end());
        ProcessResult result = Cli(argv);
        EXPECT_EQ(result.exitCode, 2) << words[0];
        EXPECT_NE(result.err.find("orbisight-cli:"), std::string::npos) << words[0];
    }
    EXPECT_EQ(Cli({"lan-set", "--id", "ORBI0000001", "device_name=x"}).exitCode, 2);
    EXPECT_EQ(Cli({"lan-search", "--seconds", "0"}).exitCode, 2);
    EXPECT_EQ(cameras_[0]->Lan()->SetsApplied(), 1u);       // none of them was sent
    EXPECT_EQ(cameras_[0]->Lan()->SearchesAnswered(), 2u);  // those of the first lan-set
}

TEST_F(LanCli, AccountBindTellsTheCameraOnTheLanAndUnbindClearsIt) {
    StartCameras({{"FREE00000001", "Unbound"}});
    StartSim();
    auto Account = [&](const std::string& command) {
        WriteIni(sim_->LoginPort(), sim_->RegisterPort(),
                 "DeviceSetPort=" + std::to_string(searchPort_) +
                     "\nDeviceGetPort=" + std::to_string(answerPort_) + "\n");
        std::vector<std::string> argv = {std::string(ORBISIGHT_BIN_DIR) + "/orbisight-cli",
                                         "account",
                                         command,
                                         "--user",
                                         "alice",
                                         "--password",
                                         "secret",
                                         "--id",
                                         "free00000001",  // IDs match ignoring case
                                         "--lan-seconds",
                                         "5",
                                         "--data-dir",
                                         folder_.Path().string()};
        return RunProgram(argv);
    };
    ProcessResult bound = Account("bind");
    ASSERT_EQ(bound.exitCode, 0) << bound.err;
    EXPECT_EQ(nlohmann::json::parse(bound.out)["lan"], true);
    ASSERT_TRUE(Eventually([&] { return cameras_[0]->Lan()->SetsApplied() == 1; }));
    DevInfoBlock stored = cameras_[0]->State().Parameters();
    EXPECT_EQ(FieldText(stored.boundUser), "alice");
    EXPECT_EQ(stored.DeviceName(), "Unbound");  // the rest of the block as the camera sent it

    ProcessResult unbound = Account("unbind");
    ASSERT_EQ(unbound.exitCode, 0) << unbound.err;
    EXPECT_EQ(nlohmann::json::parse(unbound.out)["lan"], true);
    ASSERT_TRUE(Eventually([&] { return cameras_[0]->Lan()->SetsApplied() == 2; }));
    EXPECT_EQ(FieldText(cameras_[0]->State().Parameters().boundUser), "");
    EXPECT_EQ(cameras_[0]->ViolationCount(), 0);
}

TEST_F(LanSim, AWizardSetMovesTheCameraAndItsWebPageToTheNewAddress) {
    StartCameras({{"ORBI00000001", "Front Door"}}, 80);
    LanListener listener(Ports());
    ASSERT_TRUE(listener.Start());
    ASSERT_TRUE(Eventually([&] { return listener.List()->Size() == 1; }));
    DevInfoBlock block = listener.List()->Find("ORBI00000001")->basic;
    std::string moved = CameraAddress(9);
    block.SetWiredIp(moved);
    ASSERT_EQ(LanParamSender(searchPort_).SendBasic(block), 0);
    ASSERT_TRUE(Eventually([&] { return cameras_[0]->Lan()->SetsApplied() == 1; }));
    listener.StartLanSearch();
    ASSERT_TRUE(Eventually([&] {
        auto found = listener.List()->Find("ORBI00000001");
        return found && found->Address() == moved;
    }));
    EXPECT_STREQ(listener.List()->Find("ORBI00000001")->NetTypeText(), "LAN");
    int s = ConnectTcp(moved.c_str(), 80, 2000);
    EXPECT_GE(s, 0);
    CloseSocket(s);
}

}  // namespace
}  // namespace orbisight::test
