#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "account/CXOMPWorker.h"
#include "account/ProbeLocalDevice.h"
#include "platform/Socket.h"
#include "tests/account/TempFolder.h"

namespace orbisight {
namespace {

// A listening socket on an ephemeral loopback port.
class Listener {
  public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 8);
        port_ = LocalPort(fd_);
    }
    ~Listener() { ::close(fd_); }
    int Port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

// A loopback port that refuses connections.
int ClosedPort() {
    Listener probe;
    return probe.Port();  // closed when probe goes away
}

TEST(ProbeLocalDevice, DirectAddressIsTheFirstSspEntry) {
    DirectAddress a;
    ASSERT_TRUE(ParseDirectAddress("ssp://192.168.1.9:5552", a));
    EXPECT_EQ(a.host, "192.168.1.9");
    EXPECT_EQ(a.port, 5552);
    ASSERT_TRUE(ParseDirectAddress("ddns://x.org:80;ssp://10.0.0.2:6001;tutkid://ABC", a));
    EXPECT_EQ(a.host, "10.0.0.2");
    EXPECT_EQ(a.port, 6001);
    ASSERT_TRUE(ParseDirectAddress("ssp://10.0.0.3 trailing", a));
    EXPECT_EQ(a.host, "10.0.0.3");
    EXPECT_EQ(a.port, 5552);
    ASSERT_TRUE(ParseDirectAddress("ssp://10.0.0.4:notaport", a));
    EXPECT_EQ(a.port, 5552);
    EXPECT_FALSE(ParseDirectAddress("ssp://", a));
    EXPECT_FALSE(ParseDirectAddress("ssp://:5552", a));
    EXPECT_FALSE(ParseDirectAddress("tutkid://ABC", a));
    EXPECT_FALSE(ParseDirectAddress("", a));
}

TEST(ProbeLocalDevice, StatusFollowsTheConnectTest) {
    Listener camera;
    auto record = NewDeviceInfo();
    record->SetUrl("ssp://127.0.0.1:" + std::to_string(camera.Port()));
    EXPECT_EQ(ProbeLocalDevice(*record), ProbeResult::kOnline);
    EXPECT_EQ(record->status, 2);

    record->SetUrl("ssp://127.0.0.1:" + std::to_string(ClosedPort()));
    EXPECT_EQ(ProbeLocalDevice(*record), ProbeResult::kOffline);
    EXPECT_EQ(record->status, 0);

    // A name that does not resolve is off-line, never the local machine.
    record->status = 2;
    record->SetUrl("ssp://no-such-camera.invalid:" + std::to_string(camera.Port()));
    EXPECT_EQ(ProbeLocalDevice(*record), ProbeResult::kOffline);
    EXPECT_EQ(record->status, 0);

    record->status = 1;
    record->SetUrl("tutkid://ABCDEF");
    EXPECT_EQ(ProbeLocalDevice(*record), ProbeResult::kUnchanged);
    EXPECT_EQ(record->status, 1);
}

TEST(ProbeLocalDevice, WorkerProbesEveryLocalDeviceAndLeavesGroupsAlone) {
    test::TempFolder folder;
    Listener camera;
    CXOMPWorker worker(nullptr, {folder.Path(), AccountTimings{}});
    worker.AddLocalGroup("G", 0);
    worker.AddLocalDevice("UP", "127.0.0.1:" + std::to_string(camera.Port()), "up", "", 0);
    worker.AddLocalDevice("DOWN", "127.0.0.1:" + std::to_string(ClosedPort()), "down", "", 0);
    worker.Lists().ClearLocalStatus();

    EXPECT_EQ(worker.ProbeLocalDevices(), 1);
    EXPECT_EQ(worker.FindDevice(DeviceListKind::kLocal, "UP", IdMatch::kExact)->status, 2);
    EXPECT_EQ(worker.FindDevice(DeviceListKind::kLocal, "DOWN", IdMatch::kExact)->status, 0);
    auto address = worker.FindAddressList("UP", true);
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(*address, "ssp://127.0.0.1:" + std::to_string(camera.Port()));
    EXPECT_FALSE(worker.FindAddressList("up", true).has_value());  // exact IDs only
    EXPECT_FALSE(worker.FindAddressList("UP", false).has_value());

    // A worker made later loads the list from the same folder.
    CXOMPWorker restarted(nullptr, {folder.Path(), AccountTimings{}});
    EXPECT_EQ(restarted.Lists().Size(DeviceListKind::kLocal), 3u);
}

TEST(ProbeLocalDevice, ProbingWhileTheListChangesIsSafe) {
    test::TempFolder folder;
    Listener camera;
    CXOMPWorker worker(nullptr, {folder.Path(), AccountTimings{}});
    std::string host = "127.0.0.1:" + std::to_string(camera.Port());
    for (int i = 0; i < 10; ++i) {
        worker.AddLocalDevice("CAM" + std::to_string(i), host, "", "", 0);
    }
    std::atomic<bool> cancel{false};
    std::thread prober([&] {
        while (!cancel.load()) {
            worker.ProbeLocalDevices(&cancel, 200);
        }
    });
    for (int i = 0; i < 10; ++i) {
        worker.DeleteLocalEntry({false, 0, "CAM" + std::to_string(i)});
        worker.AddLocalDevice("NEW" + std::to_string(i), host, "", "", 0);
        worker.Lists().Snapshot(DeviceListKind::kLocal);
    }
    cancel = true;
    prober.join();
    EXPECT_EQ(worker.Lists().Size(DeviceListKind::kLocal), 10u);
}

}  // namespace
}  // namespace orbisight
