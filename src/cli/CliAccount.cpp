// orbisight-cli account login|list|register|bind|unbind: the account
// session from the command line. Server addresses and ports come from
// "CameraClient.ini" in the data folder (--data-dir, else the usual one).

#include <cstdio>
#include <iostream>
#include <memory>
#include <set>

#include <nlohmann/json.hpp>

#include "account/AccountDialogChecks.h"
#include "account/CXOMPWorker.h"
#include "cli/CliArgs.h"
#include "lan/LanListener.h"
#include "platform/Clock.h"
#include "platform/Notice.h"

namespace orbisight::cli {
namespace {

using nlohmann::json;

int AccountUsage() {
    std::fprintf(stderr,
                 "usage: orbisight-cli account COMMAND --user U --password P [--data-dir DIR]\n"
                 "                                   [--timeout-ms MS]\n"
                 "  login                       log in, print the user, log out\n"
                 "  list                        log in, wait for the complete lists, print them\n"
                 "  register [--nickname N] [--email E]\n"
                 "                              create the account\n"
                 "  bind --id DEVICE            bind a camera to the account\n"
                 "  unbind --id DEVICE          unbind a camera from the account\n"
                 "bind and unbind also tell a camera on the LAN (\"VidxSetInfo\"): they\n"
                 "search the LAN first and wait up to --lan-seconds N (default 2, 0: no\n"
                 "LAN step) for the camera to answer.\n");
    return kExitUsage;
}

int Fail(int code, const std::string& text) {
    std::fprintf(stderr, "orbisight-cli: %s\n", text.c_str());
    return code;
}

void Print(const json& value) {
    std::cout << value.dump(2) << std::endl;
}

std::string Where(const CXOMPWorker& worker, bool login) {
    const AccountSettings& s = worker.Settings();
    return login ? s.loginHosts[0] + ":" + std::to_string(s.loginPort)
                 : s.registerHosts[0] + ":" + std::to_string(s.registerPort);
}

// Logs in and waits for the answer. Returns kExitOk or the exit code.
int Login(CXOMPWorker& worker, NoticeQueue& notices, const std::string& user,
          const std::string& password, int timeoutMs) {
    worker.StoreCredentials(user, password);
    if (worker.StartLogin() != 1) {
        return Fail(kExitNoConnection, "cannot connect to the login server " + Where(worker, true));
    }
    Notice notice;
    while (notices.WaitFor(notice::kAccountSession, notice, timeoutMs)) {
        if (notice.wParam != CXOMPWorker::kLoginResult) {
            continue;
        }
        switch (notice.lParam) {
            case CXOMPWorker::kLoginAccepted:
                return kExitOk;
            case CXOMPWorker::kLoginRefused:
                return Fail(kExitNoLogin, "login refused: wrong user name or password");
            default:
                if (worker.LoginAttempt() >= CXOMPWorker::kLoginAttempts) {
                    return Fail(kExitNoConnection,
                                "the login server " + Where(worker, true) + " did not answer");
                }
        }
    }
    return Fail(kExitNoConnection,
                "no answer to the login within " + std::to_string(timeoutMs) + " ms");
}

json UserJson(const CXOMPWorker& worker, const std::string& user) {
    auto info = worker.CurrentUser();
    return {{"name", info ? std::string(info->UserName()) : user},
            {"display_name", info ? std::string(info->DisplayName()) : ""},
            {"type", info ? info->accountType : 0}};
}

json DeviceJson(const DeviceInfo& record) {
    return {{"id", std::string(record.Id())},
            {"name", record.DisplayName()},
            {"status", record.status},
            {"is_group", record.isGroup != 0},
            {"group", record.groupNumber},
            {"parent", record.parentGroup},
            {"url", std::string(record.Url())},
            {"type", record.type},
            {"hversion", std::string(record.HardwareVersion())},
            {"sversion", std::string(record.SoftwareVersion())},
            {"tips", std::string(record.Tips())}};
}

// A register-server failure: no reply at all means no connection.
int ManagementFailure(const CXOMPWorker& worker, const std::string& what) {
    std::string status = worker.LastStatusText();
    if (status.empty()) {
        return Fail(kExitNoConnection,
                    what + ": no answer from the register server " + Where(worker, false));
    }
    return Fail(kExitNoLogin, what + ": refused by the server (" + status + ")");
}

// The LAN side of bind and unbind: as the client's listener does, a search
// fills the LAN list that the session's "VidxSetInfo" step looks the camera
// up in.
class LanStep {
  public:
    static constexpr long kDefaultSeconds = 2;
    static constexpr long kMaxSeconds = 600;

    // Starts the search (nothing when seconds is 0).
    LanStep(CXOMPWorker& worker, long seconds) : seconds_(seconds) {
        if (seconds_ == 0) {
            return;
        }
        LanPorts ports;
        ports.setPort = worker.Settings().deviceSetPort;
        ports.getPort = worker.Settings().deviceGetPort;
        // The command line sends everything to the configured port.
        ports.fixedSetPort = ports.setPort;
        listener_ = std::make_unique<LanListener>(ports);
        if (!listener_->Start()) {
            std::fprintf(stderr,
                         "orbisight-cli: cannot listen for LAN answers on UDP port %u; the "
                         "camera is not told on the LAN\n",
                         ports.getPort);
            listener_.reset();
            return;
        }
        worker.SetLanBlockLookup(MakeBasicBlockLookup(listener_->List()));
        deadline_ = TickCountMs() + static_cast<uint64_t>(seconds_) * 1000;
    }
    ~LanStep() {
        if (listener_) {
            listener_->Stop();
        }
    }

    // Waits until the camera answered the search or the time is up; true
    // when the bind or unbind will reach it on the LAN.
    bool WaitFor(const std::string& id) const {
        if (!listener_) {
            return false;
        }
        while (!listener_->List()->Find(id)) {
            if (TickCountMs() >= deadline_) {
                return false;
            }
            SleepMs(20);
        }
        return true;
    }

  private:
    long seconds_;
    std::unique_ptr<LanListener> listener_;
    uint64_t deadline_ = 0;
};

}  // namespace

int RunAccount(const std::vector<std::string>& words) {
    if (words.empty()) {
        return AccountUsage();
    }
    std::string command = words[0];
    std::string error;
    auto args = CliArgs::Parse({words.begin() + 1, words.end()}, {}, error);
    if (!args) {
        Fail(kExitUsage, error);
        return AccountUsage();
    }
    const std::set<std::string> known = {"user",     "password", "data-dir", "timeout-ms",
                                         "nickname", "email",    "id",       "lan-seconds"};
    for (const auto& name : args->Unknown(known)) {
        Fail(kExitUsage, "unknown option --" + name);
        return AccountUsage();
    }
    std::string user = args->Get("user");
    std::string password = args->Get("password");
    auto timeout = args->GetNumber("timeout-ms", 60000);
    if (!timeout || *timeout <= 0 || *timeout > 3600000) {
        return Fail(kExitUsage, "--timeout-ms needs a number of milliseconds");
    }
    int timeoutMs = static_cast<int>(*timeout);
    if (user.empty() || password.empty()) {
        Fail(kExitUsage, "--user and --password are required");
        return AccountUsage();
    }
    bool needsId = command == "bind" || command == "unbind";
    if (needsId && args->Get("id").empty()) {
        return Fail(kExitUsage, command + " needs --id DEVICE");
    }
    if (command != "login" && command != "list" && command != "register" && !needsId) {
        Fail(kExitUsage, "unknown account command \"" + command + "\"");
        return AccountUsage();
    }

    auto lanSeconds = args->GetNumber("lan-seconds", LanStep::kDefaultSeconds);
    if (!lanSeconds || *lanSeconds < 0 || *lanSeconds > LanStep::kMaxSeconds) {
        return Fail(kExitUsage, "--lan-seconds needs a whole number from 0 to " +
                                    std::to_string(LanStep::kMaxSeconds));
    }

    NoticeQueue notices;
    CXOMPWorkerOptions options;
    options.dataFolder = args->Get("data-dir");
    auto worker = std::make_unique<CXOMPWorker>(&notices, options);
    // The search runs while the session logs in.
    std::unique_ptr<LanStep> lan;
    if (needsId) {
        lan = std::make_unique<LanStep>(*worker, *lanSeconds);
    }

    if (command == "register") {
        RegistrationInput input{user, args->Get("nickname"), password, password,
                                args->Get("email")};
        if (std::string problem = CheckRegistration(input); !problem.empty()) {
            return Fail(kExitUsage, problem);
        }
        if (worker->RegisterUser(input.email, input.userName, input.password, input.nickname) !=
            1) {
            return ManagementFailure(*worker, account_text::kRegisterFailed);
        }
        Print({{"registered", input.userName}});
        return kExitOk;
    }
    if (command == "unbind") {
        bool onLan = lan->WaitFor(args->Get("id"));
        if (worker->UnbindDevice(user, args->Get("id"), password) != 1) {
            return ManagementFailure(*worker, account_text::kUnbindFailed);
        }
        Print({{"unbound", args->Get("id")}, {"lan", onLan}});
        return kExitOk;
    }

    if (int code = Login(*worker, notices, user, password, timeoutMs); code != kExitOk) {
        return code;
    }
    int result = kExitOk;
    if (command == "login") {
        // The user information follows the login answer.
        for (int waited = 0; !worker->UserInfoReceived() && waited < timeoutMs; waited += 10) {
            SleepMs(10);
        }
        Print(
            {{"user", UserJson(*worker, user)}, {"heartbeat_sec", worker->HeartbeatIntervalSec()}});
    } else if (command == "list") {
        if (!worker->WaitListsComplete(timeoutMs)) {
            result = Fail(kExitNoConnection, "the device lists did not complete within " +
                                                 std::to_string(timeoutMs) + " ms");
        } else {
            json devices = json::array();
            for (const auto& record : worker->SnapshotList(DeviceListKind::kMy)) {
                devices.push_back(DeviceJson(record));
            }
            Print({{"user", UserJson(*worker, user)}, {"devices", devices}});
        }
    } else if (command == "bind") {
        bool onLan = lan->WaitFor(args->Get("id"));
        if (worker->BindDevice("", args->Get("id"), "") != 1) {
            result = ManagementFailure(*worker, account_text::kBindFailed);
        } else {
            Print({{"bound", args->Get("id")}, {"lan", onLan}});
        }
    }
    worker->Logout();
    return result;
}

}  // namespace orbisight::cli
