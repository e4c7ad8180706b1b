#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "device/CHalvexProtocolAX.h"
#include "media/AddressList.h"

namespace orbisight {

// The direct TCP connection of a live channel: the camera's addresses, the
// socket, whole-message sends from any thread and message reception on the
// receive thread.
//
// The socket is replaced only by the thread that runs the channel's
// connection step (the opening thread, then the receive thread) and by the
// final close; senders hold a shared lock while they send, so a message
// never goes to a descriptor that was closed and reused meanwhile.
class LiveLink {
  public:
    // The receive buffer: the largest message body a channel accepts.
    static constexpr int kMaxBody = 327678;
    static constexpr int kHeaderTimeoutMs = 6000;
    static constexpr int kBodyTimeoutMs = 10000;
    static constexpr int kConnectTimeoutMs = 2000;
    static constexpr int kSendTimeoutMs = 1000;

    enum class Received {
        kMessage,  // a whole message, parsed
        kSkipped,  // longer than kMaxBody: its body was read and thrown away
        kFailed,   // short read, closed connection, malformed header
    };

    LiveLink();
    ~LiveLink();
    LiveLink(const LiveLink&) = delete;
    LiveLink& operator=(const LiveLink&) = delete;

    void SetAddresses(const ChannelAddresses& addresses);
    ChannelAddresses Addresses() const;

    // Closes any open socket, then connects: the remote address first when
    // tryRemote is true, then the direct one. Empty hosts and port 0 are not
    // tried. cancel aborts a connection attempt. Returns true when a socket
    // is open; Remote() tells which address it reached.
    bool Connect(bool tryRemote, const std::atomic<bool>* cancel);

    // Sends a whole message with a 1000 ms send time-out. False when no
    // socket is open or the send failed.
    bool Send(CHalvexProtocolAX& message);

    // The number of the open connection (each socket the link opens gets the
    // next number), or 0 when none is open. Lock-free: the window reads it
    // to tag a queued request.
    uint64_t Connection() const { return connection_.load(); }
    // Send, but only while `connection` is still the open connection.
    bool SendOn(uint64_t connection, CHalvexProtocolAX& message);

    // Receives one message (header time-out 6000 ms, body 10000 ms).
    Received Receive(CHalvexProtocolAX& message);

    bool IsOpen() const;
    bool Remote() const { return remote_.load(); }
    uint16_t LocalPortForTests() const;

    // Wakes a blocked Receive and refuses new connections until Reopen();
    // sending stays possible (the stop command at close).
    void Shutdown();
    void Reopen();
    void CloseSocket();

  private:
    bool TryConnect(const std::string& host, uint16_t port, bool remote,
                    const std::atomic<bool>* cancel);

    mutable std::mutex addressMutex_;
    ChannelAddresses addresses_;  // protected by addressMutex_

    mutable std::shared_mutex socketMutex_;
    int socket_ = -1;                      // protected by socketMutex_
    uint64_t lastConnection_ = 0;          // protected by socketMutex_
    std::atomic<uint64_t> connection_{0};  // written under socketMutex_
    bool shutdownRequested_ = false;       // protected by socketMutex_
    std::atomic<bool> remote_{false};

    // Receive thread only.
    std::unique_ptr<uint8_t[]> receiveBuffer_;
};

}  // namespace orbisight
