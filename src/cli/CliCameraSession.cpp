#include "cli/CliCameraSession.h"

#include <chrono>
#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "account/DeviceInfo.h"

namespace orbisight::cli {

const std::set<std::string>& CameraOptionNames() {
    static const std::set<std::string> names = {"address", "user", "password", "id", "timeout-ms"};
    return names;
}

bool ReadCameraOptions(const CliArgs& args, CameraOptions& options) {
    options.address = args.Get("address");
    options.user = args.Get("user", options.user);
    options.password = args.Get("password");
    options.id = args.Get("id");
    if (options.address.empty()) {
        std::fprintf(stderr, "orbisight-cli: --address is required (e.g. ssp://127.0.0.1:6001)\n");
        return false;
    }
    if (options.id.empty()) {
        std::fprintf(stderr, "orbisight-cli: --id is required (the camera's device ID)\n");
        return false;
    }
    auto timeout = args.GetNumber("timeout-ms", options.timeoutMs);
    if (!timeout || *timeout < 100 || *timeout > 600000) {
        std::fprintf(stderr, "orbisight-cli: --timeout-ms must be a number from 100 to 600000\n");
        return false;
    }
    options.timeoutMs = static_cast<int>(*timeout);
    return true;
}

CliCameraSession::CliCameraSession(const CameraOptions& options, int mode) : options_(options) {
    CXOMPDeviceOper::Timings timings;
    timings.replyTimeoutMs = options.timeoutMs;
    timings.connectTimeoutMs = std::min(timings.connectTimeoutMs, options.timeoutMs);
    channel_.SetTimings(timings);
    channel_.SetMode(mode);
    channel_.SetOwner(&notices_);
}

CliCameraSession::~CliCameraSession() {
    channel_.Close();
}

int CliCameraSession::Open() {
    auto record = NewDeviceInfo();
    record->SetUrl(options_.address);
    record->SetUser(options_.user);
    record->SetPassword(options_.password);
    record->SetId(options_.id);
    int opened = channel_.Open(*record);
    const CommandAddress& address = channel_.Address();
    std::string where = address.host.empty() ? "127.0.0.1" : address.host;
    where += ":" + std::to_string(address.port);
    if (opened != 1) {
        if (channel_.LastLoginResult() == CXOMPDeviceOper::kLoginNoConnection) {
            if (!address.HasPort()) {
                std::fprintf(stderr, "orbisight-cli: \"%s\" has no usable host:port\n",
                             options_.address.c_str());
            } else {
                std::fprintf(stderr, "orbisight-cli: cannot connect to %s\n", where.c_str());
            }
            return kExitNoConnection;
        }
        std::fprintf(stderr, "orbisight-cli: the camera at %s did not answer the login\n",
                     where.c_str());
        return kExitNoLogin;
    }
    if (channel_.LoginRefused()) {
        Notice notice;
        notices_.WaitFor(notice::kReplyFailed, notice, 0);
        std::fprintf(stderr, "orbisight-cli: login refused%s%s\n", notice.text.empty() ? "" : ": ",
                     notice.text.c_str());
        return kExitNoLogin;
    }
    return kExitOk;
}

int CliCameraSession::Wait(std::initializer_list<uint32_t> wanted, Notice& out,
                           const std::function<bool()>& progress) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(options_.timeoutMs);
    for (;;) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            std::fprintf(stderr, "orbisight-cli: no answer from the camera within %d ms\n",
                         options_.timeoutMs);
            return kExitNoLogin;
        }
        Notice notice;
        if (!notices_.Wait(notice, static_cast<int>(std::min<long long>(left, 200)))) {
            if (progress && progress()) {
                deadline = Clock::now() + std::chrono::milliseconds(options_.timeoutMs);
            }
            continue;
        }
        for (uint32_t message : wanted) {
            if (notice.message == message) {
                out = std::move(notice);
                return kExitOk;
            }
        }
        if (notice.message == notice::kReplyFailed) {
            lastError_ = notice.text;
            if (channel_.LoginRefused()) {
                std::fprintf(stderr, "orbisight-cli: login refused%s%s\n",
                             notice.text.empty() ? "" : ": ", notice.text.c_str());
                return kExitNoLogin;
            }
            return kExitCameraRefused;
        }
    }
}

void PrintJson(const nlohmann::json& value) {
    std::cout << value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
}

void PrintJson(const nlohmann::ordered_json& value) {
    std::cout << value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << std::endl;
}

}  // namespace orbisight::cli
