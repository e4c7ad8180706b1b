#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/WorkerThread.h"

namespace orbisight {

class CHalvexProtocolAX;
class ChannelRecord;
class DeviceDirectory;
class LiveLink;

// The receiving side of a live channel: connects and logs in, reads the
// camera's messages and acts on them, reconnects after a failure and keeps
// the connection alive. Threads: receive ("<name>/recv", highest priority)
// and keep-alive ("<name>/alive").
//
// What the messages mean for the channel goes up through Host; the calls
// come from the receive thread (and, for the first connection, from the
// thread that runs ConnectAndLogin in Open).
class ChannelReceiver {
  public:
    static constexpr int kKeepAliveIntervalMs = 10000;
    static constexpr int kReconnectPauseMs = 1000;

    class Host {
      public:
        virtual ~Host() = default;
        // A socket to the camera is open; what is split from now on belongs
        // to the new connection (before the login is sent).
        virtual void OnNewConnection() = 0;
        // The login reply arrived.
        virtual void OnLoggedIn() = 0;
        // The "Data" value of a media message (non-empty).
        virtual void OnMedia(const uint8_t* data, size_t length) = 0;
        // "RetAlert" of a reply: "On" (true), "Off" or "Fail" (false).
        virtual void OnAlert(bool on) = 0;
        // The outcome of a reconnection attempt (not of Open's first one).
        virtual void OnReconnected(bool connected) = 0;
        // Whether an address refresh may take a peer-to-peer identifier.
        virtual bool PeerAllowed() const = 0;
    };

    // offlineRetryMs: how often a camera that the account's list showed
    // off-line is still tried (its record copy never learns that it came
    // back), instead of every second.
    ChannelReceiver(LiveLink& link, ChannelRecord& record, const DeviceDirectory* directory,
                    int offlineRetryMs, const std::atomic<bool>& stopping, Host& host);
    ChannelReceiver(const ChannelReceiver&) = delete;
    ChannelReceiver& operator=(const ChannelReceiver&) = delete;

    // 1 logged in, 0 no connection, 2 no answer, 4 no record.
    int ConnectAndLogin();

    // Starts the receive and keep-alive threads.
    void Start(const std::string& name);
    bool Running() const { return receiveThread_.Running(); }
    void SignalStop();
    // Waits for the receive thread, then the keep-alive thread, each up to
    // waitMs.
    void Join(int waitMs);

    bool LoggedIn() const { return loggedIn_.load(); }
    void ClearLoggedIn() { loggedIn_.store(false); }
    uint64_t ReconnectAttempts() const { return reconnectAttempts_.load(); }
    uint64_t Reconnects() const { return reconnects_.load(); }
    uint64_t OverlongMessages() const { return overlong_.load(); }

  private:
    enum class ReadOutcome {
        kMessage,  // a whole message, acted on
        kSkipped,  // an over-long message, read and thrown away: still in step
        kFailed,   // the connection is unusable
    };
    ReadOutcome ReceiveOne();
    void Dispatch(CHalvexProtocolAX& message);
    bool RefreshAddresses();
    void ReceiveLoop(AutoResetEvent& stop);
    void KeepAliveLoop(AutoResetEvent& stop);

    LiveLink& link_;
    ChannelRecord& record_;
    const DeviceDirectory* const directory_;
    const int offlineRetryMs_;
    const std::atomic<bool>& stopping_;
    Host& host_;

    WorkerThread receiveThread_;
    WorkerThread keepAliveThread_;

    std::atomic<bool> loggedIn_{false};
    std::atomic<uint64_t> reconnectAttempts_{0};
    std::atomic<uint64_t> reconnects_{0};
    std::atomic<uint64_t> overlong_{0};
    std::atomic<uint64_t> failures_{0};  // failed reads and attempts without a socket
};

}  // namespace orbisight
