// sd_bench: how fast a recording comes off a camera's SD card.
//
//   scripts/isolated build/bin/sd_bench [--mib N] [--rounds N]
//
// A simulated camera (in this process, on an ephemeral loopback port) keeps
// one N MiB recording (default 32) on its card; the command channel logs
// in (mode 0) and downloads it as the SD page does: "Type" 3, chunks of at
// most 64 KiB each in its own device message, appended to a file, until
// "Type" 4. The reference, in the same run: the same bytes sent over a
// plain loopback TCP connection and written to a file. Each figure is the
// best of the rounds, printed with its ratio to the reference.

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "account/DeviceInfo.h"
#include "device/CXOMPDeviceOper.h"
#include "platform/Notice.h"
#include "platform/Socket.h"
#include "sim/camera/SimCamera.h"

namespace {

using namespace orbisight;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kId = "BENCH0000001";
constexpr const char* kName = "20141108093000.264";

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The same bytes over a plain loopback connection into a file.
double PlainCopySeconds(const std::vector<char>& bytes, const fs::path& out) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    int port = LocalPort(listener);
    auto start = Clock::now();
    std::thread sender([&] {
        int fd = ::accept(listener, nullptr, nullptr);
        constexpr size_t kChunk = 64 * 1024;
        for (size_t at = 0; at < bytes.size(); at += kChunk) {
            int length = static_cast<int>(std::min(kChunk, bytes.size() - at));
            SendAll(5000, length, fd, bytes.data() + at);
        }
        ::close(fd);
    });
    int fd = ConnectTcp("127.0.0.1", port, 2000);
    FILE* file = std::fopen(out.c_str(), "wb");
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (got <= 0) {
            break;
        }
        std::fwrite(buffer.data(), 1, static_cast<size_t>(got), file);
    }
    std::fclose(file);
    double seconds = Seconds(start);
    sender.join();
    ::close(fd);
    ::close(listener);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    int mib = 32;
    int rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--mib") == 0) {
            mib = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    fs::path folder = fs::temp_directory_path() / ("sd-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder / "card/20141108");
    std::vector<char> bytes(static_cast<size_t>(mib) * 1024 * 1024);
    std::mt19937 random(7);
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    std::ofstream(folder / "card/20141108" / kName, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

    sim::SimContext context;
    context.configDir = folder;
    nlohmann::json config = {{"id", kId}, {"port", 0}, {"sd_folder", "card"}};
    auto camera =
        sim::SimCamera::Start(config, context, [](const nlohmann::json&) { return nullptr; });
    if (!camera) {
        std::fprintf(stderr, "sd_bench: the simulated camera did not start\n");
        return 1;
    }
    auto record = NewDeviceInfo();
    record->SetUrl("ssp://127.0.0.1:" + std::to_string(camera->Port()));
    record->SetId(kId);
    record->SetUser("admin");
    record->SetPassword("admin");
    NoticeQueue notices;
    CXOMPDeviceOper channel;
    channel.SetOwner(&notices);
    channel.SetMode(CXOMPDeviceOper::kModeSdRecords);
    if (channel.Open(*record) != 1) {
        std::fprintf(stderr, "sd_bench: no login\n");
        return 1;
    }

    double bestSd = 1e9;
    double bestPlain = 1e9;
    for (int round = 0; round < rounds; ++round) {
        fs::path out = folder / "download.264";
        auto start = Clock::now();
        if (!channel.BeginSdDownload(out, kName)) {
            std::fprintf(stderr, "sd_bench: the download did not start\n");
            return 1;
        }
        Notice notice;
        if (!notices.WaitFor(notice::kSdDownloadDone, notice, 60000)) {
            std::fprintf(stderr, "sd_bench: the download did not finish\n");
            return 1;
        }
        bestSd = std::min(bestSd, Seconds(start));
        if (fs::file_size(out) != bytes.size()) {
            std::fprintf(stderr, "sd_bench: the download has the wrong size\n");
            return 1;
        }
        bestPlain = std::min(bestPlain, PlainCopySeconds(bytes, folder / "plain.264"));
    }
    channel.Close();
    camera->Stop();
    fs::remove_all(folder);

    double size = static_cast<double>(bytes.size()) / (1024.0 * 1024.0);
    std::printf("sd_bench: %d MiB, best of %d rounds\n", mib, rounds);
    std::printf("  SD download (command channel): %8.1f MiB/s  (%.3f s)\n", size / bestSd, bestSd);
    std::printf("  plain loopback copy (reference): %8.1f MiB/s  (%.3f s)\n", size / bestPlain,
                bestPlain);
    std::printf("  ratio SD / reference: %.2f of the reference's speed\n", bestPlain / bestSd);
    return 0;
}
