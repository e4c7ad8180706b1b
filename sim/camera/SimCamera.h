#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/camera/SimCameraHooks.h"
#include "sim/camera/SimCameraState.h"
#include "sim/camera/SimFaultMode.h"
#include "sim/camera/SimLanResponder.h"
#include "sim/camera/SimSdCard.h"
#include "sim/common/SimService.h"
#include "sim/common/SimTcpServer.h"
#include "sim/common/SimViolationLog.h"

namespace orbisight::sim {

class SimCameraConnection;
class SimWebPage;

// One simulated camera: a TCP listener on loopback that speaks the camera's
// command protocol (login, keep-alive, parameter blocks, SD card, RF list)
// and hands streaming and live controls to the media side. Each accepted
// connection runs on its own thread.
class SimCamera : public SimService {
  public:
    using MediaFactory =
        std::function<std::unique_ptr<SimCameraMedia>(const nlohmann::json& config)>;

    // Starts the camera described by one entry of "cameras". The media side
    // comes from CreateSimCameraMedia unless a factory is given (tests).
    // Throws std::runtime_error for a bad entry or a port that cannot be
    // bound.
    static std::unique_ptr<SimCamera> Start(const nlohmann::json& config, SimContext& context,
                                            const MediaFactory& mediaFactory = {});
    // Reads the entry; Start() then listens and accepts.
    SimCamera(const nlohmann::json& config, SimContext& context, const MediaFactory& mediaFactory);
    ~SimCamera() override;

    std::vector<SimServiceInfo> Describe() const override;
    // Closes the listener and every connection; returns when all threads
    // have ended.
    void Stop() override;

    const std::string& Id() const { return state_.Id(); }
    int Port() const { return server_.Port(); }

    // Switching to kRefuse also drops the connections already open.
    void SetFault(SimFaultMode mode);
    SimFaultMode Fault() const { return fault_; }
    // Closes every open connection (the clients see the camera go away).
    void DropConnections();

    // Protocol violations seen in what clients sent (each also on stderr).
    int ViolationCount() const { return violations_.Count(); }
    std::vector<std::string> Violations() const { return violations_.Recent(); }
    int AcceptedConnections() const { return static_cast<int>(server_.Accepted()); }
    int SuccessfulLogins() const { return logins_; }

    SimCameraState& State() { return state_; }
    // The LAN side, when the entry has a "lan_address": null otherwise, or
    // when its port could not be bound.
    SimLanResponder* Lan() { return lan_.get(); }
    SimWebPage* Web() { return web_.get(); }
    const std::string& LanAddress() const { return lanConfig_.address; }
    // A LAN set gave the camera another (loopback) wired address: its LAN
    // command port and web page move there. Called by the LAN responder.
    void MoveLanSide(const std::string& address);
    const SimSdCard& SdCard() const { return sdCard_; }
    SimCameraMedia* Media() { return media_.get(); }

    // Called by the connections.
    void ReportViolation(const std::string& text) { violations_.Report(text); }
    void CountLogin() { ++logins_; }

  private:
    // Serves an accepted socket (or turns it away in the refuse mode).
    std::unique_ptr<SimTcpServer::Connection> Accept(int socket);
    // The LAN answers, the command port and the web page on the camera's
    // own loopback address; each that cannot start is reported and left out.
    void StartLanSide();

    SimCameraState state_;
    SimSdCard sdCard_;
    std::unique_ptr<SimCameraMedia> media_;
    SimEventLink<SimCamera> events_;
    int port_ = 0;  // from the configuration
    std::atomic<SimFaultMode> fault_{SimFaultMode::kNone};
    std::atomic<int> logins_{0};
    std::atomic<int> nextConnection_{1};  // both accept threads
    SimTcpServer server_;
    SimLanConfig lanConfig_;
    int lanCommandPort_ = 5552;  // "lan_command_port": 0 for none
    int webPort_ = 80;           // "web_port": 0 for none
    SimTcpServer lanServer_;     // the command port on the LAN address
    std::unique_ptr<SimLanResponder> lan_;
    std::unique_ptr<SimWebPage> web_;

    SimViolationLog violations_;
};

}  // namespace orbisight::sim
