#include "sim/camera/SimCamera.h"

#include <cstdio>
#include <stdexcept>

#include "platform/Socket.h"
#include "platform/Text.h"
#include "sim/camera/SimCameraConnection.h"
#include "sim/camera/SimWebPage.h"

namespace orbisight::sim {
namespace {

// "sim" and the end of the ID, for thread names (15 characters at most).
std::string ShortName(const std::string& id) {
    return "sim" + (id.size() > 4 ? id.substr(id.size() - 4) : id);
}

int PortOf(const nlohmann::json& config, const char* key, int fallback, const std::string& id) {
    auto it = config.find(key);
    if (it == config.end()) {
        return fallback;
    }
    if (!it->is_number_integer() || it->get<int>() < 0 || it->get<int>() > 65535) {
        throw std::runtime_error("camera " + id + ": bad \"" + key + "\" " + it->dump());
    }
    return it->get<int>();
}

}  // namespace

// The event bus keeps its handlers for the life of the process; they reach
// the camera through this link, which Stop() cuts.
SimCamera::SimCamera(const nlohmann::json& config, SimContext& context,
                     const MediaFactory& mediaFactory)
    : state_(config, context.configDir), violations_("camera " + state_.Id()) {
    if (state_.Id().empty()) {
        throw std::runtime_error("a camera entry has no \"id\"");
    }
    if (auto folder = config.find("sd_folder"); folder != config.end() && folder->is_string()) {
        sdCard_ = SimSdCard(context.configDir / folder->get<std::string>());
    }
    if (auto fault = config.find("fault"); fault != config.end()) {
        auto mode = fault->is_string() ? ParseFaultMode(fault->get<std::string>()) : std::nullopt;
        if (!mode) {
            throw std::runtime_error("camera " + Id() + ": unknown \"fault\" " + fault->dump());
        }
        fault_ = *mode;
    }
    if (auto it = config.find("port"); it != config.end()) {
        if (!it->is_number_integer() || it->get<int>() < 0 || it->get<int>() > 65535) {
            throw std::runtime_error("camera " + Id() + ": bad \"port\" " + it->dump());
        }
        port_ = it->get<int>();
    }
    if (auto it = config.find("lan_address"); it != config.end()) {
        if (!it->is_string()) {
            throw std::runtime_error("camera " + Id() + ": bad \"lan_address\" " + it->dump());
        }
        lanConfig_.address = it->get<std::string>();
        lanConfig_.searchPort = PortOf(config, "lan_search_port", lanConfig_.searchPort, Id());
        lanConfig_.answerPort = PortOf(config, "lan_answer_port", lanConfig_.answerPort, Id());
        lanCommandPort_ = PortOf(config, "lan_command_port", lanCommandPort_, Id());
        webPort_ = PortOf(config, "web_port", webPort_, Id());
        // The camera's blocks name the address it is found at.
        DevInfoBlock block = state_.Parameters();
        if (block.WiredIp() == "127.0.0.1") {
            block.SetWiredIp(lanConfig_.address);
            state_.StoreParameters(block);
        }
    }
    media_ = mediaFactory ? mediaFactory(config) : CreateSimCameraMedia(config);

    events_.Attach(context.events, this, [](SimCamera& camera, const SimEvent& event) {
        if (event.deviceId != camera.Id()) {
            return;
        }
        std::string args;
        if (event.data.is_object() && event.data.contains("args") &&
            event.data["args"].is_string()) {
            args = std::string(Trim(event.data["args"].get<std::string>()));
        }
        if (event.kind == "alarm" && camera.Media() != nullptr) {
            camera.Media()->SetAlarm(args == "on");
        } else if (event.kind == "stream-fault" && camera.Media() != nullptr) {
            // A mode name, or a JSON object as in the "stream" configuration.
            nlohmann::json fault = nlohmann::json::parse(args, nullptr, false);
            if (fault.is_discarded() || !fault.is_object()) {
                fault = args;
            }
            if (!camera.Media()->SetStreamFault(fault)) {
                std::fprintf(stderr, "orbisight-sim: unknown stream fault \"%s\"\n", args.c_str());
            }
        } else if (event.kind == "fault") {
            if (auto mode = ParseFaultMode(args)) {
                camera.SetFault(*mode);
            } else {
                std::fprintf(stderr, "orbisight-sim: unknown fault mode \"%s\"\n", args.c_str());
            }
        }
    });
}

std::unique_ptr<SimCamera> SimCamera::Start(const nlohmann::json& config, SimContext& context,
                                            const MediaFactory& mediaFactory) {
    auto camera = std::make_unique<SimCamera>(config, context, mediaFactory);
    SimCamera* raw = camera.get();
    if (!camera->server_.Start(camera->port_, ShortName(camera->Id()) + "/acc",
                               [raw](int socket) { return raw->Accept(socket); })) {
        throw std::runtime_error("camera " + camera->Id() +
                                 ": cannot listen on 127.0.0.1:" + std::to_string(camera->port_));
    }
    context.cameraPorts[camera->Id()] = camera->Port();
    if (!camera->lanConfig_.address.empty()) {
        camera->StartLanSide();
    }
    return camera;
}

SimCamera::~SimCamera() {
    Stop();
}

std::vector<SimServiceInfo> SimCamera::Describe() const {
    return {{"camera", Id(), Port()}};
}

void SimCamera::StartLanSide() {
    const std::string& address = lanConfig_.address;
    auto lan = std::make_unique<SimLanResponder>(*this, lanConfig_);
    if (lan->Start()) {
        lan_ = std::move(lan);
    } else {
        std::fprintf(stderr, "orbisight-sim: camera %s: no LAN answers (%s, port %d)\n",
                     Id().c_str(), address.c_str(), lanConfig_.searchPort);
    }
    if (lanCommandPort_ != 0 &&
        !lanServer_.Start(address, lanCommandPort_, ShortName(Id()) + "/lac",
                          [this](int socket) { return Accept(socket); })) {
        std::fprintf(stderr, "orbisight-sim: camera %s: cannot listen on %s:%d\n", Id().c_str(),
                     address.c_str(), lanCommandPort_);
    }
    if (webPort_ != 0) {
        auto web = std::make_unique<SimWebPage>(*this);
        if (web->Start(address, webPort_)) {
            web_ = std::move(web);
        } else {
            std::fprintf(stderr, "orbisight-sim: camera %s: no web page on %s:%d\n", Id().c_str(),
                         address.c_str(), webPort_);
        }
    }
}

void SimCamera::MoveLanSide(const std::string& address) {
    if (lanCommandPort_ != 0 &&
        !lanServer_.Start(address, lanCommandPort_, ShortName(Id()) + "/lac",
                          [this](int socket) { return Accept(socket); })) {
        std::fprintf(stderr, "orbisight-sim: camera %s: cannot listen on %s:%d\n", Id().c_str(),
                     address.c_str(), lanCommandPort_);
    }
    if (web_) {
        web_->Stop();
        if (!web_->Start(address, webPort_)) {
            std::fprintf(stderr, "orbisight-sim: camera %s: no web page on %s:%d\n", Id().c_str(),
                         address.c_str(), webPort_);
        }
    }
}

void SimCamera::Stop() {
    events_.Detach();
    if (lan_) {
        lan_->Stop();
    }
    if (web_) {
        web_->Stop();
    }
    lanServer_.Stop();
    server_.Stop();
}

void SimCamera::SetFault(SimFaultMode mode) {
    fault_ = mode;
    if (mode == SimFaultMode::kRefuse) {
        DropConnections();
    }
}

void SimCamera::DropConnections() {
    server_.DropConnections();
    lanServer_.DropConnections();
}

std::unique_ptr<SimTcpServer::Connection> SimCamera::Accept(int socket) {
    if (fault_ == SimFaultMode::kRefuse) {
        CloseSocket(socket);
        return nullptr;
    }
    auto connection = std::make_unique<SimCameraConnection>(
        *this, socket, ShortName(Id()) + "/" + std::to_string(nextConnection_.fetch_add(1)));
    connection->Start();
    return connection;
}

}  // namespace orbisight::sim
