#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "sim/common/SimTcpServer.h"

namespace orbisight::sim {

class SimCamera;

// The camera's small web page ("Visit Web"): HTTP on its loopback address,
// one page naming the camera for any path. Each request is answered on the
// accept thread and the connection closed.
class SimWebPage {
  public:
    explicit SimWebPage(SimCamera& camera) : camera_(camera) {}
    bool Start(const std::string& address, int port);
    void Stop() { server_.Stop(); }
    int Port() const { return server_.Port(); }
    // The request lines received ("GET /sd/ipnc/ HTTP/1.1"), for tests.
    std::string LastRequestLine() const;
    uint64_t Requests() const { return requests_.load(); }

  private:
    void Serve(int socket);

    SimCamera& camera_;
    SimTcpServer server_;
    std::atomic<uint64_t> requests_{0};
    mutable std::mutex mutex_;
    std::string lastRequestLine_;  // protected by mutex_
};

}  // namespace orbisight::sim
