#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WorkerThread.h"

namespace orbisight::sim {

// A TCP listener on 127.0.0.1 (simulators never listen beyond loopback)
// with an accept thread, the list of live connections, the clean-up of
// connections that ended on their own, and the orderly stop. Each
// simulated service says only what a connection is.
class SimTcpServer {
  public:
    // One accepted client, usually served on a thread of its own.
    class Connection {
      public:
        virtual ~Connection() = default;  // ends the serving thread and waits for it
        // Wakes the serving thread (the socket is shut down); it ends soon.
        virtual void Drop() = 0;
        // The serving thread has ended.
        virtual bool Finished() const = 0;
    };
    // Takes an accepted socket and returns the connection that serves it,
    // already started, or null when it is done with the socket (turned away
    // or served on the spot), which it has then closed itself.
    using Factory = std::function<std::unique_ptr<Connection>(int socket)>;

    SimTcpServer() = default;
    ~SimTcpServer();
    SimTcpServer(const SimTcpServer&) = delete;
    SimTcpServer& operator=(const SimTcpServer&) = delete;

    // Listens on 127.0.0.1:port (0: any free port) and starts the accept
    // thread. False when the port cannot be bound. Start may follow Stop.
    bool Start(int port, const std::string& threadName, Factory factory);
    // The same on another loopback address (127.x.y.z; anything else fails).
    bool Start(const std::string& host, int port, const std::string& threadName, Factory factory);
    // Stops accepting, closes the listener, drops every connection and
    // waits for their threads.
    void Stop();
    bool Listening() const { return listener_ >= 0; }
    int Port() const { return port_; }

    // Closes every client connection now; the listener stays.
    void DropConnections();
    // Calls visit for every connection that has not ended, under the lock
    // (visit must not block).
    void ForEach(const std::function<void(Connection&)>& visit);
    uint64_t Accepted() const { return accepted_.load(); }

  private:
    void AcceptLoop(AutoResetEvent& stop);
    // Destroys, outside the lock, the connections that ended (all of them
    // when `all`).
    void Reap(bool all);

    Factory factory_;  // accept thread only while it runs
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> accepted_{0};
    WorkerThread acceptThread_;

    std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> connections_;  // protected by mutex_
    uint64_t drops_ = 0;  // DropConnections calls; protected by mutex_
};

}  // namespace orbisight::sim
