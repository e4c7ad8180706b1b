// records_bench: what downloading a recording costs.
//
//   scripts/isolated build/bin/records_bench [--mib N] [--rounds R] [--host 127.x.y.z]
//
// One recording of N MiB (default 32) is served three ways in this process,
// R rounds each (default 5), alternating: by a simulated camera's SD card
// through the command channel (the path of the SD page and sd-get), by the
// simulated cloud storage server through the cloud-storage library (the
// path of the cloud page and cloud-get), and by a plain socket that just
// sends the bytes, read and written to a file the same way (the same-run
// reference). Every download is compared with the original. Reported: the
// median and best MiB/s of each, and each path's median against the plain
// copy's.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "account/DeviceInfo.h"
#include "device/CXOMPDeviceOper.h"
#include "platform/Files.h"
#include "platform/Notice.h"
#include "platform/Socket.h"
#include "records/CloudConnection.h"
#include "records/CloudStorageLibrary.h"
#include "sim/camera/SimCamera.h"
#include "sim/cloud/SimCloudServer.h"

namespace {

using namespace orbisight;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr const char* kId = "BENCH0000001";
constexpr const char* kName = "20261209093000.264";

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The plain reference: a listener that sends the bytes to whoever connects.
class PlainSender {
  public:
    explicit PlainSender(const std::string& bytes) : bytes_(bytes) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 4);
        port_ = LocalPort(listener_);
        thread_ = std::thread([this] {
            for (;;) {
                int c = ::accept(listener_, nullptr, nullptr);
                if (c < 0) {
                    return;
                }
                SendAll(10000, static_cast<int>(bytes_.size()), c, bytes_.data());
                ::close(c);
            }
        });
    }
    ~PlainSender() {
        ShutdownSocket(listener_);
        thread_.join();
        CloseSocket(listener_);
    }
    int Port() const { return port_; }

  private:
    const std::string& bytes_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

bool PlainCopy(int port, size_t size, const fs::path& out) {
    int s = ConnectTcp("127.0.0.1", port, 2000);
    if (s < 0) {
        return false;
    }
    std::string buffer(size, '\0');
    bool ok =
        ReceiveExact(10000, s, static_cast<int>(size), buffer.data()) == static_cast<int>(size);
    CloseSocket(s);
    return ok && WriteFileAtomically(out, buffer.data(), buffer.size());
}

}  // namespace

int main(int argc, char** argv) {
    int mib = 32;
    int rounds = 5;
    std::string host = "127.0.0.1";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        if (arg == "--mib") {
            mib = std::atoi(argv[i + 1]);
        } else if (arg == "--rounds") {
            rounds = std::atoi(argv[i + 1]);
        } else if (arg == "--host") {
            host = argv[i + 1];
        }
    }
    if (mib < 1 || mib > 256 || rounds < 1) {
        std::fprintf(stderr, "usage: records_bench [--mib 1..256] [--rounds R] [--host H]\n");
        return 2;
    }
    size_t size = size_t(mib) << 20;
    fs::path folder = fs::temp_directory_path() / ("records-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder / "sd/20261209");
    auto original = sim::SimCloudStore::Pattern(size, 42);
    { std::ofstream(folder / "sd/20261209" / kName, std::ios::binary) << *original; }

    // The camera with the recording on its card.
    sim::SimContext context;
    context.configDir = folder;
    nlohmann::json cameraConfig = {{"id", kId},         {"password", "pw"},      {"port", 0},
                                   {"sd_folder", "sd"}, {"lan_command_port", 0}, {"web_port", 0}};
    auto camera =
        sim::SimCamera::Start(cameraConfig, context, [](const nlohmann::json&) { return nullptr; });
    // The cloud server with the same bytes.
    auto cloud = sim::SimCloudServer::Start({{"host", host}, {"port", 5557}}, nullptr);
    VideoInfo video{1765272600, 1, 1, static_cast<int32_t>(size)};
    cloud->Store().Add(kId, video.videoTime, 1, 1, original);
    std::string error;
    auto library = CloudStorageLibrary::Load(
        CloudStorageLibrary::ProgramFolder() + CloudStorageLibrary::kFileName, error);
    if (!library) {
        std::fprintf(stderr, "records_bench: %s\n", error.c_str());
        return 1;
    }
    library->Init(CloudStorageLibrary::ProgramFolder());
    PlainSender plain(*original);

    std::vector<double> sdRates;
    std::vector<double> cloudRates;
    std::vector<double> plainRates;
    auto rate = [size](Clock::time_point start) {
        double s = std::chrono::duration<double>(Clock::now() - start).count();
        return double(size) / (1 << 20) / s;
    };
    auto check = [&](const fs::path& path, const char* what) {
        if (ReadAll(path) != *original) {
            std::fprintf(stderr, "records_bench: the %s copy differs\n", what);
            std::exit(1);
        }
        fs::remove(path);
    };
    for (int round = 0; round < rounds; ++round) {
        // SD card: the command channel in SD mode, as the SD page and sd-get.
        {
            NoticeQueue notices;
            CXOMPDeviceOper channel;
            channel.SetOwner(&notices);
            channel.SetMode(CXOMPDeviceOper::kModeSdRecords);
            auto record = NewDeviceInfo();
            record->SetUrl("ssp://127.0.0.1:" + std::to_string(camera->Port()));
            record->SetUser("admin");
            record->SetPassword("pw");
            record->SetId(kId);
            if (channel.Open(*record) != 1) {
                std::fprintf(stderr, "records_bench: the camera did not log in\n");
                return 1;
            }
            fs::path out = folder / "sd-copy.264";
            auto start = Clock::now();
            if (!channel.BeginSdDownload(out, kName)) {
                std::fprintf(stderr, "records_bench: the SD download did not start\n");
                return 1;
            }
            Notice notice;
            if (!notices.WaitFor(notice::kSdDownloadDone, notice, 60000)) {
                std::fprintf(stderr, "records_bench: the SD download did not end\n");
                return 1;
            }
            sdRates.push_back(rate(start));
            channel.Close();
            check(out, "SD");
        }
        // Cloud: connect and list once per round, time the download.
        {
            CloudConnection connection(*library);
            auto quiet = [](const std::string&) {};
            if (!connection.Open(ConnectParamText(host + ":5557"), kId, quiet) ||
                connection.Query(video.videoTime, video.videoTime, quiet).videos.size() != 1) {
                std::fprintf(stderr, "records_bench: the cloud query failed\n");
                return 1;
            }
            fs::path out = folder / "cloud" / "copy.264";
            auto start = Clock::now();
            if (!connection.Download(video, out, quiet, error)) {
                std::fprintf(stderr, "records_bench: cloud download: %s\n", error.c_str());
                return 1;
            }
            cloudRates.push_back(rate(start));
            check(out, "cloud");
        }
        // The plain copy.
        {
            fs::path out = folder / "plain.264";
            auto start = Clock::now();
            if (!PlainCopy(plain.Port(), size, out)) {
                std::fprintf(stderr, "records_bench: the plain copy failed\n");
                return 1;
            }
            plainRates.push_back(rate(start));
            check(out, "plain");
        }
    }
    double p = Median(plainRates);
    auto line = [p](const char* what, const std::vector<double>& v) {
        std::printf("%-6s median %8.1f MiB/s  best %8.1f MiB/s  %5.1f%% of plain\n", what,
                    Median(v), *std::max_element(v.begin(), v.end()), 100.0 * Median(v) / p);
    };
    std::printf("records_bench: %d MiB, %d rounds, files written and compared each time\n", mib,
                rounds);
    line("plain", plainRates);
    line("sd", sdRates);
    line("cloud", cloudRates);
    camera->Stop();
    cloud->Stop();
    fs::remove_all(folder);
    return 0;
}
