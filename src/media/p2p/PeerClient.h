#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/p2p/PeerApi.h"
#include "media/p2p/PeerWire.h"

namespace orbisight::p2p {

// "a.b.c.d" or "a.b.c.d:port" (the default rendezvous port when none is
// given); host names too when allowNames. False for anything else.
bool ParseEndpoint(const char* text, bool allowNames, sockaddr_in& out);

// The client side of the peer-to-peer service: one UDP socket towards the
// rendezvous service and one receiving thread ("p2p/recv") that answers
// the connection steps, keeps the sessions alive, rebuilds frames from
// their pieces and queues them per AV channel. The IOTC/AV calls of
// PeerApi.h work on the process's instance; tests may make their own.
//
// Limits: 128 AV channels; per channel 120 video frames or 8 MiB queued
// (beyond that a frame is dropped and video frames are skipped up to the
// next key frame), 256 audio frames and 32 control messages (the oldest go).
// A session from which nothing came for 5 s counts as lost.
class PeerClient {
  public:
    PeerClient() = default;
    ~PeerClient();
    PeerClient(const PeerClient&) = delete;
    PeerClient& operator=(const PeerClient&) = delete;

    static PeerClient& Instance();

    int Initialize(int udpPort, const char* address1, const char* address2, const char* host1,
                   const char* host2);
    int InitializeAv(int maxChannels);
    bool Initialized() const { return socket_ >= 0; }
    // Closes every session and the socket; Initialize may follow.
    void Shutdown();

    int Connect(const char* id, const std::atomic<bool>* cancel, int timeoutMs = 10000);
    int CheckSession(int session, PeerSessionInfo* info);
    int ClientStart(int session, const char* account, const char* password, unsigned timeoutSec,
                    unsigned* serviceType, unsigned char iotcChannel, int* resend,
                    const std::atomic<bool>* cancel);
    int SendIoctrl(int avIndex, unsigned type, const char* payload, int size);
    int RecvIoctrl(int avIndex, unsigned* type, char* buffer, int size, unsigned timeoutMs);
    int RecvFrame(int avIndex, char* buffer, int size, int* actualSize, int* expectedSize,
                  char* info, int infoSize, int* infoActual, unsigned* frameIndex);
    int CheckAudio(int avIndex);
    int RecvAudio(int avIndex, char* buffer, int size, char* info, int infoSize,
                  unsigned* frameIndex);
    void ClientStop(int avIndex);
    int CloseSession(int session);

    // For the fuzz targets: a session `session` with AV channel 0 logged in,
    // without any network (no socket needed), and datagrams handled as if
    // the rendezvous service had sent them. Index of the AV channel.
    int InjectSession(uint32_t session);
    void InjectDatagram(const uint8_t* bytes, size_t size);
    // Video frames waiting on an AV channel.
    size_t QueuedVideo(int avIndex);

    struct Counters {
        uint64_t datagramsIn = 0;
        uint64_t badDatagrams = 0;  // refused by the parser or for an unknown session
        uint64_t framesComplete = 0;
        uint64_t framesIncomplete = 0;
        uint64_t framesDropped = 0;  // full queue, or skipped up to a key frame
        uint64_t sessionsLost = 0;
    };
    Counters Read() const;

  private:
    using Clock = std::chrono::steady_clock;

    struct Frame {
        std::vector<uint8_t> data;
        size_t received = 0;
        uint32_t size = 0;
        uint32_t index = 0;
        uint8_t info[kFrameInfoSize] = {};
    };
    struct Control {
        uint32_t type = 0;
        std::vector<uint8_t> payload;
    };
    struct Channel {
        uint32_t session = 0;
        uint8_t iotcChannel = 0;
        int login = 0;  // 0 waiting, 1 accepted, -1 refused
        uint32_t serviceType = 0;
        // The frame being put together.
        bool assembling = false;
        Frame current;
        std::vector<bool> have;
        uint16_t pieces = 0;
        uint16_t got = 0;
        bool skipToKey = false;
        size_t videoBytes = 0;
        std::deque<Frame> video;
        std::deque<Frame> audio;
        std::deque<Control> controls;
    };
    struct Session {
        bool lost = false;
        Clock::time_point lastHeard;
    };
    struct PendingConnect {
        bool done = false;
        int result = 0;
    };

    void Send(const std::vector<uint8_t>& datagram);
    void ReceiveLoop();
    void Handle(const Datagram& d);
    void HandleFrame(Channel& channel, const Datagram& d);
    void FinishFrame(Channel& channel);
    void QueueFrame(Channel& channel, Frame&& frame);
    void KeepAlive(Clock::time_point now);
    // Under mutex_: the channel at avIndex, or null.
    Channel* FindChannel(int avIndex);
    bool SessionUsable(uint32_t session) const;
    // Waits on changed_ up to `until`; false once cancelled.
    bool WaitStep(std::unique_lock<std::mutex>& lock, Clock::time_point until,
                  const std::atomic<bool>* cancel);

    int socket_ = -1;
    sockaddr_in rendezvous_{};
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex initMutex_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int maxChannels_ = 128;                           // protected by mutex_
    std::map<uint32_t, Session> sessions_;            // protected by mutex_
    std::map<int, Channel> channels_;                 // protected by mutex_
    std::map<uint32_t, PendingConnect> connecting_;   // protected by mutex_
    std::map<uint32_t, uint32_t> connectedSessions_;  // nonce -> session; protected by mutex_
    uint32_t nextNonce_ = 1;                          // protected by mutex_
    Counters counters_;                               // protected by mutex_
};

}  // namespace orbisight::p2p
