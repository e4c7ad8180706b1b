#include "media/CXOMPPlayer.h"

#include <cstring>
#include <optional>

#include "account/DeviceDirectory.h"
#include "account/DeviceInfo.h"
#include "device/CHalvexProtocolAX.h"
#include "media/AddressList.h"
#include "media/CHalvexDecoder.h"
#include "media/ChannelMessages.h"
#include "media/FrameSplitter.h"
#include "media/LiveLink.h"
#include "media/LiveVideoStep.h"
#include "media/PictureRenderer.h"
#include "platform/Text.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace orbisight {
namespace {

// Each thread gets this long to end once told to stop.
constexpr int kThreadStopWaitMs = 1400;
constexpr int kKeepAliveIntervalMs = 10000;
constexpr int kReconnectPauseMs = 1000;
// Consumer threads sleep on their queue at most this long between looks at
// the stop flag (a stop also wakes them at once).
constexpr int kQueueWaitMs = 200;

std::string DefaultName() {
    static std::atomic<int> counter{0};
    return "cam" + std::to_string(counter.fetch_add(1));
}

}  // namespace

PaneButtonBoxes PaneButtonBoxes::ForClient(const PaneRect& client) {
    PaneButtonBoxes boxes;
    boxes.inner = {client.left + 6, client.top + 6, client.right - 6, client.bottom - 6};
    const PaneRect& r = boxes.inner;
    boxes.topRight = {r.right - 18, r.top + 1, r.right, r.top + 17};
    boxes.bottomRight = {r.right - 33, r.bottom - 25, r.right, r.bottom};
    return boxes;
}

CXOMPPlayer::CXOMPPlayer(LiveChannelOptions options)
    : options_(std::move(options)),
      name_(options_.name.empty() ? DefaultName() : options_.name),
      decoder_(std::make_unique<CHalvexDecoder>(options_.decoderThreads)),
      link_(std::make_unique<LiveLink>()),
      splitter_(std::make_unique<FrameSplitter>()),
      videoStep_(std::make_unique<LiveVideoStep>(splitter_->VideoQueue(), kVideoFrameCapacity)),
      microphone_(std::make_unique<CQueueBuf>()),
      audioBuffer_(std::make_unique<FrameBuffer>(kAudioFrameCapacity)),
      talkBuffer_(std::make_unique<FrameBuffer>(kTalkFrameCapacity)),
      renderer_(std::make_unique<PictureRenderer>()) {
    decoder_->SetPictureCallback([this](const AVFrame& picture) {
        if (options_.videoSink != nullptr) {
            renderer_->Render(picture, *options_.videoSink, OverlayFor(currentAlarm_));
        }
    });
}

CXOMPPlayer::~CXOMPPlayer() {
    Close();
}

int CXOMPPlayer::Open(const DeviceInfo* record, NoticeTarget* owner) {
    std::lock_guard lifecycle(lifecycleMutex_);
    if (!decoder_) {
        return 0;
    }
    bool localCamera;
    std::string url;
    {
        std::lock_guard lock(recordMutex_);
        if (record != nullptr) {
            record_ = CopyDeviceInfo(*record);
        }
        if (!record_) {
            return 0;
        }
        // Names are UTF-8 in every kind of record here, so a kind-10 name
        // needs no conversion.
        title_ = std::string(record_->Name());
        localCamera = record_->local != 0;
        url = std::string(record_->Url());
    }
    if (receiveThread_.Running()) {
        if (owner != nullptr) {
            owner_.store(owner);
        }
        return connected_.load() ? 1 : 0;
    }
    stop_.store(false);
    link_->Reopen();
    localMode_.store(localCamera ? 2 : 0);
    if (localCamera && options_.localOnlyKeyFrames) {
        videoStep_->SetKeyFramesOnly(true);
    }
    if (owner != nullptr) {
        owner_.store(owner);
    }

    ChannelAddresses addresses = ParseAddressList(url, peerAllowed_.load());
    link_->SetAddresses(addresses);
    int result = 0;
    if (!addresses.peerId.empty() && peerAllowed_.load() && StartPeer(addresses.peerId)) {
        peerAllowed_.store(false);
        connected_.store(true);
        result = 1;
    }

    if (!videoThread_.Running()) {
        videoThread_.Start(
            name_ + "/video", [this](AutoResetEvent& e) { VideoLoop(e); },
            ThreadPriority::kHighest);
        audioThread_.Start(name_ + "/audio", [this](AutoResetEvent& e) { AudioLoop(e); });
        talkThread_.Start(name_ + "/talk", [this](AutoResetEvent& e) { TalkLoop(e); });
    }

    if (ConnectAndLogin() == 1) {
        connected_.store(true);
        result = 1;
    } else {
        connected_.store(false);
    }
    if (stop_.load()) {
        return 0;  // closed while opening: Close stops what was started
    }
    PostState();

    if (!receiveThread_.Running()) {
        receiveThread_.Start(
            name_ + "/recv", [this](AutoResetEvent& e) { ReceiveLoop(e); },
            ThreadPriority::kHighest);
        keepAliveThread_.Start(name_ + "/alive", [this](AutoResetEvent& e) { KeepAliveLoop(e); });
    }
    return result;
}

void CXOMPPlayer::StopThreads() {
    receiveThread_.SignalStop();
    keepAliveThread_.SignalStop();
    videoThread_.SignalStop();
    audioThread_.SignalStop();
    talkThread_.SignalStop();
    splitter_->VideoQueue().Wake();
    splitter_->AudioQueue().Wake();
    microphone_->Wake();
    link_->Shutdown();
}

void CXOMPPlayer::Close() {
    // Tell everything to stop before waiting for an Open in progress: its
    // connection attempt and login read end at once.
    stop_.store(true);
    connected_.store(false);
    StopThreads();

    std::lock_guard lifecycle(lifecycleMutex_);
    stop_.store(true);
    connected_.store(false);
    StopThreads();  // again, for threads an Open in progress has started
    StopTalk();
    // The peer-to-peer transport has no threads to stop here.
    receiveThread_.Join(kThreadStopWaitMs);
    keepAliveThread_.Join(kThreadStopWaitMs);
    videoThread_.Join(kThreadStopWaitMs);
    audioThread_.Join(kThreadStopWaitMs);
    talkThread_.Join(kThreadStopWaitMs);

    if (link_->IsOpen()) {
        if (!mediaOverPeer_.load()) {
            SendStreamCommand(false, "All");
        }
        link_->CloseSocket();
    }
    // The socket is closed right away: the stop command is already in the
    // kernel's hands, and a pause here would only slow down closing a wall.
    splitter_->Clear();
    splitter_->SetWaitingForKeyFrame(true);
    microphone_->Clear();
    videoStep_->Reset();
    decoder_->Flush();
    loggedIn_.store(false);
    std::lock_guard lock(recordMutex_);
    record_.reset();
}

channelmsg::StreamChoice CXOMPPlayer::CurrentStreamChoice() const {
    channelmsg::StreamChoice choice;
    choice.remote = link_->Remote();
    choice.localCamera = localMode_.load() == 2;
    choice.localBigStream = options_.localBigStream;
    return choice;
}

void CXOMPPlayer::SendStreamCommand(bool start, const char* type) {
    CHalvexProtocolAX message;
    std::optional<int> streamId =
        channelmsg::BuildStreamCommand(message, start, type, CurrentStreamChoice());
    if (streamId) {
        streamIdFlag_.store(*streamId);
    }
    link_->Send(message);
}

void CXOMPPlayer::SendPictureStream(bool start) {
    SendStreamCommand(start, start ? (listening_.load() ? "All" : "Video") : "All");
    int quality = lastQuality_.load();
    if (quality != 0) {
        SendControl(quality);
    }
}

void CXOMPPlayer::SetListening(bool on) {
    listening_.store(on);
    SendStreamCommand(on, "Audio");
}

void CXOMPPlayer::SendControl(int code) {
    if (channelmsg::IsQualityCode(code)) {
        lastQuality_.store(code);
    }
    CHalvexProtocolAX message;
    channelmsg::BuildControl(message, code, alert_.load());
    link_->Send(message);
}

void CXOMPPlayer::SendPointPtz(int x, int y) {
    CHalvexProtocolAX message;
    channelmsg::BuildPointPtz(message, x, y);
    link_->Send(message);
}

int CXOMPPlayer::ToggleRecording() {
    std::lock_guard lock(splitMutex_);
    if (!recorder_) {
        return 0;
    }
    if (recording_.load()) {
        recording_.store(false);
        recorder_->Stop();
        return 1;
    }
    std::string id, name;
    {
        std::lock_guard recordLock(recordMutex_);
        if (record_) {
            id = std::string(record_->Id());
            name = std::string(record_->Name());
        }
    }
    recording_.store(recorder_->Start(id.c_str(), name.c_str()));
    return 1;
}

int CXOMPPlayer::TakeSnapshot() {
    // Snapshots are named and written by the recorder's side, which this
    // build does not have yet.
    return 0;
}

void CXOMPPlayer::AttachRecorder(std::unique_ptr<FrameRecorder> recorder) {
    std::lock_guard lock(splitMutex_);
    if (recorder_ && recording_.load()) {
        recorder_->Stop();
        recording_.store(false);
    }
    recorder_ = std::move(recorder);
}

int CXOMPPlayer::StartTalk() {
    CHalvexProtocolAX message;
    channelmsg::BuildTalkStart(message);
    link_->Send(message);
    // No microphone input yet: capture cannot start, but received sound is
    // muted while the talking flag is set.
    talking_.store(true);
    return 0;
}

void CXOMPPlayer::StopTalk() {
    talking_.store(false);
}

void CXOMPPlayer::SplitFrames(const uint8_t* data, size_t length) {
    std::lock_guard lock(splitMutex_);
    splitter_->Split(data, length, recording_.load() ? recorder_.get() : nullptr);
}

bool CXOMPPlayer::Playing() const {
    return videoStep_->Started();
}
bool CXOMPPlayer::KeyFramesOnly() const {
    return videoStep_->KeyFramesOnly();
}
void CXOMPPlayer::SetKeyFramesOnly(bool on) {
    videoStep_->SetKeyFramesOnly(on);
}
bool CXOMPPlayer::Remote() const {
    return link_->Remote();
}
int CXOMPPlayer::StreamIdFlag() const {
    return streamIdFlag_.load();
}
int CXOMPPlayer::LastQualityCode() const {
    return lastQuality_.load();
}
PictureSize CXOMPPlayer::PictureSizeForPoints() const {
    return decoder_->Size();
}

void CXOMPPlayer::SetButtonBoxes(const PaneButtonBoxes& boxes) {
    std::lock_guard lock(boxesMutex_);
    boxes_ = boxes;
}

PaneButtonBoxes CXOMPPlayer::ButtonBoxes() const {
    std::lock_guard lock(boxesMutex_);
    return boxes_;
}

void CXOMPPlayer::SetHover(bool close, bool replay, bool web) {
    hoverClose_.store(close);
    hoverReplay_.store(replay);
    hoverWeb_.store(web);
}

std::string CXOMPPlayer::Title() const {
    std::lock_guard lock(recordMutex_);
    return title_;
}

LiveChannelStats CXOMPPlayer::Stats() const {
    FrameSplitter::Counters counters = splitter_->Read();
    LiveChannelStats stats;
    stats.videoFrames = counters.videoFrames;
    stats.audioFrames = counters.audioFrames;
    stats.decoded = decoder_->Pictures();
    stats.droppedQueue = counters.droppedQueue;
    stats.droppedGate = counters.droppedGate + videoStep_->GateDrops();
    stats.droppedInvalid = counters.droppedInvalid + videoStep_->OversizeDrops();
    stats.reconnectAttempts = reconnectAttempts_.load();
    stats.reconnects = reconnects_.load();
    stats.overlongMessages = overlong_.load();
    return stats;
}

VideoOverlay CXOMPPlayer::OverlayFor(bool alarm) {
    VideoOverlay overlay;
    overlay.title = Title();
    overlay.alarm = alarm;
    overlay.alarmBorder = alarm && options_.alarmBlink;
    if (overlay.alarmBorder) {
        overlay.borderRgb = NextAlarmBorderRgb();
    }
    overlay.recording = recording_.load();
    overlay.listening = listening_.load();
    overlay.talking = talking_.load();
    overlay.blinkCounter = RecordingBlink();
    return overlay;
}

void CXOMPPlayer::PostState() {
    NoticeTarget* owner = owner_.load();
    if (owner == nullptr) {
        return;
    }
    Notice notice;
    notice.message = notice::kCommand;
    notice.wParam = notice::kChannelStateCommand;
    notice.lParam = connected_.load() ? 1 : 0;
    owner->Post(std::move(notice));
}

bool CXOMPPlayer::RefreshAddresses() {
    if (options_.directory == nullptr) {
        return false;
    }
    std::string id;
    std::string url;
    bool local;
    {
        std::lock_guard lock(recordMutex_);
        if (!record_) {
            return false;
        }
        id = std::string(record_->Id());
        url = std::string(record_->Url());
        local = record_->local != 0;
    }
    std::optional<std::string> current = options_.directory->FindAddressList(id, local);
    if (!current || *current == url) {
        return false;
    }
    ChannelAddresses addresses = ParseAddressList(*current, peerAllowed_.load());
    if (!peerAllowed_.load()) {
        addresses.peerId = link_->Addresses().peerId;
    }
    link_->SetAddresses(addresses);
    std::lock_guard lock(recordMutex_);
    if (record_) {
        record_->SetUrl(*current);
    }
    return true;
}

int CXOMPPlayer::ConnectAndLogin() {
    std::string user, password, id;
    bool localCamera;
    {
        std::lock_guard lock(recordMutex_);
        if (!record_) {
            return 4;
        }
        user = std::string(record_->User());
        password = std::string(record_->Password());
        id = std::string(record_->Id());
        localCamera = record_->local != 0;
    }
    if (!link_->Connect(!localCamera, &stop_)) {
        return 0;
    }
    CHalvexProtocolAX login;
    channelmsg::BuildLogin(login, user, password, id);
    link_->Send(login);
    if (ReceiveOne() == ReadOutcome::kMessage) {
        loggedIn_.store(true);
        return 1;
    }
    link_->CloseSocket();
    loggedIn_.store(false);
    return 2;
}

CXOMPPlayer::ReadOutcome CXOMPPlayer::ReceiveOne() {
    CHalvexProtocolAX message;
    switch (link_->Receive(message)) {
        case LiveLink::Received::kMessage:
            Dispatch(message);
            return ReadOutcome::kMessage;
        case LiveLink::Received::kSkipped:
            overlong_.fetch_add(1);
            return ReadOutcome::kSkipped;
        case LiveLink::Received::kFailed:
            break;
    }
    failures_.fetch_add(1);
    return ReadOutcome::kFailed;
}

void CXOMPPlayer::Dispatch(CHalvexProtocolAX& message) {
    if (stop_.load()) {
        return;
    }
    if (!link_->Remote()) {
        const char* ret = message.FindText("Ret");
        if (ret == nullptr || !EqualsNoCase(ret, "1")) {
            return;
        }
    }
    switch (message.Type()) {
        case msgtype::kMedia: {
            const Field* data = message.FindField("Data");
            if (data == nullptr || data->valueLength <= 0) {
                return;
            }
            if (mediaOverPeer_.load()) {
                SendPictureStream(false);
                return;
            }
            SplitFrames(data->Bytes(), static_cast<size_t>(data->valueLength));
            return;
        }
        case msgtype::kReply: {
            const char* alert = message.FindText("RetAlert");
            if (alert == nullptr) {
                return;
            }
            if (std::strcmp(alert, "On") == 0) {
                alert_.store(true);
            } else if (std::strcmp(alert, "Off") == 0 || std::strcmp(alert, "Fail") == 0) {
                alert_.store(false);
            }
            return;
        }
        case msgtype::kLoginReply:
            if (!mediaOverPeer_.load()) {
                SendPictureStream(true);
                SendControl(100);
            }
            return;
        default:
            return;
    }
}

void CXOMPPlayer::ReceiveLoop(AutoResetEvent& stop) {
    splitter_->SetWaitingForKeyFrame(true);
    failures_.store(0);
    while (!stop.TryConsume() && !stop_.load()) {
        if (!link_->IsOpen()) {
            failures_.fetch_add(1);
        } else if (ReceiveOne() != ReadOutcome::kFailed) {
            // An over-long message was read to its end and thrown away: the
            // connection is still in step, so it is not a failure.
            continue;
        }
        if (stop_.load()) {
            break;
        }
        if (stop.Wait(kReconnectPauseMs)) {
            break;
        }
        bool skipReconnect;
        {
            std::lock_guard lock(recordMutex_);
            skipReconnect = !record_ || (!record_->IsOnline() && record_->local == 0 &&
                                         record_->isGroup == 0 && record_->type == 0);
        }
        if (skipReconnect) {
            // An off-line server camera: wait for the account session to
            // report it on-line again.
            if (stop.Wait(kReconnectPauseMs)) {
                break;
            }
            continue;
        }
        RefreshAddresses();
        // A new connection starts a new stream: its first picture must be a
        // key frame.
        splitter_->SetWaitingForKeyFrame(true);
        reconnectAttempts_.fetch_add(1);
        int result = ConnectAndLogin();
        connected_.store(result == 1 && !stop_.load());
        if (result == 1) {
            reconnects_.fetch_add(1);
        }
        if (!mediaOverPeer_.load() && !stop_.load()) {
            PostState();
        }
    }
}

void CXOMPPlayer::KeepAliveLoop(AutoResetEvent& stop) {
    while (!stop.Wait(kKeepAliveIntervalMs)) {
        if (stop_.load()) {
            break;
        }
        if (link_->IsOpen()) {
            CHalvexProtocolAX message;
            channelmsg::BuildKeepAlive(message);
            link_->Send(message);
        }
    }
}

void CXOMPPlayer::VideoLoop(AutoResetEvent& stop) {
    auto decode = [this](const FrameBuffer& frame, bool alarm) {
        currentAlarm_ = alarm;
        decoder_->Decode(frame.Data(), frame.Size());
    };
    auto rest = [&stop, this](int ms) { return stop.Wait(ms) || stop_.load(); };
    while (!stop.TryConsume() && !stop_.load()) {
        if (videoStep_->RunOnce(decode, rest, stop_) == LiveVideoStep::Outcome::kIdle) {
            splitter_->VideoQueue().WaitForFrame(kQueueWaitMs);
        }
    }
}

void CXOMPPlayer::AudioLoop(AutoResetEvent& stop) {
    AudioSink* sink = options_.audioSink != nullptr ? options_.audioSink : &countingAudio_;
    CQueueBuf& queue = splitter_->AudioQueue();
    while (!stop.TryConsume() && !stop_.load()) {
        CQueueBuf::PopResult popped = queue.Pop(*audioBuffer_);
        if (popped == CQueueBuf::PopResult::kEmpty) {
            queue.WaitForFrame(kQueueWaitMs);
            continue;
        }
        if (popped != CQueueBuf::PopResult::kFrame || talking_.load()) {
            continue;  // half-duplex: what the camera hears is not played back
        }
        sink->PlayFrame(audioBuffer_->header, audioBuffer_->Data(), audioBuffer_->Size());
    }
}

void CXOMPPlayer::TalkLoop(AutoResetEvent& stop) {
    while (!stop.TryConsume() && !stop_.load()) {
        CQueueBuf::PopResult popped = microphone_->Pop(*talkBuffer_);
        if (popped == CQueueBuf::PopResult::kEmpty) {
            microphone_->WaitForFrame(kQueueWaitMs);
            continue;
        }
        if (popped != CQueueBuf::PopResult::kFrame) {
            continue;
        }
        CHalvexProtocolAX message;
        channelmsg::BuildTalkAudio(message, talkBuffer_->Data(), talkBuffer_->Size());
        link_->Send(message);
    }
}

bool CXOMPPlayer::StartPeer(const std::string&) {
    // The peer-to-peer transport is not available in this build: the camera
    // is reached at its direct address.
    return false;
}

}  // namespace orbisight
