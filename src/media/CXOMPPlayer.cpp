#include "media/CXOMPPlayer.h"

#include <algorithm>
#include <ctime>

#include "account/DeviceInfo.h"
#include "device/CHalvexProtocolAX.h"
#include "device/RequestQueue.h"
#include "media/AddressList.h"
#include "media/CHalvexDecoder.h"
#include "media/CHalvexRecorder.h"
#include "media/CWaveIn.h"
#include "media/CWaveOut.h"
#include "media/ChannelMessages.h"
#include "media/ChannelReceiver.h"
#include "media/ChannelRecord.h"
#include "media/FrameSplitter.h"
#include "media/FrameStamp.h"
#include "media/LiveLink.h"
#include "media/LiveVideoStep.h"
#include "media/PeerCalls.h"
#include "media/PictureRenderer.h"
#include "media/RecordNames.h"
#include "media/SnapshotWriter.h"
#include "platform/Clock.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace orbisight {
namespace {

// Each thread gets this long to end once told to stop.
constexpr int kThreadStopWaitMs = 1400;
// Consumer threads sleep on their queue at most this long between looks at
// the stop flag. A stop wakes them at once, so this only bounds a wake-up
// that went astray; shorter, a wall of idle sound, talk and send threads
// woke the machine over a thousand times a second for nothing. Below
// kThreadStopWaitMs.
constexpr int kQueueWaitMs = 1000;

// A switch whose new stream shows no picture of another size within this
// long is taken as done (a camera whose two streams have one size).
constexpr uint64_t kSwitchConfirmMs = 3000;

uint64_t PackSize(PictureSize size) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(size.width)) << 32) |
           static_cast<uint32_t>(size.height);
}
PictureSize UnpackSize(uint64_t packed) {
    return {static_cast<int>(packed >> 32), static_cast<int>(packed & 0xffffffffu)};
}

std::string DefaultName() {
    static std::atomic<int> counter{0};
    return "cam" + std::to_string(counter.fetch_add(1));
}

}  // namespace

// What the receive side's messages mean for the channel.
class CXOMPPlayer::ReceiverEvents : public ChannelReceiver::Host {
  public:
    explicit ReceiverEvents(CXOMPPlayer& channel) : channel_(channel) {}

    void OnNewConnection() override {
        if (channel_.MediaOverPeer()) {
            // The pictures come over peer-to-peer: a new direct connection
            // (the silent one times out and is made again) changes nothing
            // in their stream.
            return;
        }
        std::lock_guard lock(channel_.splitMutex_);
        channel_.splitter_->BeginConnection();
    }
    void OnLoggedIn() override {
        if (!channel_.MediaOverPeer()) {
            // Sent from the receive thread itself, ahead of anything the
            // window queues on this connection.
            channel_.SendPictureStream(true);
            channel_.link_->Send(*channel_.ControlRequest(100));
        }
    }
    void OnMedia(const uint8_t* data, size_t length) override {
        if (channel_.MediaOverPeer()) {
            channel_.SendPictureStream(false);  // the pictures come the other way
            return;
        }
        channel_.SplitFrames(data, length);
    }
    void OnAlert(bool on) override { channel_.alert_.store(on); }
    void OnReconnected(bool connected) override {
        channel_.connected_.store(connected);
        if (!channel_.MediaOverPeer()) {
            channel_.PostState();
        }
    }
    bool PeerAllowed() const override { return channel_.peerAllowed_.load(); }

  private:
    CXOMPPlayer& channel_;
};

// What the peer-to-peer transport needs from the channel.
class CXOMPPlayer::PeerEvents : public PeerTransport::Host {
  public:
    explicit PeerEvents(CXOMPPlayer& channel) : channel_(channel) {}

    void SplitPeerFrame(const uint8_t* data, size_t size) override {
        channel_.SplitFrames(data, size);
    }
    void RequestDirectPicture() override {
        if (channel_.link_->IsOpen() && !channel_.stop_.load()) {
            channel_.SendPictureStream(true);
        }
    }
    void ClearListening() override { channel_.listening_.store(false); }
    bool Listening() const override { return channel_.listening_.load(); }
    void WaitForKeyFrame() override {
        std::lock_guard lock(channel_.splitMutex_);
        channel_.splitter_->SetWaitingForKeyFrame(true);
    }
    bool Alert() const override { return channel_.alert_.load(); }
    void SetAlert(bool on) override { channel_.alert_.store(on); }

  private:
    CXOMPPlayer& channel_;
};

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
      record_(std::make_unique<ChannelRecord>()),
      decoder_(std::make_unique<CHalvexDecoder>(options_.decoderThreads)),
      link_(std::make_unique<LiveLink>()),
      splitter_(std::make_unique<FrameSplitter>()),
      videoStep_(std::make_unique<LiveVideoStep>(splitter_->VideoQueue(), kVideoFrameCapacity)),
      events_(std::make_unique<ReceiverEvents>(*this)),
      peerEvents_(std::make_unique<PeerEvents>(*this)),
      peer_(std::make_unique<PeerTransport>(
          options_.peerCalls != nullptr ? *options_.peerCalls : LibraryPeerCalls(), options_.peer,
          *peerEvents_, name_)),
      receiver_(std::make_unique<ChannelReceiver>(*link_, *record_, options_.directory,
                                                  options_.offlineRetryMs, stop_, *events_)),
      microphone_(std::make_unique<CWaveIn>(options_.audioBackend, name_)),
      requests_(std::make_unique<RequestQueue>()),
      audioBuffer_(std::make_unique<FrameBuffer>(kAudioFrameCapacity)),
      talkBuffer_(std::make_unique<FrameBuffer>(kTalkFrameCapacity)),
      renderer_(std::make_unique<PictureRenderer>()) {
    recordFolder_ = options_.recordFolder;
    if (!options_.recordFolder.empty()) {
        CHalvexRecorder::Options recorderOptions;
        recorderOptions.recordFolder = options_.recordFolder;
        recorderOptions.segmentMinutes = options_.recordMinutes;
        AttachRecorder(std::make_unique<CHalvexRecorder>(std::move(recorderOptions)));
    }
    decoder_->SetPictureCallback([this](const AVFrame& picture) {
        NotePictureSize({picture.width, picture.height});
        if (snapshotPending_.load(std::memory_order_relaxed)) {
            SaveSnapshot(picture);
        }
        if (options_.videoSink != nullptr) {
            VideoOverlay overlay = OverlayFor(currentAlarm_);
            overlay.sendStamp = currentSendStamp_;
            renderer_->Render(picture, *options_.videoSink, overlay);
        }
    });
    // A new connection is a new stream: pictures and references of the old
    // one are dropped rather than shown after (or mixed into) the new ones.
    videoStep_->SetNewStreamHandler([this] { decoder_->Flush(); });
}

CXOMPPlayer::~CXOMPPlayer() {
    Close();
}

int CXOMPPlayer::Open(const DeviceInfo* record, NoticeTarget* owner) {
    uint64_t closesBefore;
    {
        std::lock_guard stopLock(stopMutex_);
        closesBefore = closeRequests_;
    }
    std::lock_guard lifecycle(lifecycleMutex_);
    if (!decoder_ || !record_->Take(record)) {
        return 0;
    }
    if (receiver_->Running()) {
        if (owner != nullptr) {
            owner_.store(owner);
        }
        return connected_.load() ? 1 : 0;
    }
    {
        std::lock_guard stopLock(stopMutex_);
        if (closeRequests_ != closesBefore) {
            return 0;  // closed while this Open waited: stay closed
        }
        stop_.store(false);
        failedConnection_.store(0);
        link_->Reopen();
    }
    bool localCamera = record_->Local();
    localMode_.store(localCamera ? 2 : 0);
    if (localCamera && options_.localOnlyKeyFrames) {
        videoStep_->SetKeyFramesOnly(true);
    }
    if (owner != nullptr) {
        owner_.store(owner);
    }

    ChannelAddresses addresses = ParseAddressList(record_->Url(), peerAllowed_.load());
    link_->SetAddresses(addresses);
    int result = 0;
    bool onlyPeer = addresses.directHost.empty() && addresses.remoteHost.empty();
    if (!addresses.peerId.empty() && peerAllowed_.load() && StartP2p(addresses.peerId, onlyPeer)) {
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
        sendThread_.Start(name_ + "/send", [this](AutoResetEvent& e) { SendLoop(e); });
    }

    if (receiver_->ConnectAndLogin() == 1) {
        connected_.store(true);
        result = 1;
    } else {
        connected_.store(false);
    }
    if (stop_.load()) {
        return 0;  // closed while opening: Close stops what was started
    }
    PostState();
    receiver_->Start(name_);
    return result;
}

void CXOMPPlayer::SignalStop() {
    receiver_->SignalStop();
    videoThread_.SignalStop();
    audioThread_.SignalStop();
    talkThread_.SignalStop();
    sendThread_.SignalStop();
    requests_->Wake();
    splitter_->VideoQueue().Wake();
    splitter_->AudioQueue().Wake();
    microphone_->Queue().Wake();
    link_->Shutdown();
}

void CXOMPPlayer::Close() {
    // Tell everything to stop before waiting for an Open in progress: its
    // name resolution, connection attempt and login read end at once.
    {
        std::lock_guard stopLock(stopMutex_);
        ++closeRequests_;
        stop_.store(true);
        connected_.store(false);
        SignalStop();
    }
    std::lock_guard lifecycle(lifecycleMutex_);
    stop_.store(true);
    connected_.store(false);
    SignalStop();  // again, for threads an Open in progress has started
    StopTalk();
    // Whether the pictures came over peer-to-peer until now: then the
    // direct stream is already stopped at the camera.
    bool overPeer = MediaOverPeer();
    StopP2p();
    receiver_->Join(kThreadStopWaitMs);
    videoThread_.Join(kThreadStopWaitMs);
    audioThread_.Join(kThreadStopWaitMs);
    talkThread_.Join(kThreadStopWaitMs);
    // The send thread ends within one send time-out; the joins above and
    // this one overlap, as every thread was told to stop at once.
    sendThread_.Join(kThreadStopWaitMs);

    if (link_->IsOpen()) {
        // What the window asked before Close still goes out before the
        // stop; after a failed send (a peer that stopped reading), here or
        // on the send thread, nothing more is tried, so a stalled camera
        // costs one send time-out in all.
        if (DrainRequests() && !overPeer) {
            SendStreamCommand(false, "All");
        }
        link_->CloseSocket();
    }
    requests_->Clear();
    // The socket is closed right away: the stop command is already in the
    // kernel's hands, and a pause here would only slow down closing a wall.
    splitter_->Clear();
    splitter_->SetWaitingForKeyFrame(true);
    videoStep_->Reset();
    decoder_->Flush();
    switchPending_.store(false);
    shownStream_.store(-1);
    receiver_->ClearLoggedIn();
    record_->Release();
}

channelmsg::StreamChoice CXOMPPlayer::CurrentStreamChoice(bool pictureStart) {
    channelmsg::StreamChoice choice;
    choice.remote = link_->Remote();
    choice.localCamera = localMode_.load() == 2;
    choice.localBigStream = options_.localBigStream;
    if (options_.chooseStreamByPaneSize) {
        std::lock_guard lock(policyMutex_);
        // A new start of the picture stream takes the pane's wish at once.
        choice.paneStream = pictureStart ? policy_.StartStream() : policy_.Current();
    }
    return choice;
}

void CXOMPPlayer::SendStreamCommand(bool start, const char* type) {
    CHalvexProtocolAX message;
    bool pictureStart = start && std::string_view(type) != "Audio";
    std::optional<int> streamId =
        channelmsg::BuildStreamCommand(message, start, type, CurrentStreamChoice(pictureStart));
    if (streamId) {
        streamIdFlag_.store(*streamId);
    }
    if (pictureStart) {
        // A fresh stream: whatever switch was under way is moot.
        switchPending_.store(false);
        shownStream_.store(-1);
    }
    link_->Send(message);
}

void CXOMPPlayer::SetPaneView(const PaneView& view) {
    // What is decoded always follows the view; the stream only with the
    // setting (the policy's wish is not asked for otherwise).
    viewSize_.store(view.visible ? PackSize({view.width, view.height}) : 0);
    std::lock_guard lock(policyMutex_);
    policy_.SetView(view, TickCountMs());
    videoStep_->SetDecodeMode(policy_.Decode());
}

void CXOMPPlayer::SwitchStreamIfDue() {
    if (!options_.chooseStreamByPaneSize || MediaOverPeer() || link_->Remote()) {
        return;  // the remote address always carries the sub stream
    }
    uint64_t now = TickCountMs();
    std::optional<int> due;
    {
        std::lock_guard lock(policyMutex_);
        due = policy_.DueSwitch(now);
    }
    if (!due || link_->Connection() == 0 || stop_.load()) {
        return;  // nothing runs: the next start asks for the new stream
    }
    // The same start as at the login, with the other stream: the camera
    // begins it with a key frame. Until that is decoded the last picture of
    // the old stream stays on the pane.
    auto message = std::make_unique<CHalvexProtocolAX>();
    channelmsg::StreamChoice choice = CurrentStreamChoice(false);
    choice.paneStream = due;
    std::optional<int> streamId =
        channelmsg::BuildStreamCommand(*message, true, listening_.load() ? "All" : "Video", choice);
    if (!switchPending_.load()) {
        shownStream_.store(streamIdFlag_.load());
        sizeBeforeSwitch_ = decoder_->Size();
    }
    switchStartMs_.store(now);
    switchPending_.store(true);
    if (streamId) {
        streamIdFlag_.store(*streamId);
    }
    streamSwitches_.fetch_add(1);
    Enqueue(std::move(message));
    int quality = lastQuality_.load();
    if (quality != 0) {
        Enqueue(ControlRequest(quality));
    }
}

void CXOMPPlayer::NotePictureSize(PictureSize size) {
    bool oldSize = size == sizeBeforeSwitch_;
    if (switchPending_.load() &&
        (!oldSize || TickCountMs() - switchStartMs_.load() > kSwitchConfirmMs)) {
        shownStream_.store(-1);
        switchPending_.store(false);
        // Given up waiting for a picture of another size: the camera may
        // still be sending the old stream, so pictures of the old size are
        // not learnt as the new stream's until one of another size comes.
        switchUnconfirmed_ = oldSize;
    }
    if (switchUnconfirmed_) {
        if (oldSize) {
            return;
        }
        switchUnconfirmed_ = false;
    }
    int shown = StreamShown();
    streamSizes_[shown == 1 ? 1 : 0].store(PackSize(size));
    if (shown == PaneStreamPolicy::kSubStream && options_.chooseStreamByPaneSize) {
        std::lock_guard lock(policyMutex_);
        policy_.SetSubSize(size, TickCountMs());
    }
}

int CXOMPPlayer::StreamShown() const {
    int shown = shownStream_.load();
    return shown >= 0 ? shown : streamIdFlag_.load();
}

void CXOMPPlayer::SendPictureStream(bool start) {
    SendStreamCommand(start, start ? (listening_.load() ? "All" : "Video") : "All");
    int quality = lastQuality_.load();
    if (quality == 0) {
        return;
    }
    if (MediaOverPeer()) {
        peer_->SendControl(quality);
    } else {
        link_->Send(*ControlRequest(quality));
    }
}

void CXOMPPlayer::Enqueue(std::unique_ptr<CHalvexProtocolAX> message) {
    uint64_t connection = link_->Connection();
    if (connection == 0 || stop_.load()) {
        return;  // nothing to send it on: dropped, like a send on a closed socket
    }
    requests_->Push(std::move(message), connection);
}

bool CXOMPPlayer::DrainRequests() {
    uint64_t current = link_->Connection();
    bool healthy = failedConnection_.load() != current;
    RequestQueue::Request request;
    while (requests_->Pop(request)) {
        if (healthy && request.connection == current) {
            healthy = link_->SendOn(current, *request.message);
        }
    }
    return healthy;
}

void CXOMPPlayer::SetListening(bool on) {
    listening_.store(on);
    if (MediaOverPeer()) {
        peer_->SetListening(on);
        return;
    }
    auto message = std::make_unique<CHalvexProtocolAX>();
    std::optional<int> streamId =
        channelmsg::BuildStreamCommand(*message, on, "Audio", CurrentStreamChoice(false));
    if (streamId) {
        streamIdFlag_.store(*streamId);
    }
    Enqueue(std::move(message));
}

std::unique_ptr<CHalvexProtocolAX> CXOMPPlayer::ControlRequest(int code) {
    auto message = std::make_unique<CHalvexProtocolAX>();
    channelmsg::BuildControl(*message, code, alert_.load());
    return message;
}

void CXOMPPlayer::SendControl(int code) {
    if (MediaOverPeer()) {
        peer_->SendControl(code);  // not remembered for re-sending
        return;
    }
    if (channelmsg::IsQualityCode(code)) {
        lastQuality_.store(code);
    }
    Enqueue(ControlRequest(code));
}

void CXOMPPlayer::SendPointPtz(int x, int y) {
    auto message = std::make_unique<CHalvexProtocolAX>();
    channelmsg::BuildPointPtz(*message, x, y);
    Enqueue(std::move(message));
}

int CXOMPPlayer::ToggleRecording() {
    std::lock_guard lock(recorderMutex_);
    if (!recorder_) {
        return 0;
    }
    if (recording_.load()) {
        // Frames stop coming first; the recorder finishes the record it may
        // be writing before it closes the file.
        recording_.store(false);
        recorder_->Stop();
        return 1;
    }
    std::string id = record_->Id();
    if (id.empty()) {
        return 0;  // no camera (never opened, or closed)
    }
    // Set before the start, so that a failure reported by the recorder
    // (which clears it) is never overwritten.
    recording_.store(true);
    // Returns at once: the file is made by the next frame, and a failure is
    // reported then.
    if (!recorder_->Start(id.c_str(), record_->Name().c_str())) {
        recording_.store(false);
        return 0;
    }
    return 1;
}

void CXOMPPlayer::SetRecordSettings(const std::string& folder, int minutes) {
    {
        // An empty folder: no snapshots (never into the current directory).
        std::lock_guard lock(snapshotMutex_);
        recordFolder_ = folder;
    }
    std::lock_guard toggles(recorderMutex_);
    if (recorder_) {
        // The recorder refuses new files without a folder.
        recorder_->SetRecordSettings(folder, minutes);
        return;
    }
    if (folder.empty()) {
        return;
    }
    // A channel made while no folder was set records from now on.
    CHalvexRecorder::Options recorderOptions;
    recorderOptions.recordFolder = folder;
    recorderOptions.segmentMinutes = minutes;
    auto recorder = std::make_unique<CHalvexRecorder>(std::move(recorderOptions));
    recorder->SetFailureHandler([this](const std::string& path, const std::string& error) {
        ReportFileFailure(kFailedRecording, path, error);
    });
    std::lock_guard lock(splitMutex_);
    recording_.store(false);
    recorder_ = std::move(recorder);
}

int CXOMPPlayer::TakeSnapshot() {
    std::string folder;
    {
        std::lock_guard lock(snapshotMutex_);
        folder = recordFolder_;
    }
    if (folder.empty()) {
        return 0;
    }
    std::string id = record_->Id();
    if (id.empty()) {
        return 0;
    }
    RecordName name =
        BuildRecordName(folder, record_->Name(), id, LocalRecordTime(std::time(nullptr)));
    RequestSnapshot(name.File(".jpg").string(), true);
    return 1;
}

int CXOMPPlayer::TakeSnapshotTo(const std::string& path) {
    if (path.empty()) {
        return 0;
    }
    RequestSnapshot(path, false);
    return 1;
}

void CXOMPPlayer::RequestSnapshot(const std::string& path, bool keepExisting) {
    std::lock_guard lock(snapshotMutex_);
    snapshotRequest_ = SnapshotRequest{path, keepExisting};
    snapshotPending_.store(true);
    // A pane nobody sees decodes nothing: the next key frame is decoded
    // for the snapshot.
    videoStep_->SetPictureWanted(true);
}

std::string CXOMPPlayer::LastSnapshot() const {
    std::lock_guard lock(snapshotMutex_);
    return lastSnapshot_;
}

void CXOMPPlayer::SaveSnapshot(const AVFrame& picture) {
    std::optional<SnapshotRequest> request;
    {
        std::lock_guard lock(snapshotMutex_);
        request.swap(snapshotRequest_);
        snapshotPending_.store(false);
        videoStep_->SetPictureWanted(false);
    }
    if (!request) {
        return;
    }
    int width = picture.width;
    int height = picture.height;
    std::string error;
    std::vector<uint8_t> encoded;
    std::vector<uint32_t> pixels(static_cast<size_t>(std::max(width, 0)) *
                                 static_cast<size_t>(std::max(height, 0)));
    if (!snapshotRenderer_) {
        snapshotRenderer_ = std::make_unique<PictureRenderer>();
    }
    PictureSlot slot;
    slot.pixels = pixels.data();
    slot.width = width;
    slot.height = height;
    slot.strideBytes = width * 4;
    bool ok = width > 0 && height > 0 && snapshotRenderer_->Convert(picture, slot);
    if (!ok) {
        error = "the picture cannot be converted";
    } else {
        ok = EncodeImage(ImageFormatForPath(request->path), pixels.data(), width, height, encoded,
                         error);
    }
    std::string written;
    if (ok) {
        ok = SaveFileAtomically(
            request->path, request->keepExisting ? SaveMode::kKeepExisting : SaveMode::kReplace,
            encoded, written, error);
    }
    if (!ok) {
        ReportFileFailure(kFailedSnapshot, written.empty() ? request->path : written, error);
        return;
    }
    {
        std::lock_guard lock(snapshotMutex_);
        lastSnapshot_ = written;
    }
    snapshotsSaved_.fetch_add(1);
}

void CXOMPPlayer::ReportFileFailure(uintptr_t what, const std::string& path,
                                    const std::string& error) {
    if (what == kFailedRecording) {
        recording_.store(false);
    }
    NoticeTarget* owner = owner_.load();
    if (owner == nullptr) {
        return;
    }
    Notice notice;
    notice.message = notice::kMediaFileFailed;
    notice.wParam = what;
    notice.text = "cannot write " + path + ": " + error;
    owner->Post(std::move(notice));
}

void CXOMPPlayer::AttachRecorder(std::unique_ptr<FrameRecorder> recorder) {
    std::lock_guard toggles(recorderMutex_);
    if (recorder) {
        recorder->SetFailureHandler([this](const std::string& path, const std::string& error) {
            ReportFileFailure(kFailedRecording, path, error);
        });
    }
    std::unique_ptr<FrameRecorder> old;
    {
        std::lock_guard lock(splitMutex_);
        recording_.store(false);
        old = std::move(recorder_);
        recorder_ = std::move(recorder);
    }
    // Stopped outside the splitting lock: closing a file waits for the disk.
    if (old) {
        old->Stop();
    }
}

int CXOMPPlayer::StartTalk() {
    if (microphone_->Capturing()) {
        return 1;
    }
    auto message = std::make_unique<CHalvexProtocolAX>();
    channelmsg::BuildTalkStart(*message);
    Enqueue(std::move(message));
    if (!microphone_->Start(record_->Id())) {
        // No microphone: received sound is not silenced for a talk that
        // cannot happen, and the caller says why.
        return 0;
    }
    talking_.store(true);
    return 1;
}

void CXOMPPlayer::StopTalk() {
    talking_.store(false);
    microphone_->Stop();
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
    if (switchPending_.load()) {
        // The camera already reads points in the stream asked for.
        uint64_t known = streamSizes_[streamIdFlag_.load() == 1 ? 1 : 0].load();
        if (known != 0) {
            return UnpackSize(known);
        }
    }
    return decoder_->Size();
}
int CXOMPPlayer::ReceivedFrameRate() const {
    return static_cast<int>(splitter_->VideoRate());
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
    return record_->Title();
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
    stats.skippedByView = videoStep_->PolicySkips();
    stats.streamSwitches = streamSwitches_.load();
    stats.lightDecodes = lightDecodes_.load(std::memory_order_relaxed);
    stats.reconnectAttempts = receiver_->ReconnectAttempts();
    stats.reconnects = receiver_->Reconnects();
    stats.overlongMessages = receiver_->OverlongMessages();
    stats.talkFramesSent = talkFramesSent_.load();
    PeerTransport::Counters peer = peer_->Read();
    stats.peerVideoFrames = peer.framesSplit;
    stats.peerAudioFrames = peer.audioSplit;
    stats.peerSessions = peer.sessions;
    stats.peerLosses = peer.losses;
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

void CXOMPPlayer::VideoLoop(AutoResetEvent& stop) {
    auto decode = [this](const FrameBuffer& frame, bool alarm) {
        currentAlarm_ = alarm;
        currentSendStamp_ = ReadSendStamp(frame.header);
        uint64_t view = viewSize_.load();
        bool deblock =
            view == 0 || PaneStreamPolicy::DeblockFor(UnpackSize(view), decoder_->Size());
        decoder_->SetDeblocking(deblock);
        if (!deblock) {
            lightDecodes_.fetch_add(1, std::memory_order_relaxed);
        }
        decoder_->Decode(frame.Data(), frame.Size());
    };
    auto rest = [&stop, this](int ms) { return stop.Wait(ms) || stop_.load(); };
    while (!stop.TryConsume() && !stop_.load()) {
        SwitchStreamIfDue();
        if (videoStep_->RunOnce(decode, rest, stop_) == LiveVideoStep::Outcome::kIdle) {
            splitter_->VideoQueue().WaitForFrame(kQueueWaitMs);
        }
    }
}

void CXOMPPlayer::AudioLoop(AutoResetEvent& stop) {
    AudioSink* sink = options_.audioSink;
    if (sink == nullptr) {
        if (!sound_) {
            sound_ = std::make_unique<CWaveOut>(options_.audioBackend, name_);
        }
        sink = sound_.get();
    }
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
        CQueueBuf::PopResult popped = microphone_->Queue().Pop(*talkBuffer_);
        if (popped == CQueueBuf::PopResult::kEmpty) {
            microphone_->Queue().WaitForFrame(kQueueWaitMs);
            continue;
        }
        if (popped != CQueueBuf::PopResult::kFrame) {
            continue;
        }
        CHalvexProtocolAX message;
        channelmsg::BuildTalkAudio(message, talkBuffer_->Data(), talkBuffer_->Size());
        if (link_->Send(message)) {
            talkFramesSent_.fetch_add(1);
        }
    }
}

void CXOMPPlayer::SendLoop(AutoResetEvent& stop) {
    RequestQueue::Request request;
    while (!stop.TryConsume() && !stop_.load()) {
        if (!requests_->Pop(request)) {
            requests_->WaitForRequest(kQueueWaitMs);
            continue;
        }
        // Under the socket's send lock with the usual 1 s time-out; a
        // request of an earlier connection is dropped.
        if (!link_->SendOn(request.connection, *request.message) &&
            request.connection == link_->Connection()) {
            failedConnection_.store(request.connection);  // stuck or broken
        }
        request.message.reset();
    }
}

uint64_t CXOMPPlayer::RefusedRequests() const {
    return requests_->Refused();
}

bool CXOMPPlayer::StartP2p(const std::string& id, bool onlyPeer) {
    return peer_->Start(id, onlyPeer);
}

void CXOMPPlayer::StopP2p() {
    // Every wait of its threads ends when told: this takes milliseconds,
    // 2000 ms per thread at worst.
    peer_->Stop();
}

}  // namespace orbisight
