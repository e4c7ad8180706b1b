// orbisight-sim: simulated cameras and services on loopback, for the demo,
// the integration tests and the benchmarks.
//
//   orbisight-sim [--config FILE] [--cloud-host 127.x.y.z]
//
// Without --config it runs the demo's configuration: the installed copy
// (share/orbisight/sim/demo.json) or the source tree's.
//
// Prints one JSON line per service started ({"kind", "id", "port"}), then
// serves until SIGINT or SIGTERM. Lines on standard input are commands for
// the services ("alarm ID on", ...), published to all of them.
//
// The cameras' clips are encoded in the background from the start and kept
// in $ORBISIGHT_SIM_CACHE (else $XDG_CACHE_HOME/orbisight-sim, else
// ~/.cache/orbisight-sim; "off" keeps them in memory only).

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/ProgramFiles.h"
#include "platform/WorkerThread.h"
#include "sim/account/AccountSimulator.h"
#include "sim/camera/CameraSimulator.h"
#include "sim/camera/SimCamera.h"
#include "sim/cloud/SimCloudServer.h"
#include "sim/common/SimService.h"
#include "sim/p2p/PeerSimulator.h"
#include "sim/stream/ClipCache.h"

using namespace orbisight::sim;

namespace {

// The demo's configuration: the installed copy (share/orbisight/sim) when
// this program is installed, else the one in the source tree.
std::string DefaultConfig() {
    std::filesystem::path program = orbisight::ProgramFolder();
    std::filesystem::path installed;
    if (!program.empty()) {
        installed = orbisight::InstalledDataFolder(program) / "sim" / "demo.json";
    }
    return orbisight::FirstExisting({installed, ORBISIGHT_SIM_DEFAULT_CONFIG}).string();
}

int Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: orbisight-sim [--config FILE] [--cloud-host 127.x.y.z]\n"
                 "\n"
                 "Simulated cameras, account service, cloud storage and peer-to-peer\n"
                 "rendezvous on loopback. Prints one JSON line per service, then serves\n"
                 "until SIGINT or SIGTERM; lines on standard input are commands for the\n"
                 "services (\"alarm ID on\", ...).\n"
                 "\n"
                 "  --config FILE          the configuration (default: the demo's,\n"
                 "                         %s)\n"
                 "  --cloud-host ADDRESS   the cloud storage server's loopback address\n"
                 "  -h, --help             this text\n",
                 DefaultConfig().c_str());
    return 2;
}

// Merges `from` into `into`: arrays are concatenated, objects merged key by
// key, anything else replaced.
void Merge(nlohmann::json& into, const nlohmann::json& from) {
    for (auto it = from.begin(); it != from.end(); ++it) {
        auto& target = into[it.key()];
        if (target.is_array() && it->is_array()) {
            target.insert(target.end(), it->begin(), it->end());
        } else if (target.is_object() && it->is_object()) {
            Merge(target, *it);
        } else {
            target = *it;
        }
    }
}

// Reads a configuration file. "include": ["other.json", ...] names files
// (relative to the including file) whose contents are merged in first, so
// the demo keeps cameras and account service in files of their own.
bool LoadConfig(const std::filesystem::path& path, nlohmann::json& out, int depth = 0) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "orbisight-sim: cannot open %s\n", path.c_str());
        return false;
    }
    nlohmann::json config;
    try {
        in >> config;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orbisight-sim: %s is not valid JSON: %s\n", path.c_str(), e.what());
        return false;
    }
    if (!config.is_object()) {
        std::fprintf(stderr, "orbisight-sim: %s does not hold a JSON object\n", path.c_str());
        return false;
    }
    out = nlohmann::json::object();
    if (auto includes = config.find("include"); includes != config.end()) {
        if (depth > 8 || !includes->is_array()) {
            std::fprintf(stderr, "orbisight-sim: bad \"include\" in %s\n", path.c_str());
            return false;
        }
        for (const auto& name : *includes) {
            nlohmann::json part;
            if (!name.is_string() ||
                !LoadConfig(path.parent_path() / name.get<std::string>(), part, depth + 1)) {
                return false;
            }
            Merge(out, part);
        }
        config.erase("include");
    }
    Merge(out, config);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string configPath;
    std::string cloudHost;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--config" && i + 1 < argc) {
            configPath = argv[++i];
        } else if (arg == "--cloud-host" && i + 1 < argc) {
            // The cloud storage port is fixed (5557): runs side by side
            // give each server a loopback address of its own.
            cloudHost = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else {
            return Usage(stderr);
        }
    }
    if (configPath.empty()) {
        configPath = DefaultConfig();
    }

    nlohmann::json config;
    if (!LoadConfig(configPath, config)) {
        return 1;
    }
    if (!cloudHost.empty() && config.contains("cloud") && config["cloud"].is_object()) {
        config["cloud"]["host"] = cloudHost;
    }

    // Block the stop signals before any thread starts, so that only the
    // main thread receives them (in sigwait below).
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    SimContext context;
    context.configFile = std::filesystem::absolute(configPath);
    context.configDir = context.configFile.parent_path();

    ClipCache::Instance().SetDiskFolder(ClipStore::FolderFromEnvironment());
    SimServices services;
    try {
        for (auto& service : StartCameraSimulators(config, context)) {
            services.push_back(std::move(service));
        }
        for (auto& service : StartPeerSimulators(config, context, services)) {
            services.push_back(std::move(service));
        }
        for (auto& service : StartAccountSimulator(config, context)) {
            services.push_back(std::move(service));
        }
        for (auto& service : StartCloudSimulator(config, context)) {
            services.push_back(std::move(service));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orbisight-sim: %s\n", e.what());
        return 1;
    }

    // Every camera's clips, the small ones first, while clients connect;
    // those on disk are read right here.
    auto started = std::chrono::steady_clock::now();
    for (const auto& service : services) {
        if (auto* camera = dynamic_cast<SimCamera*>(service.get());
            camera != nullptr && camera->Media() != nullptr) {
            camera->Media()->Prefetch();
        }
    }
    // Says on stderr when the last clip is there (start-up measurements).
    orbisight::WorkerThread clipWatch;
    clipWatch.Start("sim/clipwatch", [started](orbisight::AutoResetEvent& stop) {
        do {
            ClipCache::Counts counts = ClipCache::Instance().Read();
            if (counts.queued == 0 && counts.encoding == 0) {
                double seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - started)
                        .count();
                std::fprintf(stderr,
                             "orbisight-sim: clips ready after %.1f s (%zu encoded, %zu from "
                             "disk)\n",
                             seconds, counts.encoded, counts.fromDisk);
                return;
            }
        } while (!stop.Wait(100));
    });

    for (const auto& service : services) {
        for (const auto& info : service->Describe()) {
            nlohmann::json line = {{"kind", info.kind}, {"id", info.id}, {"port", info.port}};
            std::cout << line.dump() << std::endl;
        }
    }
    std::cout << nlohmann::json{{"ready", true}}.dump() << std::endl;

    // Commands on standard input; end of input just ends the reader.
    std::thread([&context] {
        std::string line;
        while (std::getline(std::cin, line)) {
            std::istringstream words(line);
            SimEvent event;
            words >> event.kind >> event.deviceId;
            std::string rest;
            std::getline(words, rest);
            event.data = {{"args", rest}};
            if (!event.kind.empty()) {
                context.events.Publish(event);
            }
        }
    }).detach();

    int signal = 0;
    sigwait(&stopSignals, &signal);
    clipWatch.Stop(1000);
    for (auto& service : services) {
        service->Stop();
    }
    services.clear();
    return 0;
}
