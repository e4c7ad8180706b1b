#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/cloud/SimCloudStore.h"
#include "sim/common/SimService.h"
#include "sim/common/SimTcpServer.h"
#include "sim/common/SimViolationLog.h"

namespace orbisight::sim {

// How the simulated cloud storage misbehaves on downloads.
enum class SimCloudFault {
    kNone,
    kDrop,       // closes the connection halfway through the file
    kWrongSize,  // "info" declares 512 bytes more than the file has
    kOversize,   // the data reply declares and sends 4096 bytes more than asked for
    kStall,      // sends half the file, then nothing until the client goes
};

// "none", "drop", "wrong-size", "oversize", "stall"; false for anything else.
bool ParseSimCloudFault(const std::string& text, SimCloudFault& out);

// The cloud storage server: the recordings of the cameras on TCP (port 5557
// by default) of one loopback address. Any thread.
class SimCloudServer : public SimService {
  public:
    static constexpr int kDefaultPort = 5557;

    // config: {"host", "port", "user", "password", "fault", "cameras"}. Throws
    // std::runtime_error when the configuration is bad or the port cannot
    // be bound.
    static std::unique_ptr<SimCloudServer> Start(const nlohmann::json& config, SimContext* context);
    ~SimCloudServer() override;

    std::vector<SimServiceInfo> Describe() const override;
    void Stop() override;

    SimCloudStore& Store() { return store_; }
    const std::string& Host() const { return host_; }
    int Port() const { return server_.Port(); }
    void SetFault(SimCloudFault fault) { fault_ = fault; }
    SimCloudFault Fault() const { return fault_; }
    bool CheckLogin(const std::string& user, const std::string& password) const;

    void ReportViolation(const std::string& text) { violations_.Report(text); }
    const SimViolationLog& Violations() const { return violations_; }
    uint64_t Accepted() const { return server_.Accepted(); }
    // Connections that are open now.
    int OpenConnections();

  private:
    SimCloudServer();

    std::string host_ = "127.0.0.1";
    std::string user_ = "guest";
    std::string password_ = "guest";
    std::atomic<SimCloudFault> fault_{SimCloudFault::kNone};
    SimCloudStore store_;
    SimViolationLog violations_{"cloud"};
    SimEventLink<SimCloudServer> events_;
    SimTcpServer server_;
};

// The cloud server of a simulator configuration ("cloud" object), if any.
SimServices StartCloudSimulator(const nlohmann::json& config, SimContext& context);

}  // namespace orbisight::sim
