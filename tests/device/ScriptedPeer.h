#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/Socket.h"

namespace orbisight::testing {

// A camera stand-in on a loopback port whose every connection runs a
// script: for the client behaviours that a well-behaved simulator never
// provokes (stray chunks, short blocks, odd replies). Connections are
// served one at a time and closed when the script returns.
class ScriptedPeer {
  public:
    using Script = std::function<void(int socket, int connectionIndex)>;

    explicit ScriptedPeer(Script script) : script_(std::move(script)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 8);
        port_ = LocalPort(listener_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedPeer() {
        stopping_ = true;
        {
            std::lock_guard lock(mutex_);
            ShutdownSocket(current_);
        }
        thread_.join();
        CloseSocket(listener_);
    }

    int Port() const { return port_; }
    int Connections() const { return connections_; }

  private:
    void Serve() {
        while (!stopping_) {
            pollfd pfd{listener_, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0) {
                continue;
            }
            int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) {
                continue;
            }
            {
                std::lock_guard lock(mutex_);
                current_ = client;
            }
            if (!stopping_) {
                script_(client, connections_++);
            }
            std::lock_guard lock(mutex_);
            CloseSocket(client);
            current_ = kNoSocket;
        }
    }

    Script script_;
    int listener_ = kNoSocket;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    int current_ = kNoSocket;  // protected by mutex_
    std::thread thread_;
};

}  // namespace orbisight::testing
