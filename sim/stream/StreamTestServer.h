#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "sim/camera/SimCameraHooks.h"
#include "sim/common/SimTcpServer.h"

namespace orbisight::sim {

class SimStreamCamera;

// A minimal camera front end for the streaming side alone: accepts
// connections on 127.0.0.1, answers the login (8194 "Ret" "1" for the
// configured "user", "password" and "id", else "Ret" "0"; after
// "login_delay_ms", default 0, like a busy camera), ignores
// keep-alives and hands everything else to the media session, as the full
// camera simulator does. For the media tests and the live benchmark, which
// need many streaming cameras and nothing else.
class StreamTestServer {
  public:
    explicit StreamTestServer(const nlohmann::json& camera);
    ~StreamTestServer();
    StreamTestServer(const StreamTestServer&) = delete;
    StreamTestServer& operator=(const StreamTestServer&) = delete;

    // Listens on 127.0.0.1:port (0: any free port). False when it cannot.
    bool Start(int port = 0);
    // Closes the listener and every connection; Start may be called again.
    void Stop();
    int Port() const { return server_.Port(); }

    // Closes every client connection now (the listener stays).
    void DropConnections();

    SimStreamCamera* Camera();
    uint64_t Logins() const { return logins_.load(); }
    uint64_t Connections() const { return server_.Accepted(); }

  private:
    class Connection;

    nlohmann::json config_;
    std::unique_ptr<SimCameraMedia> media_;
    std::string user_, password_, id_;
    int loginDelayMs_ = 0;
    std::atomic<uint64_t> logins_{0};
    SimTcpServer server_;  // last: stopped first, while the media side still exists
};

}  // namespace orbisight::sim
