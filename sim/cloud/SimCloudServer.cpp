#include "sim/cloud/SimCloudServer.h"

#include <sstream>
#include <stdexcept>

#include "sim/cloud/SimCloudConnection.h"

namespace orbisight::sim {

bool ParseSimCloudFault(const std::string& text, SimCloudFault& out) {
    if (text == "none") {
        out = SimCloudFault::kNone;
    } else if (text == "drop") {
        out = SimCloudFault::kDrop;
    } else if (text == "wrong-size") {
        out = SimCloudFault::kWrongSize;
    } else if (text == "oversize") {
        out = SimCloudFault::kOversize;
    } else if (text == "stall") {
        out = SimCloudFault::kStall;
    } else {
        return false;
    }
    return true;
}

SimCloudServer::SimCloudServer() = default;

SimCloudServer::~SimCloudServer() {
    Stop();
}

std::unique_ptr<SimCloudServer> SimCloudServer::Start(const nlohmann::json& config,
                                                      SimContext* context) {
    std::unique_ptr<SimCloudServer> server(new SimCloudServer);
    server->host_ = config.value("host", std::string("127.0.0.1"));
    server->user_ = config.value("user", server->user_);
    server->password_ = config.value("password", server->password_);
    SimCloudFault fault = SimCloudFault::kNone;
    if (!ParseSimCloudFault(config.value("fault", std::string("none")), fault)) {
        throw std::runtime_error("cloud: unknown \"fault\" " + config.value("fault", ""));
    }
    server->fault_ = fault;
    if (auto cameras = config.find("cameras"); cameras != config.end()) {
        server->store_.Load(*cameras,
                            context != nullptr ? context->configDir : std::filesystem::path());
    }
    int port = config.value("port", kDefaultPort);
    SimCloudServer* self = server.get();
    if (!server->server_.Start(server->host_, port, "sim/cloudacc", [self](int socket) {
            auto connection = std::make_unique<SimCloudConnection>(*self, socket);
            connection->Start();
            return connection;
        })) {
        throw std::runtime_error("cloud: cannot listen on " + server->host_ + ":" +
                                 std::to_string(port));
    }
    if (context != nullptr) {
        // "cloud-fault ID MODE" on the simulator's standard input (the ID
        // is not used: the fault is the server's).
        server->events_.Attach(context->events, self,
                               [](SimCloudServer& cloud, const SimEvent& event) {
                                   if (event.kind != "cloud-fault") {
                                       return;
                                   }
                                   std::istringstream words(event.data.value("args", ""));
                                   std::string mode;
                                   words >> mode;
                                   SimCloudFault parsed;
                                   if (ParseSimCloudFault(mode, parsed)) {
                                       cloud.SetFault(parsed);
                                   }
                               });
    }
    return server;
}

std::vector<SimServiceInfo> SimCloudServer::Describe() const {
    return {{"cloud", host_, server_.Port()}};
}

void SimCloudServer::Stop() {
    events_.Detach();
    server_.Stop();
}

bool SimCloudServer::CheckLogin(const std::string& user, const std::string& password) const {
    return user == user_ && password == password_;
}

int SimCloudServer::OpenConnections() {
    int open = 0;
    server_.ForEach([&open](SimTcpServer::Connection& c) {
        if (!c.Finished()) {
            ++open;
        }
    });
    return open;
}

SimServices StartCloudSimulator(const nlohmann::json& config, SimContext& context) {
    SimServices services;
    auto cloud = config.find("cloud");
    if (cloud == config.end() || cloud->is_null()) {
        return services;
    }
    services.push_back(SimCloudServer::Start(*cloud, &context));
    return services;
}

}  // namespace orbisight::sim
