#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/WorkerThread.h"
#include "sim/common/SimTcpServer.h"

namespace orbisight::sim {

class SimCloudServer;

// One client of the simulated cloud storage, served on its own thread:
// checks every request against the protocol (docs/cloud-protocol.md),
// reports breaches and answers them with "bad request".
class SimCloudConnection : public SimTcpServer::Connection {
  public:
    SimCloudConnection(SimCloudServer& server, int socket);
    ~SimCloudConnection() override;

    void Start();
    void Drop() override;
    bool Finished() const override { return thread_.Finished(); }

  private:
    void Run();
    // False when the connection is to end.
    bool Handle(uint16_t type, const std::string& body);
    bool Reply(uint16_t type, int32_t status, const std::string& body);
    bool Refuse(uint16_t type, int32_t status, const std::string& why);
    bool HandleHello(const std::string& body);
    bool HandleCount(const std::string& body);
    bool HandleQuery(const std::string& body);
    bool HandleInfo(const std::string& body);
    bool HandleData(const std::string& body);
    bool SendRaw(const void* bytes, size_t size);

    SimCloudServer& server_;
    std::mutex socketMutex_;
    int socket_;  // closed only by the connection thread, under socketMutex_
    std::atomic<bool> open_{true};
    std::string cameraId_;  // empty until logged in; connection thread only
    WorkerThread thread_;
};

}  // namespace orbisight::sim
