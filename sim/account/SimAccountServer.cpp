#include "sim/account/SimAccountServer.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "account/AccountFraming.h"
#include "account/CXOMPPackageParser.h"
#include "platform/Socket.h"
#include "platform/Text.h"
#include "sim/account/SimLoginConnection.h"

namespace orbisight::sim {
namespace {

using nlohmann::json;

int PortOption(const json& account, const char* key, int fallback) {
    auto it = account.find(key);
    if (it == account.end()) {
        return fallback;
    }
    if (!it->is_number_integer() || it->get<int>() < 0 || it->get<int>() > 65535) {
        throw std::runtime_error(std::string("account: bad \"") + key + "\" " + it->dump());
    }
    return it->get<int>();
}

std::string Argument(const SimEvent& event) {
    if (event.data.is_object() && event.data.contains("args") && event.data["args"].is_string()) {
        return std::string(Trim(event.data["args"].get<std::string>()));
    }
    return {};
}

}  // namespace

std::optional<AccountFault> ParseAccountFault(std::string_view text) {
    if (text == "none") {
        return AccountFault::kNone;
    }
    if (text == "drop") {
        return AccountFault::kDrop;
    }
    if (text == "stall") {
        return AccountFault::kStall;
    }
    if (text == "bad-length") {
        return AccountFault::kBadLength;
    }
    return std::nullopt;
}

const char* AccountFaultName(AccountFault fault) {
    switch (fault) {
        case AccountFault::kDrop:
            return "drop";
        case AccountFault::kStall:
            return "stall";
        case AccountFault::kBadLength:
            return "bad-length";
        case AccountFault::kNone:
            break;
    }
    return "none";
}

std::unique_ptr<SimAccountServer> SimAccountServer::Start(const json& account,
                                                          SimContext& context) {
    if (!account.is_object()) {
        throw std::runtime_error("\"account\" is not an object");
    }
    SimAccountOptions options;
    options.loginPort = PortOption(account, "login_port", options.loginPort);
    options.registerPort = PortOption(account, "register_port", options.registerPort);
    options.expire = account.value("expire", options.expire);
    options.pushIntervalMs = account.value("push_interval_ms", options.pushIntervalMs);
    if (auto fault = account.find("fault"); fault != account.end()) {
        auto mode =
            fault->is_string() ? ParseAccountFault(fault->get<std::string>()) : std::nullopt;
        if (!mode) {
            throw std::runtime_error("account: unknown \"fault\" " + fault->dump());
        }
        options.fault = *mode;
    }

    auto server = std::make_unique<SimAccountServer>(options, context);
    // A store file, when configured and present, holds the data of earlier
    // runs (registrations, binds, generated devices written out); otherwise
    // the configuration does.
    json data = account;
    if (auto store = account.find("store"); store != account.end() && store->is_string()) {
        std::filesystem::path file = context.configDir / store->get<std::string>();
        server->store_.SetStoreFile(file);
        if (std::ifstream in(file); in) {
            try {
                in >> data;
            } catch (const std::exception& e) {
                throw std::runtime_error("account store " + file.string() + ": " + e.what());
            }
        }
    }
    server->store_.Load(data, context.cameraPorts);
    server->Listen();
    server->Subscribe(context);
    return server;
}

SimAccountServer::SimAccountServer(SimAccountOptions options, SimContext&)
    : options_(options), fault_(options.fault) {}

SimAccountServer::~SimAccountServer() {
    Stop();
}

void SimAccountServer::Listen() {
    bool listening = login_.Start(options_.loginPort, "sim/acct-login",
                                  [this](int socket) -> std::unique_ptr<SimTcpServer::Connection> {
                                      return std::make_unique<SimLoginConnection>(socket, *this);
                                  }) &&
                     register_.Start(options_.registerPort, "sim/acct-reg",
                                     [this](int socket) { return ServeRegister(socket); });
    if (!listening) {
        Stop();
        throw std::runtime_error(
            "account: cannot listen on 127.0.0.1:" + std::to_string(options_.loginPort) + " and " +
            std::to_string(options_.registerPort));
    }
    if (options_.pushIntervalMs > 0) {
        pushTimer_.Start("sim/acct-push", [this](AutoResetEvent& stop) { PushTimerLoop(stop); });
    }
}

void SimAccountServer::Subscribe(SimContext& context) {
    events_.Attach(context.events, this, [](SimAccountServer& server, const SimEvent& event) {
        std::string argument = Argument(event);
        if (event.kind == "status") {
            server.PushStatus(event.deviceId, ParseDecimal(argument));
        } else if (event.kind == "alarm") {
            bool cleared = argument == "off" ||
                           (event.data.is_object() && event.data.contains("on") &&
                            event.data["on"].is_boolean() && !event.data["on"].get<bool>());
            if (!cleared) {
                server.PushDemoAlarm(event.deviceId);
            }
        } else if (event.kind == "devinfo") {
            server.PushDevInfo(event.deviceId);
        } else if (event.kind == "account-fault") {
            // "account-fault MODE": the mode arrives in the ID position.
            if (event.deviceId == "drop-now") {
                server.DropConnections();
            } else if (auto mode = ParseAccountFault(event.deviceId)) {
                server.SetFault(*mode);
            } else {
                std::fprintf(stderr, "orbisight-sim: unknown account fault \"%s\"\n",
                             event.deviceId.c_str());
            }
        }
    });
}

std::vector<SimServiceInfo> SimAccountServer::Describe() const {
    return {{"account-login", "login", LoginPort()},
            {"account-register", "register", RegisterPort()}};
}

void SimAccountServer::Stop() {
    events_.Detach();
    stopping_.store(true);
    int client = registerClient_.load();
    if (client >= 0) {
        ShutdownSocket(client);
    }
    pushTimer_.Stop(2000);
    login_.Stop();  // each connection is dropped and joined
    register_.Stop();
}

void SimAccountServer::DropConnections() {
    login_.DropConnections();
}

void SimAccountServer::Counted(const std::string& what) {
    std::lock_guard lock(countsMutex_);
    ++counts_[what];
}

int SimAccountServer::Count(const std::string& what) const {
    std::lock_guard lock(countsMutex_);
    auto it = counts_.find(what);
    return it == counts_.end() ? 0 : it->second;
}

bool SimAccountServer::Send(int socket, CXOMPPackageBuilder& message) {
    AccountFault fault = fault_.load();
    if (fault == AccountFault::kStall) {
        return false;
    }
    std::string bytes(message.getBuffer(), static_cast<size_t>(message.getDataLen()));
    if (bytes.empty()) {
        return false;
    }
    if (fault == AccountFault::kBadLength) {
        bytes.replace(0, 4, "zz1g");
    }
    return SendAll(5000, static_cast<int>(bytes.size()), socket, bytes.data()) ==
           static_cast<int>(bytes.size());
}

std::unique_ptr<SimTcpServer::Connection> SimAccountServer::ServeRegister(int socket) {
    registerClient_.store(socket);
    if (!stopping_.load()) {
        HandleRegister(socket);
    }
    registerClient_.store(-1);
    CloseSocket(socket);
    return nullptr;
}

void SimAccountServer::HandleRegister(int socket) {
    AccountReadTimeouts timeouts;
    timeouts.prefixMs = timeouts.headerMs = timeouts.bodyMs = 3000;
    AccountMessage message;
    std::string problem;
    if (ReadAccountMessage(socket, timeouts, message, &problem) != AccountReadResult::kMessage) {
        if (!stopping_.load()) {
            ReportViolation("register connection: " + problem);
        }
        return;
    }
    CXOMPPackageParser request;
    request.parse(message.header);
    std::string command(request.command());
    Counted(command + " " + std::string(request.resourceName()));
    if (fault_.load() == AccountFault::kDrop) {
        return;
    }
    if (request.resourceName() != "reg-s") {
        ReportViolation("register request with resource \"" + std::string(request.resourceName()) +
                        "\"");
    }
    auto text = [&](const char* name) { return std::string(request.section(name)); };
    auto optional = [&](const char* name) -> std::optional<std::string> {
        bool found = false;
        std::string value(request.section(name, &found));
        return found ? std::optional<std::string>(value) : std::nullopt;
    };
    SimOutcome outcome;
    if (command == "register_user") {
        outcome =
            store_.Register(text("username"), text("password"), text("nickname"), text("email"));
    } else if (command == "modify_user") {
        outcome = store_.ModifyUser(text("username"), text("password"), optional("nickname_new"),
                                    optional("password_new"));
    } else if (command == "modify_device") {
        outcome = store_.ModifyDevice(text("username"), text("password"), text("hid"), text("name"),
                                      ParseDecimal(text("type")));
    } else if (command == "bind") {
        outcome = store_.Bind(text("username"), text("password"), text("hid"));
    } else if (command == "unbind") {
        outcome = store_.Unbind(text("username"), text("password"), text("hid"));
    } else {
        ReportViolation("unknown register request \"" + command + "\"");
        outcome = {400, "Bad request"};
    }
    CXOMPPackageBuilder reply;
    reply.setStatus(outcome.code, outcome.description);
    Send(socket, reply);
}

void SimAccountServer::PushToOwner(const std::string& owner, CXOMPPackageBuilder& message) {
    if (owner.empty()) {
        return;
    }
    login_.ForEach([&](SimTcpServer::Connection& connection) {
        auto& session = static_cast<SimLoginConnection&>(connection);
        if (session.User() == owner) {
            session.Push(message);
        }
    });
}

void SimAccountServer::PushStatus(const std::string& deviceId, int status) {
    std::string owner = store_.SetStatus(deviceId, status);
    auto device = store_.Device(deviceId);
    CXOMPPackageBuilder message;
    message.setHeader("notify dev-status", 1);
    message.addSection("device-id", deviceId);
    message.addSection("status", std::to_string(status));
    message.addSection("data-url", device ? device->url : "");
    PushToOwner(owner, message);
}

void SimAccountServer::PushAlarm(const std::string& deviceId, const std::string& title,
                                 const std::string& text) {
    auto device = store_.Device(deviceId);
    if (!device) {
        return;
    }
    CXOMPPackageBuilder message;
    message.setHeader("notify alarm", 1);
    message.addSection("device-id", deviceId);
    message.addSection("title", title);
    message.addSection("message", text);
    PushToOwner(device->owner, message);
}

SimAccountServer::DemoAlarm SimAccountServer::DemoAlarmAt(size_t turn) {
    static const DemoAlarm kAlarms[] = {
        {"Motion", "Bewegung erkannt \xE2\x80\x93 Einfahrt"},
        {"D\xC3\xA9tection sonore", "Bruit d\xC3\xA9tect\xC3\xA9 pr\xC3\xA8s de la porte"},
        {"PIR",
         "\xE4\xBA\xBA\xE4\xBD\x93\xE6\x84\x9F\xE5\xBA\x94\xE6\x8A\xA5\xE8"
         "\xAD\xA6\xEF\xBC\x9A\xE8\xB5\xB0\xE5\xBB\x8A"},
        {"Door",
         "\xD0\x94\xD0\xB2\xD0\xB5\xD1\x80\xD1\x8C \xD0\xBE\xD1\x82\xD0\xBA"
         "\xD1\x80\xD1\x8B\xD1\x82\xD0\xB0"},
    };
    return kAlarms[turn % std::size(kAlarms)];
}

void SimAccountServer::PushDemoAlarm(const std::string& deviceId) {
    DemoAlarm alarm = DemoAlarmAt(demoAlarmTurn_.fetch_add(1));
    PushAlarm(deviceId, alarm.title, alarm.content);
}

void SimAccountServer::PushDevInfo(const std::string& deviceId) {
    auto device = store_.Device(deviceId);
    if (!device) {
        return;
    }
    CXOMPPackageBuilder message;
    message.setHeader("notify dev-info", 1);
    message.addSection("device-id", deviceId);
    PushToOwner(device->owner, message);
}

void SimAccountServer::PushTimerLoop(AutoResetEvent& stop) {
    // Each tick flips one fictitious camera between off-line (0) and status
    // 1; every fifth tick a simulated camera raises an alarm.
    size_t tick = 0;
    while (!stop.Wait(options_.pushIntervalMs)) {
        ++tick;
        std::vector<std::string> ids = store_.AllDeviceIds();
        if (ids.empty()) {
            continue;
        }
        std::vector<SimDevice> fictitious;
        std::vector<SimDevice> cameras;
        for (const auto& id : ids) {
            if (auto device = store_.Device(id); device && !device->owner.empty()) {
                (device->camera ? cameras : fictitious).push_back(*device);
            }
        }
        if (!fictitious.empty()) {
            const SimDevice& device = fictitious[tick % fictitious.size()];
            PushStatus(device.id, device.status == 0 ? 1 : 0);
        }
        if (tick % 5 == 0 && !cameras.empty()) {
            PushDemoAlarm(cameras[(tick / 5) % cameras.size()].id);
        }
    }
}

}  // namespace orbisight::sim
