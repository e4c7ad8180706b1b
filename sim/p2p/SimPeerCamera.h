#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "media/p2p/PeerWire.h"
#include "sim/camera/SimCameraHooks.h"
#include "sim/common/SimService.h"

namespace orbisight::sim {

// The peer-to-peer side of a simulated camera: registers the camera's
// identifier with the rendezvous service, accepts the sessions offered,
// checks the AV login ("admin" / "qv7kd"), and streams what the camera
// streams on its direct connection (the same media session, H.264 and AAC)
// as AV frames with their 16-byte information, cut into pieces. Control
// messages: 511 starts the video, 768/769 start/stop the sound, 800 sets
// the quality (1 high, 3 middle, anything else low) and answers 801, 804
// sets the motion alert and answers 805, 806 is answered with 807 (the
// alert flag at offset 4), 4097 is the camera control of byte 0 (pan/tilt
// as on the direct connection). Anything else from the client is a
// violation (counted, on stderr). Thread "sim/p2pcam".
class SimPeerCamera : public SimService {
  public:
    SimPeerCamera(SimCameraMedia& media, std::string id, const sockaddr_in& rendezvous);
    ~SimPeerCamera() override;

    // Throws std::runtime_error when no socket can be had.
    void Start();
    void Stop() override;
    std::vector<SimServiceInfo> Describe() const override;

    const std::string& Id() const { return id_; }
    bool Registered() const { return registered_.load(); }

    std::atomic<uint64_t> sessions{0};
    std::atomic<uint64_t> framesSent{0};
    std::atomic<uint64_t> controls{0};
    std::atomic<uint64_t> violations{0};
    // The last control message type received (0: none).
    std::atomic<uint32_t> lastControl{0};

  private:
    using Clock = std::chrono::steady_clock;
    class Connection;
    struct Session {
        uint8_t channel = 0;
        bool loggedIn = false;
        Clock::time_point lastHeard;
        std::unique_ptr<Connection> connection;
        std::unique_ptr<SimMediaSession> media;
    };

    void Loop();
    void Handle(const p2p::Datagram& d);
    void HandleControl(uint32_t sessionId, Session& session, uint32_t type, const uint8_t* payload,
                       size_t size);
    void Violation(const std::string& text);
    void Send(const std::vector<uint8_t>& datagram);
    // Ends a session: its streaming stops before it goes.
    void EndSession(uint32_t id, bool tell);

    SimCameraMedia& media_;
    const std::string id_;
    const sockaddr_in rendezvous_;
    int socket_ = -1;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> registered_{false};
    std::map<uint32_t, Session> sessions_;  // loop thread only
};

}  // namespace orbisight::sim
