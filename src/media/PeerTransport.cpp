#include "media/PeerTransport.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "media/ChannelMessages.h"
#include "media/FrameHeader.h"
#include "media/PeerCalls.h"
#include "media/p2p/PeerFrameInfo.h"

namespace orbisight {
namespace {

// AV control message types.
constexpr unsigned kStartVideo = 0x01FF;
constexpr unsigned kStartAudio = 0x0300;
constexpr unsigned kStopAudio = 0x0301;
constexpr unsigned kQuality = 0x0320;
constexpr unsigned kSetAlert = 0x0324;
constexpr unsigned kAskAlert = 0x0326;
constexpr unsigned kAlertReply = 0x0327;
constexpr unsigned kCameraControl = 0x1001;

constexpr const char* kAccount = "admin";
constexpr const char* kPassword = "qv7kd";
constexpr unsigned kClientTimeoutSec = 120;
constexpr int kStatePollMs = 500;
constexpr int kIdleVideoMs = 5000;
constexpr int kNoChannelMs = 100;
constexpr int kIdleAudioMs = 3000;
constexpr int kNotListeningMs = 300;
constexpr int kAudioBacklog = 30;
constexpr int kAudioWaitMs = 100;

// The layer keeps one set-up per process: a second Initialize reports
// success at once, and a failure is tried again by the next start (of any
// channel).
bool Initialise(PeerCalls& calls, const PeerSettings& settings) {
    if (calls.Initialize(settings.rendezvousHost, settings.rendezvousPort) != 0) {
        return false;
    }
    return calls.InitializeAv(128) == 0;
}

void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

PeerTransport::PeerTransport(PeerCalls& calls, PeerSettings settings, Host& host, std::string name)
    : calls_(calls), settings_(std::move(settings)), host_(host), name_(std::move(name)) {}

PeerTransport::~PeerTransport() {
    Stop();
}

template <typename Until>
bool PeerTransport::Rest(int ms, Until until) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopped_.load() || until(); });
    return stopped_.load();
}

bool PeerTransport::Rest(int ms) {
    return Rest(ms, [] { return false; });
}

void PeerTransport::SetState(int state) {
    {
        std::lock_guard lock(mutex_);
        state_.store(state);
    }
    wake_.notify_all();
}

bool PeerTransport::Start(const std::string& id, bool retryWhenLost) {
    if (started_ || id.empty()) {
        return false;
    }
    mediaOverPeer_.store(false);
    session_ = -1;
    avIndex_ = -1;
    receiving_.store(-1);
    state_.store(0);
    id_ = id.substr(0, 63);
    retryWhenLost_ = retryWhenLost;
    stopped_.store(false);
    started_ = true;
    connectThread_.Start(name_ + "/p2pc", [this](AutoResetEvent&) { ConnectLoop(); });
    videoThread_.Start(name_ + "/p2pv", [this](AutoResetEvent&) { VideoLoop(); });
    audioThread_.Start(name_ + "/p2pa", [this](AutoResetEvent&) { AudioLoop(); });
    return true;
}

void PeerTransport::Stop() {
    if (!started_) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        state_.store(0);
        receiving_.store(-1);
        stopped_.store(true);
        requests_.clear();
    }
    wake_.notify_all();
    connectThread_.Join(kThreadStopWaitMs);
    audioThread_.Join(kThreadStopWaitMs);
    videoThread_.Join(kThreadStopWaitMs);
    CloseKept();
    mediaOverPeer_.store(false);
    started_ = false;
}

void PeerTransport::CloseKept() {
    receiving_.store(-1);
    if (avIndex_ >= 0) {
        calls_.ClientStop(avIndex_);
    }
    if (session_ > 0) {
        calls_.CloseSession(session_);
    }
    avIndex_ = -1;
    session_ = -1;
}

PeerTransport::Counters PeerTransport::Read() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

bool PeerTransport::ConnectOnce() {
    if (!Initialise(calls_, settings_)) {
        return false;
    }
    receiving_.store(-1);
    int session = calls_.Connect(id_.c_str(), &stopped_);
    calls_.CheckSession(session);  // the result tells nothing the next call does not
    int av = calls_.ClientStart(session, kAccount, kPassword, kClientTimeoutSec, 0, &stopped_);
    if (av < 0) {
        if (session > 0) {
            calls_.CloseSession(session);  // not kept: closed here
        }
        return false;
    }
    session_ = session;
    avIndex_ = av;
    {
        std::lock_guard lock(mutex_);
        ++counters_.sessions;
    }
    receiving_.store(av);
    const uint8_t zeros[8] = {};
    if (!SendIoctrl(kStartVideo, zeros)) {
        SetState(0);
        return false;
    }
    SetState(1);
    Process(Request{false, false, 100});  // what the camera's motion alert is
    return true;
}

void PeerTransport::ConnectLoop() {
    int pause = settings_.retryMinMs;
    for (;;) {
        if (stopped_.load()) {
            return;
        }
        if (ConnectOnce()) {
            pause = settings_.retryMinMs;
        }
        while (state_.load() != 0) {
            Request request;
            bool have = false;
            {
                std::unique_lock lock(mutex_);
                wake_.wait_for(lock, std::chrono::milliseconds(kStatePollMs), [&] {
                    return stopped_.load() || state_.load() == 0 || !requests_.empty();
                });
                if (stopped_.load()) {
                    return;
                }
                if (!requests_.empty()) {
                    request = requests_.front();
                    requests_.pop_front();
                    have = true;
                }
            }
            if (have) {
                Process(request);
            }
        }
        {
            std::lock_guard lock(mutex_);
            ++counters_.losses;
            requests_.clear();
        }
        if (!retryWhenLost_) {
            std::lock_guard lock(mutex_);
            stopped_.store(true);
            wake_.notify_all();
            return;
        }
        // No other way to reach this camera: start over after a pause.
        CloseKept();
        if (Rest(pause)) {
            return;
        }
        pause = std::min(pause * 2, settings_.retryMaxMs);
    }
}

void PeerTransport::VideoLoop() {
    std::vector<uint8_t> buffer(FrameHeader::kSize + kFrameCapacity);
    uint8_t* payload = buffer.data() + FrameHeader::kSize;
    bool waitingForKey = true;
    int errors = 0;
    // A loss has just asked the direct connection for the picture: once is
    // enough, the camera would otherwise get "Start" twice.
    bool askedDirect = false;
    while (!stopped_.load()) {
        if (state_.load() == 0) {
            host_.ClearListening();
            mediaOverPeer_.store(false);
            if (!askedDirect) {
                host_.RequestDirectPicture();
            }
            askedDirect = false;
            errors = 0;
            // A new session wakes this at once.
            Rest(kIdleVideoMs, [this] { return state_.load() != 0; });
            continue;
        }
        int av = receiving_.load();
        if (av < 0) {
            Rest(kNoChannelMs);
            continue;
        }
        int actual = 0;
        int expected = 0;
        int infoActual = 0;
        unsigned index = 0;
        uint8_t infoBytes[p2p::AvFrameInfo::kSize] = {};
        int result = calls_.RecvFrame(
            av, reinterpret_cast<char*>(payload), static_cast<int>(kFrameCapacity), &actual,
            &expected, reinterpret_cast<char*>(infoBytes), sizeof infoBytes, &infoActual, &index);
        if (result < 0) {
            {
                std::lock_guard lock(mutex_);
                ++counters_.receiveErrors;
            }
            Rest(settings_.errorPauseMs);
            if (++errors >= kMaxErrors) {
                // Lost. The direct connection is asked for the picture now,
                // before the connect thread (woken by the state) ends the
                // transport and this loop with it.
                host_.ClearListening();
                mediaOverPeer_.store(false);
                host_.RequestDirectPicture();
                askedDirect = true;
                errors = 0;
                SetState(0);
            }
            continue;
        }
        p2p::AvFrameInfo info = p2p::AvFrameInfo::Read(infoBytes);
        if (result == 0 || info.codec != p2p::kCodecH264) {
            continue;  // other codecs are not for this thread
        }
        std::optional<FrameHeader> header = p2p::RebuildFrameHeader(info);
        if (info.flags == 1) {
            waitingForKey = false;
        }
        reserve1_.store(info.reserve1);
        if (static_cast<uint32_t>(result) != info.frameSize) {
            // Incomplete: the picture waits for the next key frame.
            errors += 1;
            waitingForKey = true;
            std::lock_guard lock(mutex_);
            ++counters_.incomplete;
            continue;
        }
        errors = 0;
        if (waitingForKey) {
            std::lock_guard lock(mutex_);
            ++counters_.droppedWaiting;
            continue;
        }
        WriteFrameHeaderNetwork(*header, buffer.data());
        mediaOverPeer_.store(true);
        host_.SplitPeerFrame(buffer.data(), FrameHeader::kSize + static_cast<size_t>(result));
        std::lock_guard lock(mutex_);
        ++counters_.framesSplit;
    }
}

void PeerTransport::AudioLoop() {
    std::vector<uint8_t> buffer(FrameHeader::kSize + kAudioCapacity);
    uint8_t* payload = buffer.data() + FrameHeader::kSize;
    while (!stopped_.load()) {
        if (state_.load() != 1) {
            Rest(kIdleAudioMs, [this] { return state_.load() == 1; });
            continue;
        }
        int av = receiving_.load();
        if (av < 0) {
            Rest(kNoChannelMs);
            continue;
        }
        if (!host_.Listening()) {
            Rest(kNotListeningMs);
            continue;
        }
        if (calls_.CheckAudio(av) < kAudioBacklog) {
            Rest(kAudioWaitMs);
            continue;
        }
        uint8_t infoBytes[p2p::AvFrameInfo::kSize] = {};
        unsigned index = 0;
        int result =
            calls_.RecvAudio(av, reinterpret_cast<char*>(payload), static_cast<int>(kAudioCapacity),
                             reinterpret_cast<char*>(infoBytes), sizeof infoBytes, &index);
        p2p::AvFrameInfo info = p2p::AvFrameInfo::Read(infoBytes);
        if (result <= 0 || info.codec != p2p::kCodecAudio ||
            static_cast<uint32_t>(result) != info.frameSize) {
            continue;
        }
        WriteFrameHeaderNetwork(*p2p::RebuildFrameHeader(info), buffer.data());
        host_.SplitPeerFrame(buffer.data(), FrameHeader::kSize + static_cast<size_t>(result));
        std::lock_guard lock(mutex_);
        ++counters_.audioSplit;
    }
}

void PeerTransport::SetListening(bool on) {
    if (!Usable()) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (requests_.size() < kMaxQueuedControls) {
        requests_.push_back(Request{true, on, 0});
    }
    wake_.notify_all();
}

void PeerTransport::SendControl(int code) {
    if (!Usable()) {
        if (code == 101) {
            host_.SetAlert(!host_.Alert());  // nothing goes out: the flag goes back
        }
        return;
    }
    std::lock_guard lock(mutex_);
    if (requests_.size() < kMaxQueuedControls) {
        requests_.push_back(Request{false, false, code});
    }
    wake_.notify_all();
}

bool PeerTransport::SendIoctrl(unsigned type, const uint8_t (&payload)[8]) {
    int av = receiving_.load();
    if (stopped_.load() || av < 0) {
        return false;
    }
    if (calls_.SendIoctrl(av, type, reinterpret_cast<const char*>(payload), 8) < 0) {
        return false;
    }
    std::lock_guard lock(mutex_);
    ++counters_.controlsSent;
    return true;
}

void PeerTransport::Process(const Request& request) {
    if (!Usable()) {
        if (!request.listening && request.code == 101) {
            host_.SetAlert(!host_.Alert());
        }
        return;
    }
    uint8_t payload[8] = {};  // channel 0 in the first four bytes
    if (request.listening) {
        SendIoctrl(request.on ? kStartAudio : kStopAudio, payload);
        return;
    }
    int code = request.code;
    auto readReply = [this](unsigned* type, uint8_t* reply, int size) {
        int av = receiving_.load();
        if (av < 0) {
            return -1;
        }
        return calls_.RecvIoctrl(av, type, reinterpret_cast<char*>(reply), size,
                                 static_cast<unsigned>(settings_.replyWaitMs));
    };
    uint8_t reply[256];
    unsigned type = 0;
    if (channelmsg::IsQualityCode(code)) {
        int quality = code / 256;
        payload[4] = static_cast<uint8_t>(quality == 0 ? 1 : quality);
        if (SendIoctrl(kQuality, payload)) {
            readReply(&type, reply, sizeof reply);
        }
        host_.WaitForKeyFrame();
        return;
    }
    if (code == 100) {
        if (!SendIoctrl(kAskAlert, payload) || stopped_.load()) {
            return;
        }
        // Other replies that come first are passed over.
        for (int tries = 0; tries < 4 && !stopped_.load(); ++tries) {
            int size = readReply(&type, reply, sizeof reply);
            if (size < 0) {
                return;
            }
            if (type == kAlertReply) {
                if (size >= 8) {
                    uint32_t value = reply[4] | reply[5] << 8 | reply[6] << 16 |
                                     static_cast<uint32_t>(reply[7]) << 24;
                    host_.SetAlert(value != 0);
                }
                return;
            }
        }
        return;
    }
    if (code == 101) {
        bool alert = host_.Alert();
        PutLe32(payload + 4, alert ? 1 : 0);
        if (!SendIoctrl(kSetAlert, payload)) {
            host_.SetAlert(!alert);  // not sent: the flag goes back
            return;
        }
        if (!stopped_.load()) {
            readReply(&type, reply, sizeof reply);
        }
        return;
    }
    payload[0] = static_cast<uint8_t>(code & 0xff);
    payload[2] = 0x51;
    SendIoctrl(kCameraControl, payload);
}

}  // namespace orbisight
