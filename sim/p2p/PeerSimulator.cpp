#include "sim/p2p/PeerSimulator.h"

#include <stdexcept>

#include "sim/camera/SimCamera.h"
#include "sim/p2p/SimPeerCamera.h"
#include "sim/p2p/SimRendezvous.h"

namespace orbisight::sim {

SimServices StartPeerSimulators(const nlohmann::json& config, SimContext& context,
                                const SimServices& cameras) {
    SimServices services;
    auto p2p = config.find("p2p");
    if (p2p == config.end() || !p2p->is_object()) {
        return services;
    }
    std::string host = p2p->value("host", "127.0.0.1");
    int port = p2p->value("port", 5570);
    auto rendezvous = std::make_unique<SimRendezvous>(host, port);
    rendezvous->Start();
    rendezvous->SetDropEvery(p2p->value("drop_every_s", 0));
    rendezvous->AttachEvents(context.events);
    sockaddr_in address{};
    if (!ParsePeerEndpoint(host + ":" + std::to_string(rendezvous->Port()), address)) {
        throw std::runtime_error("p2p: bad host " + host);
    }
    services.push_back(std::move(rendezvous));

    auto entries = config.find("cameras");
    if (entries == config.end() || !entries->is_array()) {
        return services;
    }
    for (const auto& entry : *entries) {
        if (!entry.is_object() || !entry.contains("p2p_id")) {
            continue;
        }
        std::string id = entry.value("id", "");
        std::string peerId = entry.value("p2p_id", "");
        if (peerId.empty() || peerId.size() > 63) {
            throw std::runtime_error("camera " + id + ": \"p2p_id\" must have 1 to 63 characters");
        }
        for (const auto& service : cameras) {
            auto* camera = dynamic_cast<SimCamera*>(service.get());
            if (camera != nullptr && camera->Id() == id && camera->Media() != nullptr) {
                auto peer = std::make_unique<SimPeerCamera>(*camera->Media(), peerId, address);
                peer->Start();
                services.push_back(std::move(peer));
            }
        }
    }
    return services;
}

}  // namespace orbisight::sim
