#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "media/p2p/PeerWire.h"
#include "sim/common/SimService.h"

namespace orbisight::sim {

// The peer-to-peer rendezvous and relay service: cameras register their
// identifier, clients ask for a session by identifier, the camera accepts
// it, and from then on everything of the session (pings, AV messages,
// close) is relayed between the two. UDP on host:port (port 0: any free
// port). Thread "sim/p2p".
//
// Checks what it receives like a real service would: malformed datagrams,
// datagrams for unknown sessions and datagrams from an address that is not
// a side of their session are counted and dropped.
//
// Faults: DropSessions() forgets every session without telling either side
// (both notice the silence); SetRefuse(true) answers new sessions with a
// refusal. From orbisight-sim: the configuration's "p2p" object
// ("drop_every_s": N drops all sessions every N seconds) and the stdin
// commands "p2p drop", "p2p refuse on|off".
class SimRendezvous : public SimService {
  public:
    SimRendezvous(std::string host, int port);
    ~SimRendezvous() override;

    // Throws std::runtime_error when the port cannot be bound.
    void Start();
    void Stop() override;
    std::vector<SimServiceInfo> Describe() const override;
    int Port() const { return port_; }
    const std::string& Host() const { return host_; }

    // Takes the stdin commands "p2p drop" and "p2p refuse on|off".
    void AttachEvents(SimEventBus& bus);
    void DropSessions();
    void SetRefuse(bool on) { refuse_.store(on); }
    // Drops every session each `seconds` (0: never).
    void SetDropEvery(int seconds) { dropEveryS_.store(seconds); }

    struct Counters {
        uint64_t registered = 0;  // identifiers known now
        uint64_t sessions = 0;    // sessions accepted so far
        uint64_t open = 0;        // sessions open now
        uint64_t relayed = 0;     // datagrams relayed
        uint64_t refused = 0;
        uint64_t bad = 0;    // malformed, unknown session, wrong sender
        uint64_t drops = 0;  // DropSessions calls
    };
    Counters Read() const;

  private:
    using Clock = std::chrono::steady_clock;
    struct Camera {
        sockaddr_in address{};
        Clock::time_point lastSeen;
    };
    struct Session {
        sockaddr_in client{};
        sockaddr_in camera{};
        uint32_t nonce = 0;
        bool accepted = false;
        Clock::time_point created;
        Clock::time_point lastClient;
        Clock::time_point lastCamera;
    };

    void Loop();
    void Handle(const p2p::Datagram& d, const uint8_t* bytes, size_t size, const sockaddr_in& from);
    void Expire(Clock::time_point now);
    void SendTo(const sockaddr_in& to, const uint8_t* bytes, size_t size);
    void SendTo(const sockaddr_in& to, const std::vector<uint8_t>& bytes) {
        SendTo(to, bytes.data(), bytes.size());
    }

    const std::string host_;
    int port_;
    int socket_ = -1;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> refuse_{false};
    std::atomic<int> dropEveryS_{0};
    SimEventLink<SimRendezvous> events_;

    mutable std::mutex mutex_;
    std::map<std::string, Camera> cameras_;  // protected by mutex_
    std::map<uint32_t, Session> sessions_;   // protected by mutex_
    uint32_t nextSession_ = 0;               // protected by mutex_
    Counters counters_;                      // protected by mutex_
};

// Parses "a.b.c.d:port" ("a.b.c.d" takes the default port). False otherwise.
bool ParsePeerEndpoint(const std::string& text, sockaddr_in& out);
bool SameEndpoint(const sockaddr_in& a, const sockaddr_in& b);

}  // namespace orbisight::sim
