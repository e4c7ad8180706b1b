#include "sim/camera/SimCamera.h"

#include <cstdio>
#include <stdexcept>

#include "platform/Socket.h"
#include "platform/Text.h"
#include "sim/camera/SimCameraConnection.h"

namespace orbisight::sim {
namespace {

// "sim" and the end of the ID, for thread names (15 characters at most).
std::string ShortName(const std::string& id) {
    return "sim" + (id.size() > 4 ? id.substr(id.size() - 4) : id);
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
    return camera;
}

SimCamera::~SimCamera() {
    Stop();
}

std::vector<SimServiceInfo> SimCamera::Describe() const {
    return {{"camera", Id(), Port()}};
}

void SimCamera::Stop() {
    events_.Detach();
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
}

std::unique_ptr<SimTcpServer::Connection> SimCamera::Accept(int socket) {
    if (fault_ == SimFaultMode::kRefuse) {
        CloseSocket(socket);
        return nullptr;
    }
    auto connection = std::make_unique<SimCameraConnection>(
        *this, socket, ShortName(Id()) + "/" + std::to_string(nextConnection_++));
    connection->Start();
    return connection;
}

}  // namespace orbisight::sim
