#include "media/LiveLink.h"

#include <sys/socket.h>

#include <algorithm>

#include "platform/Socket.h"

namespace orbisight {
namespace {

// The receive buffer of a channel; a message body must also fit it.
constexpr size_t kReceiveBufferSize = 3110400;

}  // namespace

// Not zero-filled: only bytes received into it are ever read.
LiveLink::LiveLink()
    : receiveBuffer_(std::make_unique_for_overwrite<uint8_t[]>(kReceiveBufferSize)) {}

LiveLink::~LiveLink() {
    CloseSocket();
}

void LiveLink::SetAddresses(const ChannelAddresses& addresses) {
    std::lock_guard lock(addressMutex_);
    addresses_ = addresses;
}

ChannelAddresses LiveLink::Addresses() const {
    std::lock_guard lock(addressMutex_);
    return addresses_;
}

bool LiveLink::TryConnect(const std::string& host, uint16_t port, bool remote,
                          const std::atomic<bool>* cancel) {
    if (host.empty() || port == 0) {
        return false;
    }
    int s = ConnectTcp(host.c_str(), port, kConnectTimeoutMs, cancel);
    if (s < 0) {
        return false;
    }
    std::unique_lock lock(socketMutex_);
    if (shutdownRequested_ || (cancel != nullptr && cancel->load())) {
        lock.unlock();
        orbisight::CloseSocket(s);
        return false;
    }
    socket_ = s;
    connection_.store(++lastConnection_);
    remote_.store(remote);
    return true;
}

bool LiveLink::Connect(bool tryRemote, const std::atomic<bool>* cancel) {
    CloseSocket();
    ChannelAddresses addresses = Addresses();
    if (tryRemote && !addresses.remoteHost.empty()) {
        remote_.store(true);
        if (TryConnect(addresses.remoteHost, addresses.remotePort, true, cancel)) {
            return true;
        }
    }
    remote_.store(false);
    return TryConnect(addresses.directHost, addresses.directPort, false, cancel);
}

bool LiveLink::Send(CHalvexProtocolAX& message) {
    std::shared_lock lock(socketMutex_);
    if (socket_ < 0) {
        return false;
    }
    return SendMessage(socket_, message, kSendTimeoutMs) == message.TotalLength();
}

bool LiveLink::SendOn(uint64_t connection, CHalvexProtocolAX& message) {
    std::shared_lock lock(socketMutex_);
    if (socket_ < 0 || connection == 0 || connection_.load() != connection) {
        return false;
    }
    return SendMessage(socket_, message, kSendTimeoutMs) == message.TotalLength();
}

LiveLink::Received LiveLink::Receive(CHalvexProtocolAX& message) {
    int s;
    {
        std::shared_lock lock(socketMutex_);
        s = socket_;
    }
    if (s < 0) {
        return Received::kFailed;
    }
    // The descriptor stays valid while we read: only this thread (or the
    // final close, after this thread has ended) replaces it.
    ReceiveResult result = ReceiveMessage(s, kHeaderTimeoutMs, kBodyTimeoutMs, kMaxBody,
                                          receiveBuffer_.get(), kReceiveBufferSize, message);
    switch (result) {
        case ReceiveResult::kOk:
            return Received::kMessage;
        case ReceiveResult::kTooLong:
            break;
        default:
            return Received::kFailed;
    }
    // Read the over-long body and throw it away, so the next header is read
    // where it starts; not reading it would take body bytes for headers.
    int bodyLength = 0;
    ParseHexDigits(receiveBuffer_.get() + 8, 6, bodyLength);
    while (bodyLength > 0) {
        int chunk = std::min(bodyLength, static_cast<int>(kReceiveBufferSize));
        if (ReceiveExact(kBodyTimeoutMs, s, chunk, receiveBuffer_.get()) != chunk) {
            return Received::kFailed;
        }
        bodyLength -= chunk;
    }
    return Received::kSkipped;
}

bool LiveLink::IsOpen() const {
    std::shared_lock lock(socketMutex_);
    return socket_ >= 0;
}

uint16_t LiveLink::LocalPortForTests() const {
    std::shared_lock lock(socketMutex_);
    return LocalPort(socket_);
}

void LiveLink::Shutdown() {
    std::unique_lock lock(socketMutex_);
    shutdownRequested_ = true;
    if (socket_ >= 0) {
        // Reading side only: a blocked receive returns at once, and the stop
        // command can still be sent before the socket is closed.
        ::shutdown(socket_, SHUT_RD);
    }
}

void LiveLink::Reopen() {
    std::unique_lock lock(socketMutex_);
    shutdownRequested_ = false;
}

void LiveLink::CloseSocket() {
    int s;
    {
        std::unique_lock lock(socketMutex_);
        s = socket_;
        socket_ = -1;
        connection_.store(0);
    }
    orbisight::CloseSocket(s);
}

}  // namespace orbisight
