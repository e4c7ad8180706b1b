#include "sim/p2p/SimRendezvous.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <stdexcept>

#include "media/p2p/PeerClient.h"
#include "platform/WorkerThread.h"

namespace orbisight::sim {
namespace {

constexpr auto kCameraExpiry = std::chrono::seconds(10);  // cameras register every 2 s
constexpr auto kOfferExpiry = std::chrono::seconds(5);
constexpr auto kSessionExpiry = std::chrono::seconds(15);
constexpr size_t kMaxSessions = 4096;

}  // namespace

bool ParsePeerEndpoint(const std::string& text, sockaddr_in& out) {
    return p2p::ParseEndpoint(text.c_str(), false, out);
}

bool SameEndpoint(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

SimRendezvous::SimRendezvous(std::string host, int port) : host_(std::move(host)), port_(port) {
    nextSession_ = std::random_device{}() & 0xffffu;
}

SimRendezvous::~SimRendezvous() {
    Stop();
}

void SimRendezvous::Start() {
    sockaddr_in local{};
    if (!ParsePeerEndpoint(host_ + ":" + std::to_string(port_ == 0 ? 1 : port_), local)) {
        throw std::runtime_error("p2p: bad address " + host_);
    }
    local.sin_port = htons(static_cast<uint16_t>(port_));
    socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int buffer = 4 << 20;
    setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        if (socket_ >= 0) {
            ::close(socket_);
            socket_ = -1;
        }
        throw std::runtime_error("p2p: cannot bind " + host_ + ":" + std::to_string(port_));
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = ntohs(bound.sin_port);
    stopping_.store(false);
    thread_ = std::thread([this] {
        SetCurrentThreadName("sim/p2p");
        Loop();
    });
}

void SimRendezvous::AttachEvents(SimEventBus& bus) {
    events_.Attach(bus, this, [](SimRendezvous& self, const SimEvent& event) {
        if (event.kind != "p2p") {
            return;
        }
        std::string args = event.data.value("args", "");
        if (event.deviceId == "drop") {
            self.DropSessions();
        } else if (event.deviceId == "refuse") {
            self.SetRefuse(args.find("on") != std::string::npos);
        }
    });
}

void SimRendezvous::Stop() {
    events_.Detach();
    if (socket_ < 0) {
        return;
    }
    stopping_.store(true);
    ::shutdown(socket_, SHUT_RDWR);
    if (thread_.joinable()) {
        thread_.join();
    }
    ::close(socket_);
    socket_ = -1;
}

std::vector<SimServiceInfo> SimRendezvous::Describe() const {
    return {{"p2p", host_, port_}};
}

void SimRendezvous::DropSessions() {
    std::lock_guard lock(mutex_);
    sessions_.clear();
    ++counters_.drops;
    std::fprintf(stderr, "sim p2p: every session dropped\n");
}

SimRendezvous::Counters SimRendezvous::Read() const {
    std::lock_guard lock(mutex_);
    Counters counters = counters_;
    counters.registered = cameras_.size();
    counters.open = 0;
    for (const auto& [id, session] : sessions_) {
        counters.open += session.accepted ? 1 : 0;
    }
    return counters;
}

void SimRendezvous::SendTo(const sockaddr_in& to, const uint8_t* bytes, size_t size) {
    ::sendto(socket_, bytes, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void SimRendezvous::Loop() {
    std::vector<uint8_t> buffer(p2p::kMaxDatagram + 1);
    auto lastExpire = Clock::now();
    auto lastDrop = Clock::now();
    while (!stopping_.load()) {
        pollfd p{socket_, POLLIN, 0};
        int ready = ::poll(&p, 1, 200);
        auto now = Clock::now();
        if (now - lastExpire > std::chrono::seconds(1)) {
            Expire(now);
            lastExpire = now;
        }
        int every = dropEveryS_.load();
        if (every > 0 && now - lastDrop > std::chrono::seconds(every)) {
            DropSessions();
            lastDrop = now;
        }
        if (ready <= 0) {
            continue;
        }
        for (int i = 0; i < 256; ++i) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            ssize_t n = ::recvfrom(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n < 0) {
                break;
            }
            p2p::Datagram d;
            std::lock_guard lock(mutex_);
            if (!p2p::ParseDatagram(buffer.data(), static_cast<size_t>(n), d)) {
                ++counters_.bad;
                continue;
            }
            Handle(d, buffer.data(), static_cast<size_t>(n), from);
        }
    }
}

void SimRendezvous::Expire(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    for (auto it = cameras_.begin(); it != cameras_.end();) {
        it = now - it->second.lastSeen > kCameraExpiry ? cameras_.erase(it) : std::next(it);
    }
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        Session& s = it->second;
        if (!s.accepted && now - s.created > kOfferExpiry) {
            SendTo(s.client, p2p::BuildRefused(s.nonce, p2p::RefuseReason::kNoAnswer));
            ++counters_.refused;
            it = sessions_.erase(it);
        } else if (s.accepted && now - s.lastClient > kSessionExpiry &&
                   now - s.lastCamera > kSessionExpiry) {
            it = sessions_.erase(it);
        } else {
            ++it;
        }
    }
}

void SimRendezvous::Handle(const p2p::Datagram& d, const uint8_t* bytes, size_t size,
                           const sockaddr_in& from) {
    using p2p::Kind;
    auto now = Clock::now();
    switch (d.kind) {
        case Kind::kRegister: {
            Camera& camera = cameras_[std::string(d.id)];
            camera.address = from;
            camera.lastSeen = now;
            SendTo(from, p2p::BuildRegister(Kind::kRegistered, d.id));
            return;
        }
        case Kind::kConnect: {
            // A repeated request: answer as before.
            for (auto& [id, s] : sessions_) {
                if (s.nonce == d.nonce && SameEndpoint(s.client, from)) {
                    if (s.accepted) {
                        SendTo(from, p2p::BuildConnected(d.nonce, id));
                    } else {
                        SendTo(s.camera, p2p::BuildOffer(id, d.id));
                    }
                    return;
                }
            }
            auto camera = cameras_.find(std::string(d.id));
            if (camera == cameras_.end()) {
                ++counters_.refused;
                SendTo(from, p2p::BuildRefused(d.nonce, p2p::RefuseReason::kUnknownId));
                return;
            }
            if (refuse_.load() || sessions_.size() >= kMaxSessions) {
                ++counters_.refused;
                SendTo(from, p2p::BuildRefused(d.nonce, p2p::RefuseReason::kFull));
                return;
            }
            uint32_t id;
            do {
                id = (++nextSession_) & 0x7fffffffu;
            } while (id == 0 || sessions_.count(id) != 0);
            Session& s = sessions_[id];
            s.client = from;
            s.camera = camera->second.address;
            s.nonce = d.nonce;
            s.created = s.lastClient = s.lastCamera = now;
            SendTo(s.camera, p2p::BuildOffer(id, d.id));
            return;
        }
        case Kind::kAccept: {
            auto it = sessions_.find(d.session);
            if (it == sessions_.end() || !SameEndpoint(it->second.camera, from)) {
                ++counters_.bad;
                SendTo(from, p2p::BuildSessionOnly(Kind::kClose, d.session));
                return;
            }
            if (!it->second.accepted) {
                it->second.accepted = true;
                ++counters_.sessions;
            }
            SendTo(it->second.client, p2p::BuildConnected(it->second.nonce, d.session));
            return;
        }
        case Kind::kClose:
        case Kind::kPing:
        case Kind::kData: {
            auto it = sessions_.find(d.session);
            if (it == sessions_.end() || !it->second.accepted) {
                ++counters_.bad;  // dropped, or never ours: silence tells the sender
                return;
            }
            Session& s = it->second;
            bool fromClient = SameEndpoint(s.client, from);
            bool fromCamera = SameEndpoint(s.camera, from);
            if (fromClient == fromCamera) {
                ++counters_.bad;
                return;
            }
            if (d.kind == Kind::kData) {
                // Frames and login replies go to the client, logins and stops to the camera.
                bool toCamera = d.av == p2p::AvKind::kLogin || d.av == p2p::AvKind::kStop;
                bool either = d.av == p2p::AvKind::kIoctrl;
                if (!either && toCamera != fromClient) {
                    ++counters_.bad;
                    return;
                }
            }
            (fromClient ? s.lastClient : s.lastCamera) = now;
            SendTo(fromClient ? s.camera : s.client, bytes, size);
            ++counters_.relayed;
            if (d.kind == Kind::kClose) {
                sessions_.erase(it);
            }
            return;
        }
        default:
            ++counters_.bad;  // only the service sends the others
            return;
    }
}

}  // namespace orbisight::sim
