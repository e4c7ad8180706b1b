#include "media/p2p/PeerClient.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "media/p2p/PeerFrameInfo.h"
#include "platform/WorkerThread.h"

namespace orbisight::p2p {
namespace {

constexpr int kResendMs = 500;
constexpr int kPingMs = 1000;
constexpr int kLostAfterMs = 5000;
// Long enough that a live stream (25 fps: a frame every 40 ms) never comes
// back empty: the caller pauses after an empty result.
constexpr int kFrameWaitMs = 200;
constexpr size_t kMaxVideoFrames = 120;
constexpr size_t kMaxVideoBytes = 8u << 20;
constexpr size_t kMaxAudioFrames = 256;
constexpr size_t kMaxControls = 32;
constexpr int kMaxAvChannels = 128;

int CopyOut(const std::vector<uint8_t>& data, size_t count, char* buffer, int size) {
    size_t n = std::min(count, static_cast<size_t>(std::max(size, 0)));
    if (n != 0) {
        std::memcpy(buffer, data.data(), n);
    }
    return static_cast<int>(n);
}

}  // namespace

bool ParseEndpoint(const char* text, bool allowNames, sockaddr_in& out) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    std::string host = text;
    int port = kDefaultRendezvousPort;
    if (size_t colon = host.rfind(':'); colon != std::string::npos) {
        std::string digits = host.substr(colon + 1);
        host.resize(colon);
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        port = std::stoi(digits);
        if (port < 1 || port > 65535) {
            return false;
        }
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1) {
        out = address;
        return true;
    }
    if (!allowNames) {
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    address.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    out = address;
    return true;
}

PeerClient& PeerClient::Instance() {
    static PeerClient client;
    return client;
}

PeerClient::~PeerClient() {
    Shutdown();
}

int PeerClient::Initialize(int udpPort, const char* address1, const char* address2,
                           const char* host1, const char* host2) {
    std::lock_guard init(initMutex_);
    if (socket_ >= 0) {
        return 0;
    }
    sockaddr_in target{};
    if (!ParseEndpoint(address1, false, target) && !ParseEndpoint(address2, false, target) &&
        !ParseEndpoint(host1, true, target) && !ParseEndpoint(host2, true, target)) {
        return kPeerErrorNoRendezvous;
    }
    if (udpPort < 0 || udpPort > 65535) {
        return kPeerErrorInvalidArgument;
    }
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return kPeerErrorNoRendezvous;
    }
    int buffer = 4 << 20;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(udpPort));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(s);
        return kPeerErrorNoRendezvous;
    }
    rendezvous_ = target;
    socket_ = s;
    stopping_.store(false);
    {
        std::lock_guard lock(mutex_);
        nextNonce_ = std::random_device{}() | 1u;
    }
    thread_ = std::thread([this] {
        SetCurrentThreadName("p2p/recv");
        ReceiveLoop();
    });
    return 0;
}

int PeerClient::InitializeAv(int maxChannels) {
    if (maxChannels < 1 || maxChannels > kMaxAvChannels) {
        return kPeerErrorInvalidArgument;
    }
    std::lock_guard lock(mutex_);
    maxChannels_ = maxChannels;
    return 0;
}

void PeerClient::Shutdown() {
    std::lock_guard init(initMutex_);
    if (socket_ < 0) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, session] : sessions_) {
            if (!session.lost) {
                Send(BuildSessionOnly(Kind::kClose, id));
            }
        }
    }
    stopping_.store(true);
    ::shutdown(socket_, SHUT_RDWR);
    if (thread_.joinable()) {
        thread_.join();
    }
    ::close(socket_);
    socket_ = -1;
    std::lock_guard lock(mutex_);
    sessions_.clear();
    channels_.clear();
    connecting_.clear();
    connectedSessions_.clear();
    changed_.notify_all();
}

void PeerClient::Send(const std::vector<uint8_t>& datagram) {
    if (socket_ < 0) {
        return;
    }
    ::sendto(socket_, datagram.data(), datagram.size(), MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&rendezvous_), sizeof rendezvous_);
}

bool PeerClient::WaitStep(std::unique_lock<std::mutex>& lock, Clock::time_point until,
                          const std::atomic<bool>* cancel) {
    // Cancel flags are plain flags: look at them at least every 50 ms.
    auto step = std::min(until, Clock::now() + std::chrono::milliseconds(50));
    changed_.wait_until(lock, step);
    return cancel == nullptr || !cancel->load();
}

int PeerClient::Connect(const char* id, const std::atomic<bool>* cancel, int timeoutMs) {
    if (socket_ < 0) {
        return kPeerErrorNotInitialised;
    }
    size_t length = id == nullptr ? 0 : std::strlen(id);
    if (length == 0 || length > kMaxIdLength) {
        return kPeerErrorInvalidArgument;
    }
    std::unique_lock lock(mutex_);
    uint32_t nonce = nextNonce_++;
    connecting_[nonce] = {};
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto nextSend = Clock::now();
    int result = kPeerErrorTimeout;
    for (;;) {
        auto now = Clock::now();
        PendingConnect& pending = connecting_[nonce];
        if (pending.done) {
            result = pending.result;
            break;
        }
        if (now >= deadline) {
            break;
        }
        if (socket_ < 0 || stopping_.load()) {
            result = kPeerErrorNotInitialised;
            break;
        }
        if (now >= nextSend) {
            Send(BuildConnect(nonce, std::string_view(id, length)));
            nextSend = now + std::chrono::milliseconds(kResendMs);
        }
        if (!WaitStep(lock, std::min(deadline, nextSend), cancel)) {
            result = kPeerErrorCancelled;
            break;
        }
    }
    connecting_.erase(nonce);
    if (result > 0) {
        return result;
    }
    // A session that arrives after we gave up is closed when it comes.
    return result;
}

int PeerClient::CheckSession(int session, PeerSessionInfo* info) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(static_cast<uint32_t>(session));
    if (session <= 0 || it == sessions_.end()) {
        return kPeerErrorInvalidArgument;
    }
    if (info != nullptr) {
        *info = {};
        info->mode = 2;
        inet_ntop(AF_INET, &rendezvous_.sin_addr, info->remoteAddress, sizeof info->remoteAddress);
        info->remotePort = ntohs(rendezvous_.sin_port);
        info->relaySession = static_cast<uint32_t>(session);
    }
    return it->second.lost ? kPeerErrorSessionClosed : 0;
}

bool PeerClient::SessionUsable(uint32_t session) const {
    auto it = sessions_.find(session);
    return it != sessions_.end() && !it->second.lost;
}

PeerClient::Channel* PeerClient::FindChannel(int avIndex) {
    auto it = channels_.find(avIndex);
    return it == channels_.end() ? nullptr : &it->second;
}

int PeerClient::ClientStart(int session, const char* account, const char* password,
                            unsigned timeoutSec, unsigned* serviceType, unsigned char iotcChannel,
                            int* resend, const std::atomic<bool>* cancel) {
    if (account == nullptr || password == nullptr || std::strlen(account) > kMaxNameLength ||
        std::strlen(password) > kMaxNameLength || *account == '\0' || *password == '\0') {
        return kPeerErrorInvalidArgument;
    }
    std::unique_lock lock(mutex_);
    uint32_t sid = static_cast<uint32_t>(session);
    if (session <= 0 || !SessionUsable(sid)) {
        return kPeerErrorSessionClosed;
    }
    int index = -1;
    for (int i = 0; i < maxChannels_; ++i) {
        if (channels_.count(i) == 0) {
            index = i;
            break;
        }
    }
    if (index < 0) {
        return kPeerErrorNoChannel;
    }
    Channel& created = channels_[index];
    created.session = sid;
    created.iotcChannel = iotcChannel;
    auto deadline = Clock::now() + std::chrono::seconds(timeoutSec);
    auto nextSend = Clock::now();
    int result = kPeerErrorTimeout;
    for (;;) {
        Channel* channel = FindChannel(index);
        if (channel == nullptr || !SessionUsable(sid)) {
            result = kPeerErrorSessionClosed;
            break;
        }
        if (channel->login == 1) {
            if (serviceType != nullptr) {
                *serviceType = channel->serviceType;
            }
            if (resend != nullptr) {
                *resend = 0;
            }
            return index;
        }
        if (channel->login < 0) {
            result = kPeerErrorLoginRefused;
            break;
        }
        auto now = Clock::now();
        if (now >= deadline) {
            break;
        }
        if (now >= nextSend) {
            Send(BuildAvLogin(sid, iotcChannel, account, password));
            nextSend = now + std::chrono::milliseconds(kResendMs);
        }
        if (!WaitStep(lock, std::min(deadline, nextSend), cancel)) {
            result = kPeerErrorCancelled;
            break;
        }
    }
    channels_.erase(index);
    return result;
}

int PeerClient::SendIoctrl(int avIndex, unsigned type, const char* payload, int size) {
    if (size < 0 || static_cast<size_t>(size) > kMaxIoctrlSize || (size > 0 && !payload)) {
        return kPeerErrorInvalidArgument;
    }
    std::lock_guard lock(mutex_);
    Channel* channel = FindChannel(avIndex);
    if (channel == nullptr || channel->login != 1 || !SessionUsable(channel->session)) {
        return kPeerErrorSessionClosed;
    }
    Send(BuildAvIoctrl(channel->session, channel->iotcChannel, type,
                       reinterpret_cast<const uint8_t*>(payload), static_cast<size_t>(size)));
    return 0;
}

int PeerClient::RecvIoctrl(int avIndex, unsigned* type, char* buffer, int size,
                           unsigned timeoutMs) {
    std::unique_lock lock(mutex_);
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Channel* channel = FindChannel(avIndex);
        if (channel == nullptr) {
            return kPeerErrorSessionClosed;
        }
        if (!channel->controls.empty()) {
            Control control = std::move(channel->controls.front());
            channel->controls.pop_front();
            if (type != nullptr) {
                *type = control.type;
            }
            return CopyOut(control.payload, control.payload.size(), buffer, size);
        }
        if (!SessionUsable(channel->session)) {
            return kPeerErrorSessionClosed;
        }
        if (Clock::now() >= deadline) {
            return kPeerErrorNotReady;
        }
        changed_.wait_until(lock, deadline);
    }
}

int PeerClient::RecvFrame(int avIndex, char* buffer, int size, int* actualSize, int* expectedSize,
                          char* info, int infoSize, int* infoActual, unsigned* frameIndex) {
    if (buffer == nullptr || size <= 0) {
        return kPeerErrorInvalidArgument;
    }
    std::unique_lock lock(mutex_);
    auto deadline = Clock::now() + std::chrono::milliseconds(kFrameWaitMs);
    for (;;) {
        Channel* channel = FindChannel(avIndex);
        if (channel == nullptr) {
            return kPeerErrorSessionClosed;
        }
        if (!channel->video.empty()) {
            Frame frame = std::move(channel->video.front());
            channel->video.pop_front();
            channel->videoBytes -= frame.data.size();
            if (frame.received > static_cast<size_t>(size)) {
                return kPeerErrorBufferTooSmall;  // the frame is gone, as a too-big one should be
            }
            int copied = CopyOut(frame.data, frame.received, buffer, size);
            if (actualSize != nullptr) {
                *actualSize = copied;
            }
            if (expectedSize != nullptr) {
                *expectedSize = static_cast<int>(frame.size);
            }
            int infoCopied = std::clamp(infoSize, 0, static_cast<int>(kFrameInfoSize));
            if (info != nullptr && infoCopied > 0) {
                std::memcpy(info, frame.info, static_cast<size_t>(infoCopied));
            }
            if (infoActual != nullptr) {
                *infoActual = infoCopied;
            }
            if (frameIndex != nullptr) {
                *frameIndex = frame.index;
            }
            return copied;
        }
        if (!SessionUsable(channel->session)) {
            return kPeerErrorSessionClosed;
        }
        if (Clock::now() >= deadline) {
            return kPeerErrorNotReady;
        }
        changed_.wait_until(lock, deadline);
    }
}

int PeerClient::CheckAudio(int avIndex) {
    std::lock_guard lock(mutex_);
    Channel* channel = FindChannel(avIndex);
    if (channel == nullptr) {
        return kPeerErrorSessionClosed;
    }
    return static_cast<int>(channel->audio.size());
}

int PeerClient::RecvAudio(int avIndex, char* buffer, int size, char* info, int infoSize,
                          unsigned* frameIndex) {
    if (buffer == nullptr || size <= 0) {
        return kPeerErrorInvalidArgument;
    }
    std::lock_guard lock(mutex_);
    Channel* channel = FindChannel(avIndex);
    if (channel == nullptr) {
        return kPeerErrorSessionClosed;
    }
    if (channel->audio.empty()) {
        return SessionUsable(channel->session) ? kPeerErrorNotReady : kPeerErrorSessionClosed;
    }
    Frame frame = std::move(channel->audio.front());
    channel->audio.pop_front();
    if (frame.received > static_cast<size_t>(size)) {
        return kPeerErrorBufferTooSmall;
    }
    int copied = CopyOut(frame.data, frame.received, buffer, size);
    int infoCopied = std::clamp(infoSize, 0, static_cast<int>(kFrameInfoSize));
    if (info != nullptr && infoCopied > 0) {
        std::memcpy(info, frame.info, static_cast<size_t>(infoCopied));
    }
    if (frameIndex != nullptr) {
        *frameIndex = frame.index;
    }
    return copied;
}

void PeerClient::ClientStop(int avIndex) {
    std::lock_guard lock(mutex_);
    Channel* channel = FindChannel(avIndex);
    if (channel == nullptr) {
        return;
    }
    if (SessionUsable(channel->session)) {
        Send(BuildAvStop(channel->session, channel->iotcChannel));
    }
    channels_.erase(avIndex);
    changed_.notify_all();
}

int PeerClient::CloseSession(int session) {
    std::lock_guard lock(mutex_);
    uint32_t sid = static_cast<uint32_t>(session);
    auto it = sessions_.find(sid);
    if (session <= 0 || it == sessions_.end()) {
        return kPeerErrorInvalidArgument;
    }
    if (!it->second.lost) {
        Send(BuildSessionOnly(Kind::kClose, sid));
    }
    sessions_.erase(it);
    for (auto c = channels_.begin(); c != channels_.end();) {
        c = c->second.session == sid ? channels_.erase(c) : std::next(c);
    }
    changed_.notify_all();
    return 0;
}

int PeerClient::InjectSession(uint32_t session) {
    std::lock_guard lock(mutex_);
    sessions_[session] = Session{false, Clock::now()};
    int index = 0;
    while (channels_.count(index) != 0) {
        ++index;
    }
    Channel& channel = channels_[index];
    channel.session = session;
    channel.login = 1;
    return index;
}

void PeerClient::InjectDatagram(const uint8_t* bytes, size_t size) {
    Datagram d;
    std::lock_guard lock(mutex_);
    ++counters_.datagramsIn;
    if (!ParseDatagram(bytes, size, d)) {
        ++counters_.badDatagrams;
        return;
    }
    Handle(d);
}

size_t PeerClient::QueuedVideo(int avIndex) {
    std::lock_guard lock(mutex_);
    Channel* channel = FindChannel(avIndex);
    return channel == nullptr ? 0 : channel->video.size();
}

PeerClient::Counters PeerClient::Read() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

void PeerClient::ReceiveLoop() {
    std::vector<uint8_t> buffer(kMaxDatagram + 1);
    auto nextPing = Clock::now();
    while (!stopping_.load()) {
        pollfd p{socket_, POLLIN, 0};
        int ready = ::poll(&p, 1, 100);
        auto now = Clock::now();
        if (now >= nextPing) {
            KeepAlive(now);
            nextPing = now + std::chrono::milliseconds(kPingMs);
        }
        if (ready <= 0) {
            continue;
        }
        // Drain what is there before looking at the clock again.
        for (int i = 0; i < 256 && !stopping_.load(); ++i) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            ssize_t n = ::recvfrom(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n < 0) {
                break;
            }
            Datagram d;
            std::lock_guard lock(mutex_);
            ++counters_.datagramsIn;
            // Only the rendezvous service speaks to us.
            if (from.sin_addr.s_addr != rendezvous_.sin_addr.s_addr ||
                from.sin_port != rendezvous_.sin_port ||
                !ParseDatagram(buffer.data(), static_cast<size_t>(n), d)) {
                ++counters_.badDatagrams;
                continue;
            }
            Handle(d);
        }
    }
}

void PeerClient::KeepAlive(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    bool changed = false;
    for (auto& [id, session] : sessions_) {
        if (session.lost) {
            continue;
        }
        if (now - session.lastHeard > std::chrono::milliseconds(kLostAfterMs)) {
            session.lost = true;
            ++counters_.sessionsLost;
            changed = true;
            continue;
        }
        Send(BuildSessionOnly(Kind::kPing, id));
    }
    if (changed) {
        changed_.notify_all();
    }
}

void PeerClient::Handle(const Datagram& d) {
    switch (d.kind) {
        case Kind::kConnected: {
            auto it = connecting_.find(d.nonce);
            if (d.session == 0 || d.session > 0x7fffffffu || sessions_.count(d.session) != 0) {
                ++counters_.badDatagrams;
                return;
            }
            if (it == connecting_.end() || it->second.done) {
                // Nobody waits for it (any more): not ours to keep.
                Send(BuildSessionOnly(Kind::kClose, d.session));
                return;
            }
            sessions_[d.session] = Session{false, Clock::now()};
            it->second.done = true;
            it->second.result = static_cast<int>(d.session);
            break;
        }
        case Kind::kRefused: {
            auto it = connecting_.find(d.nonce);
            if (it == connecting_.end() || it->second.done) {
                return;
            }
            it->second.done = true;
            it->second.result = d.reason == static_cast<uint8_t>(RefuseReason::kUnknownId)
                                    ? kPeerErrorUnknownId
                                    : kPeerErrorRefused;
            break;
        }
        case Kind::kClose: {
            auto it = sessions_.find(d.session);
            if (it == sessions_.end()) {
                return;
            }
            if (!it->second.lost) {
                it->second.lost = true;
                ++counters_.sessionsLost;
            }
            break;
        }
        case Kind::kPing: {
            auto it = sessions_.find(d.session);
            if (it != sessions_.end() && !it->second.lost) {
                it->second.lastHeard = Clock::now();
            }
            return;
        }
        case Kind::kData: {
            auto it = sessions_.find(d.session);
            if (it == sessions_.end() || it->second.lost) {
                ++counters_.badDatagrams;
                return;
            }
            it->second.lastHeard = Clock::now();
            Channel* channel = nullptr;
            for (auto& [index, c] : channels_) {
                if (c.session == d.session && c.iotcChannel == d.channel) {
                    channel = &c;
                    break;
                }
            }
            if (channel == nullptr) {
                return;  // a channel we stopped: its last frames still come
            }
            switch (d.av) {
                case AvKind::kLoginReply:
                    if (channel->login == 0) {
                        channel->login = d.result == kLoginAccepted ? 1 : -1;
                        channel->serviceType = d.serviceType;
                    }
                    break;
                case AvKind::kIoctrl: {
                    if (channel->login != 1) {
                        return;
                    }
                    Control control;
                    control.type = d.ioType;
                    control.payload.assign(d.payload, d.payload + d.payloadSize);
                    channel->controls.push_back(std::move(control));
                    if (channel->controls.size() > kMaxControls) {
                        channel->controls.pop_front();
                    }
                    break;
                }
                case AvKind::kFrame:
                    if (channel->login != 1) {
                        return;
                    }
                    HandleFrame(*channel, d);
                    break;
                default:
                    ++counters_.badDatagrams;  // not for a client
                    return;
            }
            break;
        }
        default:
            ++counters_.badDatagrams;  // camera-side datagrams
            return;
    }
    changed_.notify_all();
}

void PeerClient::HandleFrame(Channel& channel, const Datagram& d) {
    if (channel.assembling && d.frameIndex != channel.current.index) {
        FinishFrame(channel);  // a piece of the next frame: this one stays incomplete
    }
    if (!channel.assembling) {
        channel.assembling = true;
        channel.current = Frame{};
        channel.current.index = d.frameIndex;
        channel.current.size = d.frameSize;
        channel.current.data.assign(d.frameSize, 0);
        std::memcpy(channel.current.info, d.info, kFrameInfoSize);
        channel.pieces = d.pieces;
        channel.got = 0;
        channel.have.assign(d.pieces, false);
    }
    if (d.frameSize != channel.current.size || d.pieces != channel.pieces ||
        channel.have[d.piece]) {
        ++counters_.badDatagrams;  // disagrees with its first piece, or a duplicate
        return;
    }
    channel.have[d.piece] = true;
    ++channel.got;
    std::memcpy(channel.current.data.data() + static_cast<size_t>(d.piece) * kPieceSize, d.payload,
                d.payloadSize);
    channel.current.received += d.payloadSize;
    if (channel.got == channel.pieces) {
        FinishFrame(channel);
    }
}

void PeerClient::FinishFrame(Channel& channel) {
    channel.assembling = false;
    Frame frame = std::move(channel.current);
    channel.current = Frame{};
    if (frame.received == frame.size) {
        ++counters_.framesComplete;
    } else {
        ++counters_.framesIncomplete;
    }
    QueueFrame(channel, std::move(frame));
}

void PeerClient::QueueFrame(Channel& channel, Frame&& frame) {
    AvFrameInfo info = AvFrameInfo::Read(frame.info);
    if (info.codec == kCodecAudio) {
        channel.audio.push_back(std::move(frame));
        if (channel.audio.size() > kMaxAudioFrames) {
            channel.audio.pop_front();
            ++counters_.framesDropped;
        }
        return;
    }
    bool key = info.flags == 1;
    if (channel.skipToKey && !key) {
        ++counters_.framesDropped;
        return;
    }
    if (channel.video.size() >= kMaxVideoFrames ||
        channel.videoBytes + frame.data.size() > kMaxVideoBytes) {
        // The reader fell behind: what follows would refer to this frame.
        channel.skipToKey = true;
        ++counters_.framesDropped;
        return;
    }
    channel.skipToKey = false;
    channel.videoBytes += frame.data.size();
    channel.video.push_back(std::move(frame));
}

}  // namespace orbisight::p2p
