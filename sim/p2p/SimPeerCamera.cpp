#include "sim/p2p/SimPeerCamera.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "device/CHalvexProtocolAX.h"
#include "media/FrameHeader.h"
#include "media/p2p/PeerFrameInfo.h"
#include "platform/Text.h"
#include "platform/WorkerThread.h"

namespace orbisight::sim {
namespace {

constexpr auto kRegisterEvery = std::chrono::seconds(2);
constexpr auto kPingEvery = std::chrono::seconds(1);
constexpr auto kLostAfter = std::chrono::seconds(5);
constexpr const char* kAccount = "admin";
constexpr const char* kPassword = "qv7kd";
// Pieces sent back to back before a short pause, so that a large key
// frame does not overrun the relay's socket buffer.
constexpr int kBurstPieces = 32;

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

// What the camera's media session sees of a peer-to-peer session: its
// replies become AV control replies, its media messages AV frames.
class SimPeerCamera::Connection : public SimConnection {
  public:
    Connection(SimPeerCamera& camera, uint32_t session, uint8_t channel)
        : camera_(camera), session_(session), channel_(channel) {}

    bool Send(CHalvexProtocolAX& message) override {
        if (closed_.load() || message.Type() != msgtype::kReply) {
            return !closed_.load();
        }
        const char* param = message.FindText("Command_Param");
        int code = param != nullptr ? ParseDecimal(param) : -1;
        uint8_t payload[8] = {};
        uint32_t type = 0;
        if (code == 103) {
            type = 0x0321;
        } else if (code == 100 || code == 101) {
            const char* alert = message.FindText("RetAlert");
            payload[4] = alert != nullptr && std::strcmp(alert, "On") == 0 ? 1 : 0;
            type = code == 100 ? 0x0327 : 0x0325;
        } else {
            return true;  // nothing the client waits for
        }
        camera_.Send(p2p::BuildAvIoctrl(session_, channel_, type, payload, sizeof payload));
        return true;
    }

    bool SendRaw(const uint8_t* bytes, size_t size) override {
        if (closed_.load()) {
            return false;
        }
        CHalvexProtocolAX message;
        message.Parse(bytes, size);
        const Field* data = message.Type() == msgtype::kMedia ? message.FindField("Data") : nullptr;
        if (data == nullptr) {
            return true;  // a broken message (a fault mode): nothing to relay
        }
        const uint8_t* p = data->Bytes();
        size_t length = static_cast<size_t>(data->valueLength);
        size_t offset = 0;
        while (length >= FrameHeader::kSize && offset <= length - FrameHeader::kSize) {
            FrameHeader header = ReadFrameHeaderNetwork(p + offset);
            size_t at = offset + FrameHeader::kSize;
            if (header.size > length - at) {
                break;  // runs past the message (the oversize fault)
            }
            SendFrame(header, p + at);
            offset = at + header.size;
        }
        return true;
    }

    void Drop() override { closed_.store(true); }
    bool Open() const override { return !closed_.load(); }
    bool Closed() const { return closed_.load(); }

  private:
    void SendFrame(const FrameHeader& header, const uint8_t* payload) {
        if (header.size == 0 || header.size > p2p::kMaxFrameSize) {
            return;
        }
        p2p::AvFrameInfo info;
        if (header.mediaType == mediatype::kVideo) {
            info.codec = p2p::kCodecH264;
            info.flags = header.KeyFrame() ? 1 : 0;
            info.reserve0 = static_cast<uint8_t>(std::min<uint32_t>(header.rate, 255));
            info.reserve2 = static_cast<uint8_t>(header.flags >> 8);
        } else if (header.mediaType == mediatype::kAudio) {
            info.codec = p2p::kCodecAudio;
        } else {
            return;
        }
        info.frameSize = header.size;
        info.timeStamp = header.timeStamp;
        uint8_t infoBytes[p2p::kFrameInfoSize];
        info.Write(infoBytes);
        uint16_t pieces = p2p::PiecesFor(header.size);
        uint32_t index = nextFrame_++;
        for (uint16_t piece = 0; piece < pieces; ++piece) {
            camera_.Send(p2p::BuildAvFramePiece(session_, channel_, index, piece, infoBytes,
                                                payload, header.size));
            if ((piece + 1) % kBurstPieces == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            }
        }
        camera_.framesSent.fetch_add(1);
    }

    SimPeerCamera& camera_;
    const uint32_t session_;
    const uint8_t channel_;
    std::atomic<bool> closed_{false};
    uint32_t nextFrame_ = 0;  // streaming thread only
};

SimPeerCamera::SimPeerCamera(SimCameraMedia& media, std::string id, const sockaddr_in& rendezvous)
    : media_(media), id_(std::move(id)), rendezvous_(rendezvous) {}

SimPeerCamera::~SimPeerCamera() {
    Stop();
}

void SimPeerCamera::Start() {
    socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0) {
        throw std::runtime_error("p2p camera " + id_ + ": no socket");
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    stopping_.store(false);
    thread_ = std::thread([this] {
        SetCurrentThreadName("sim/p2pcam");
        Loop();
    });
}

void SimPeerCamera::Stop() {
    if (socket_ < 0) {
        return;
    }
    stopping_.store(true);
    if (thread_.joinable()) {
        thread_.join();
    }
    ::close(socket_);
    socket_ = -1;
}

std::vector<SimServiceInfo> SimPeerCamera::Describe() const {
    return {{"p2p-camera", id_, 0}};
}

void SimPeerCamera::Send(const std::vector<uint8_t>& datagram) {
    ::sendto(socket_, datagram.data(), datagram.size(), MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&rendezvous_), sizeof rendezvous_);
}

void SimPeerCamera::Violation(const std::string& text) {
    violations.fetch_add(1);
    std::fprintf(stderr, "sim p2p %s: %s\n", id_.c_str(), text.c_str());
}

void SimPeerCamera::EndSession(uint32_t id, bool tell) {
    auto it = sessions_.find(id);
    if (it == sessions_.end()) {
        return;
    }
    if (it->second.connection) {
        it->second.connection->Drop();
    }
    if (it->second.media) {
        it->second.media->Stop();
    }
    if (tell) {
        Send(p2p::BuildSessionOnly(p2p::Kind::kClose, id));
    }
    sessions_.erase(it);
}

void SimPeerCamera::Loop() {
    std::vector<uint8_t> buffer(p2p::kMaxDatagram + 1);
    auto nextRegister = Clock::now();
    auto nextPing = Clock::now();
    while (!stopping_.load()) {
        auto now = Clock::now();
        if (now >= nextRegister) {
            Send(p2p::BuildRegister(p2p::Kind::kRegister, id_));
            nextRegister = now + kRegisterEvery;
        }
        if (now >= nextPing) {
            std::vector<uint32_t> ended;
            for (auto& [id, session] : sessions_) {
                bool dropped = session.connection && session.connection->Closed();
                if (dropped || now - session.lastHeard > kLostAfter) {
                    ended.push_back(id);
                } else {
                    Send(p2p::BuildSessionOnly(p2p::Kind::kPing, id));
                }
            }
            for (uint32_t id : ended) {
                EndSession(id, true);
            }
            nextPing = now + kPingEvery;
        }
        pollfd p{socket_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = ::recvfrom(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0 || from.sin_addr.s_addr != rendezvous_.sin_addr.s_addr ||
            from.sin_port != rendezvous_.sin_port) {
            continue;
        }
        p2p::Datagram d;
        if (!p2p::ParseDatagram(buffer.data(), static_cast<size_t>(n), d)) {
            Violation("malformed datagram from the rendezvous service");
            continue;
        }
        Handle(d);
    }
    while (!sessions_.empty()) {
        EndSession(sessions_.begin()->first, true);
    }
}

void SimPeerCamera::Handle(const p2p::Datagram& d) {
    using p2p::Kind;
    switch (d.kind) {
        case Kind::kRegistered:
            registered_.store(d.id == id_);
            return;
        case Kind::kOffer:
            if (d.id != id_) {
                Violation("offered a session for another identifier");
                return;
            }
            if (sessions_.count(d.session) == 0) {
                Session& session = sessions_[d.session];
                session.lastHeard = Clock::now();
                sessions.fetch_add(1);
            }
            Send(p2p::BuildSessionOnly(Kind::kAccept, d.session));
            return;
        case Kind::kClose:
            EndSession(d.session, false);
            return;
        case Kind::kPing:
            if (auto it = sessions_.find(d.session); it != sessions_.end()) {
                it->second.lastHeard = Clock::now();
            }
            return;
        case Kind::kData:
            break;
        default:
            return;
    }
    auto it = sessions_.find(d.session);
    if (it == sessions_.end()) {
        return;  // a session we ended: the close crossed its last datagrams
    }
    Session& session = it->second;
    session.lastHeard = Clock::now();
    switch (d.av) {
        case p2p::AvKind::kLogin: {
            bool ok = d.account == kAccount && d.password == kPassword;
            if (!ok) {
                Violation("AV login with another account or password");
            } else if (!session.loggedIn) {
                session.loggedIn = true;
                session.channel = d.channel;
                session.connection = std::make_unique<Connection>(*this, d.session, d.channel);
                session.media = media_.OpenSession(*session.connection);
            }
            Send(p2p::BuildAvLoginReply(d.session, d.channel,
                                        ok ? p2p::kLoginAccepted : p2p::kLoginRefused, 0));
            return;
        }
        case p2p::AvKind::kIoctrl:
            if (!session.loggedIn || d.channel != session.channel) {
                Violation("control message before the AV login");
                return;
            }
            HandleControl(d.session, session, d.ioType, d.payload, d.payloadSize);
            return;
        case p2p::AvKind::kStop:
            if (session.media) {
                session.media->Stop();
                session.media.reset();
            }
            session.loggedIn = false;
            return;
        default:
            Violation("a datagram only a camera sends");
            return;
    }
}

void SimPeerCamera::HandleControl(uint32_t, Session& session, uint32_t type, const uint8_t* payload,
                                  size_t size) {
    controls.fetch_add(1);
    lastControl.store(type);
    if (size != 8) {
        Violation("control message " + std::to_string(type) + " with " + std::to_string(size) +
                  " bytes (8 expected)");
        return;
    }
    if (!session.media) {
        return;
    }
    CHalvexProtocolAX message;
    auto command = [&](const char* start, const char* what) {
        message.SetType(msgtype::kCommand);
        message.AddField("Command", start);
        message.AddField("Type", what);
    };
    bool channelZero = Le32(payload) == 0;
    switch (type) {
        case 0x01FF:
            command("Start", "Video");
            break;
        case 0x0300:
        case 0x0301:
            command(type == 0x0300 ? "Start" : "Stop", "Audio");
            break;
        case 0x0320: {
            uint8_t q = payload[4];
            message.SetType(msgtype::kRequest);
            message.AddField("AVQVal", q == 1 ? "Max" : q == 3 ? "Mid" : "Min");
            message.AddNumberField("Command_Param", 103, 2);
            break;
        }
        case 0x0324:
            message.SetType(msgtype::kRequest);
            message.AddField("AlertVal", Le32(payload + 4) != 0 ? "On" : "Off");
            message.AddNumberField("Command_Param", 101, 2);
            break;
        case 0x0326:
            message.SetType(msgtype::kRequest);
            message.AddField("Wait", "1");
            message.AddNumberField("Command_Param", 100, 2);
            break;
        case 0x1001:
            if (payload[1] != 0 || payload[2] != 0x51 || Le32(payload + 4) != 0 ||
                payload[3] != 0) {
                Violation("camera control without its fixed bytes 0, 0x51, 0...");
                return;
            }
            message.SetType(msgtype::kRequest);
            message.AddNumberField("Command_Param", payload[0], payload[0] < 10 ? 0 : 2);
            break;
        default:
            Violation("unknown control message " + std::to_string(type));
            return;
    }
    if (type != 0x1001 && !channelZero) {
        Violation("control message " + std::to_string(type) + " for channel " +
                  std::to_string(Le32(payload)));
    }
    if (!session.media->Handle(message) && type != 0x1001) {
        Violation("control message " + std::to_string(type) + " not handled");
    }
}

}  // namespace orbisight::sim
