// orbisight-sim: simulated cameras and services on loopback, for the demo,
// the integration tests and the benchmarks.
//
//   orbisight-sim [--config FILE]
//
// Prints one JSON line per service started ({"kind", "id", "port"}), then
// serves until SIGINT or SIGTERM. Lines on standard input are commands for
// the services ("alarm ID on", ...), published to all of them.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "sim/account/AccountSimulator.h"
#include "sim/camera/CameraSimulator.h"
#include "sim/common/SimService.h"

using namespace orbisight::sim;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: orbisight-sim [--config FILE]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string configPath = ORBISIGHT_SIM_DEFAULT_CONFIG;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--config" && i + 1 < argc) {
            configPath = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else {
            return Usage();
        }
    }

    nlohmann::json config;
    {
        std::ifstream in(configPath);
        if (!in) {
            std::fprintf(stderr, "orbisight-sim: cannot open %s\n", configPath.c_str());
            return 1;
        }
        try {
            in >> config;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "orbisight-sim: %s is not valid JSON: %s\n", configPath.c_str(),
                         e.what());
            return 1;
        }
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

    SimServices services;
    try {
        for (auto& service : StartCameraSimulators(config, context)) {
            services.push_back(std::move(service));
        }
        for (auto& service : StartAccountSimulator(config, context)) {
            services.push_back(std::move(service));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orbisight-sim: %s\n", e.what());
        return 1;
    }

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
    for (auto& service : services) {
        service->Stop();
    }
    services.clear();
    return 0;
}
