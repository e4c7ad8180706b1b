#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/CHalvexProtocolAX.h"
#include "platform/WorkerThread.h"
#include "sim/camera/SimCameraHooks.h"
#include "sim/common/SimTcpServer.h"

namespace orbisight::sim {

class SimCamera;

// One client connection of a simulated camera, served on its own thread:
// reads every message, checks it strictly, answers the camera's own
// commands and offers stream commands and live controls to the media
// session opened at login.
class SimCameraConnection : public SimConnection, public SimTcpServer::Connection {
  public:
    SimCameraConnection(SimCamera& camera, int socket, std::string threadName);
    ~SimCameraConnection() override;

    void Start();
    // Wakes the thread (Drop) and waits for it to end.
    void Stop();
    bool Finished() const override { return thread_.Finished(); }

    // SimConnection
    bool Send(CHalvexProtocolAX& message) override;
    bool SendRaw(const uint8_t* bytes, size_t size) override;
    void Drop() override;
    bool Open() const override { return open_; }

  private:
    void Run(AutoResetEvent& stop);
    bool ReadMessage(CHalvexProtocolAX& message, std::vector<std::string>& violations);
    void Handle(const CHalvexProtocolAX& message, const std::vector<std::string>& violations);
    void HandleLogin(const CHalvexProtocolAX& message);
    void HandleRequest(const CHalvexProtocolAX& message, bool wellFormed);
    void HandleSd(const CHalvexProtocolAX& message);
    void SendFile(const std::string& name, long long start, long long length);
    // Sends a reply the way the camera's fault mode says.
    void Reply(CHalvexProtocolAX& message);
    void ReplyResult(int replyCode, bool ok, const std::string& errorInfo = {});
    void CloseSocket();

    SimCamera& camera_;
    std::string threadName_;
    std::mutex socketMutex_;
    int socket_;                    // closed only by the connection thread, under socketMutex_
    std::atomic<bool> open_{true};  // false once the socket is shut down or closed
    bool loggedIn_ = false;         // connection thread only
    std::unique_ptr<SimMediaSession> session_;  // connection thread only
    std::vector<uint8_t> buffer_;               // connection thread only
    WorkerThread thread_;
};

}  // namespace orbisight::sim
