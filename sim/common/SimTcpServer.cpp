#include "sim/common/SimTcpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/Socket.h"

namespace orbisight::sim {
namespace {

// How often the accept thread looks at its stop event while no client comes.
constexpr int kAcceptPollMs = 50;
constexpr int kStopWaitMs = 2000;

int OpenLoopbackListener(const std::string& host, int port) {
    in_addr parsed{};
    if (inet_pton(AF_INET, host.c_str(), &parsed) != 1 || (ntohl(parsed.s_addr) >> 24) != 127) {
        return kNoSocket;  // loopback only, whatever a configuration says
    }
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return kNoSocket;
    }
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr = parsed;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s, 64) != 0) {
        ::close(s);
        return kNoSocket;
    }
    return s;
}

}  // namespace

SimTcpServer::~SimTcpServer() {
    Stop();
}

bool SimTcpServer::Start(int port, const std::string& threadName, Factory factory) {
    return Start("127.0.0.1", port, threadName, std::move(factory));
}

bool SimTcpServer::Start(const std::string& host, int port, const std::string& threadName,
                         Factory factory) {
    Stop();
    listener_ = OpenLoopbackListener(host, port);
    if (listener_ < 0) {
        return false;
    }
    port_ = LocalPort(listener_);
    factory_ = std::move(factory);
    stopping_.store(false);
    acceptThread_.Start(threadName, [this](AutoResetEvent& stop) { AcceptLoop(stop); });
    return true;
}

void SimTcpServer::Stop() {
    stopping_.store(true);
    acceptThread_.Stop(kStopWaitMs);
    if (listener_ >= 0) {
        CloseSocket(listener_);
        listener_ = kNoSocket;
    }
    DropConnections();
    Reap(true);  // each destructor waits for its thread
}

void SimTcpServer::DropConnections() {
    std::lock_guard lock(mutex_);
    ++drops_;
    for (auto& connection : connections_) {
        connection->Drop();
    }
}

void SimTcpServer::ForEach(const std::function<void(Connection&)>& visit) {
    std::lock_guard lock(mutex_);
    for (auto& connection : connections_) {
        if (!connection->Finished()) {
            visit(*connection);
        }
    }
}

void SimTcpServer::Reap(bool all) {
    std::vector<std::unique_ptr<Connection>> ended;
    {
        std::lock_guard lock(mutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (all || (*it)->Finished()) {
                ended.push_back(std::move(*it));
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Joined outside the lock: a connection's thread may be waiting for it
    // (DropConnections from a request it serves).
    ended.clear();
}

void SimTcpServer::AcceptLoop(AutoResetEvent& stop) {
    while (!stopping_.load()) {
        pollfd pfd{listener_, POLLIN, 0};
        int ready = ::poll(&pfd, 1, kAcceptPollMs);
        if (stop.TryConsume() || stopping_.load()) {
            return;
        }
        Reap(false);
        if (ready <= 0) {
            continue;
        }
        int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        accepted_.fetch_add(1);
        uint64_t drops;
        {
            std::lock_guard lock(mutex_);
            drops = drops_;
        }
        std::unique_ptr<Connection> connection = factory_(client);
        if (connection) {
            std::lock_guard lock(mutex_);
            if (drops != drops_) {
                connection->Drop();  // dropped with the others while it started
            }
            connections_.push_back(std::move(connection));
        }
    }
}

}  // namespace orbisight::sim
