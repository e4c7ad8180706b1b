#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "platform/WorkerThread.h"

namespace orbisight {

class PeerCalls;

// Where a channel finds the peer-to-peer service and how it paces itself.
struct PeerSettings {
    std::string rendezvousHost = "127.0.0.1";
    int rendezvousPort = 5570;
    // Pause after a failed frame receive; 60 failures in a row end the session.
    int errorPauseMs = 300;
    // A camera reachable only through its identifier tries again after a
    // lost or failed session: first after retryMinMs, doubling up to retryMaxMs.
    int retryMinMs = 2000;
    int retryMaxMs = 60000;
    // How long a control request waits for the camera's reply.
    int replyWaitMs = 1000;
};

// The peer-to-peer side of a live channel: connects to the camera through
// the rendezvous service by its identifier, receives its frames, rebuilds
// them into the channel's frame layout and hands them to the channel's
// splitting step, and sends the channel's control requests as AV control
// messages. Threads: connect ("<name>/p2pc"; also sends the control
// requests, so the window thread never waits for the network), video
// ("<name>/p2pv") and audio ("<name>/p2pa").
//
// State: 0 until connected and after a loss, 1 while connected. A session
// ends after 60 failed receives in a row (about 18 s without frames), after a
// failed connection or an unsent start-video message; then the transport
// stops and the channel's direct connection carries the camera, unless
// retryWhenLost was given (a camera without any direct address), in which
// case the connect thread tries again with a growing pause.
class PeerTransport {
  public:
    // What the transport needs from its channel (called on its threads).
    class Host {
      public:
        virtual ~Host() = default;
        // One rebuilt frame (header in network order, then the payload),
        // split under the channel's splitting mutex.
        virtual void SplitPeerFrame(const uint8_t* data, size_t size) = 0;
        // The direct stream command "Start" for the picture stream (sent
        // only while the direct socket is open).
        virtual void RequestDirectPicture() = 0;
        virtual void ClearListening() = 0;
        virtual bool Listening() const = 0;
        // The picture restarts at the next key frame.
        virtual void WaitForKeyFrame() = 0;
        virtual bool Alert() const = 0;
        virtual void SetAlert(bool on) = 0;
    };

    static constexpr int kThreadStopWaitMs = 2000;
    static constexpr int kMaxErrors = 60;
    static constexpr size_t kFrameCapacity = 1024000;
    static constexpr size_t kAudioCapacity = 1024;
    static constexpr size_t kMaxQueuedControls = 32;

    PeerTransport(PeerCalls& calls, PeerSettings settings, Host& host, std::string name);
    ~PeerTransport();
    PeerTransport(const PeerTransport&) = delete;
    PeerTransport& operator=(const PeerTransport&) = delete;

    // Starts the three threads for identifier `id` (at most 63 bytes).
    // True once they run; the connection is made on the connect thread.
    bool Start(const std::string& id, bool retryWhenLost);
    // Stops the threads (each within 2000 ms; every wait they make is cut
    // short), then stops the AV client and closes the session.
    void Stop();

    // Control forms; dropped (nothing sent) unless the transport is
    // connected and not stopped. Queued for the connect thread.
    void SetListening(bool on);
    void SendControl(int code);

    int State() const { return state_.load(); }
    bool Stopped() const { return stopped_.load(); }
    bool Running() const { return started_; }
    bool MediaOverPeer() const { return mediaOverPeer_.load(); }
    int ReceivingChannel() const { return receiving_.load(); }
    // The second reserve byte of the last video frame information.
    uint8_t LastReserve1() const { return reserve1_.load(); }

    struct Counters {
        uint64_t framesSplit = 0;     // video frames handed to the channel
        uint64_t audioSplit = 0;      // audio frames handed to the channel
        uint64_t incomplete = 0;      // video frames shorter than announced
        uint64_t droppedWaiting = 0;  // whole video frames dropped waiting for a key frame
        uint64_t receiveErrors = 0;
        uint64_t sessions = 0;  // sessions started
        uint64_t losses = 0;    // sessions that ended (lost or failed)
        uint64_t controlsSent = 0;
    };
    Counters Read() const;

  private:
    struct Request {
        bool listening = false;  // SetListening (on) instead of SendControl (code)
        bool on = false;
        int code = 0;
    };

    void ConnectLoop();
    bool ConnectOnce();
    void CloseKept();
    void VideoLoop();
    void AudioLoop();
    void Process(const Request& request);
    bool SendIoctrl(unsigned type, const uint8_t (&payload)[8]);
    bool Usable() const { return !stopped_.load() && receiving_.load() >= 0; }
    void SetState(int state);
    // Waits up to ms or until stopped (or until `until` holds); true once stopped.
    template <typename Until>
    bool Rest(int ms, Until until);
    bool Rest(int ms);

    PeerCalls& calls_;
    const PeerSettings settings_;
    Host& host_;
    const std::string name_;

    std::string id_;
    bool retryWhenLost_ = false;
    bool started_ = false;  // Start/Stop thread only
    int session_ = -1;      // connect thread (Stop after joining it)
    int avIndex_ = -1;

    std::atomic<int> state_{0};
    std::atomic<bool> stopped_{true};
    std::atomic<bool> mediaOverPeer_{false};
    std::atomic<int> receiving_{-1};
    std::atomic<uint8_t> reserve1_{0};

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Request> requests_;  // protected by mutex_
    Counters counters_;             // protected by mutex_

    WorkerThread connectThread_;
    WorkerThread videoThread_;
    WorkerThread audioThread_;
};

}  // namespace orbisight
