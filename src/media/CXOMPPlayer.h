#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "media/MediaHooks.h"
#include "media/PaneStreamPolicy.h"
#include "media/PeerTransport.h"
#include "media/VideoSink.h"
#include "platform/Notice.h"
#include "platform/WorkerThread.h"

struct AVFrame;

namespace orbisight {

struct DeviceInfo;
class DeviceDirectory;
class CHalvexDecoder;
class ChannelReceiver;
class ChannelRecord;
class FrameSplitter;
class LiveLink;
class LiveVideoStep;
class CQueueBuf;
class CWaveIn;
class CWaveOut;
class AudioBackend;
class CHalvexProtocolAX;
class RequestQueue;
class FrameBuffer;
class PictureRenderer;
namespace channelmsg {
struct StreamChoice;
}

// What a live channel takes from the application's settings record and from
// its pane. Filled by the caller at construction; the engine has no global
// settings object.
struct LiveChannelOptions {
    bool localBigStream = true;       // "Local big stream": main stream for local cameras
    bool localOnlyKeyFrames = false;  // "Local only play I frame": for local cameras
    // "Choose stream by pane size": the pane's view (SetPaneView) picks the
    // stream of a direct connection and what is decoded (PaneStreamPolicy);
    // it takes the place of "Local big stream". Off: the view decides only
    // what is decoded (nothing for a pane nobody sees, key frames for a tiny
    // one), not the stream.
    bool chooseStreamByPaneSize = false;
    bool alarmBlink = false;  // "Alarm blink": alarm-marked pictures get a border
    // Looks up a camera's current address list at reconnection; null: no refresh.
    const DeviceDirectory* directory = nullptr;
    VideoSink* videoSink = nullptr;  // null: pictures are decoded, not drawn
    // null: the channel plays its sound through its own CWaveOut.
    AudioSink* audioSink = nullptr;
    // Sound output and microphone of the channel's own CWaveOut and CWaveIn;
    // null: the process's (ORBISIGHT_AUDIO).
    AudioBackend* audioBackend = nullptr;
    // Prefix of the thread names ("cam3" gives "cam3/recv", "cam3/video" ...);
    // empty: "cam<n>" with a process-wide counter.
    std::string name;
    // Decoder threads per channel. One (the default) keeps one video thread
    // per channel; more helps a single large stream on an idle machine.
    int decoderThreads = 1;
    // A camera of the account's list that the list showed off-line is not
    // tried every second but this often: the channel's copy of the record
    // never learns that the camera came back.
    int offlineRetryMs = 30000;
    // Where recordings and snapshots go ("Record file path:"); empty: the
    // channel has no recorder (ToggleRecording and TakeSnapshot return 0)
    // until SetRecordSettings gives it a folder.
    std::string recordFolder;
    // "Record file divide:": minutes per recording file (below 1: 60).
    int recordMinutes = 60;
    // The peer-to-peer service ("CameraClient.ini" [P2P]) and its pacing.
    PeerSettings peer;
    // The peer-to-peer calls; null: the process's peer-to-peer layer.
    PeerCalls* peerCalls = nullptr;
};

// Overlay button boxes of a pane, in the pane's client coordinates.
struct PaneRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const PaneRect&) const = default;
};
struct PaneButtonBoxes {
    PaneRect inner;        // client rectangle inset by 6 on every side
    PaneRect topRight;     // the close box
    PaneRect bottomRight;  // the bottom-right area

    // The boxes for a pane whose client rectangle is `client`.
    static PaneButtonBoxes ForClient(const PaneRect& client);
};

// Counters for the command-line tool and the benchmark (any thread).
struct LiveChannelStats {
    uint64_t videoFrames = 0;     // video frames split from the stream
    uint64_t audioFrames = 0;     // audio frames split from the stream
    uint64_t decoded = 0;         // pictures the decoder produced
    uint64_t droppedQueue = 0;    // frames refused by a full queue
    uint64_t droppedGate = 0;     // video frames dropped waiting for a key frame
    uint64_t droppedInvalid = 0;  // frames cut off by their message or too large for a buffer
    uint64_t skippedByView = 0;   // video frames not decoded: the pane was hidden or tiny
    uint64_t streamSwitches = 0;  // stream switches asked of the camera
    uint64_t lightDecodes = 0;    // frames decoded without deblocking (a small pane)
    uint64_t reconnectAttempts = 0;
    uint64_t reconnects = 0;        // reconnection attempts that logged in
    uint64_t overlongMessages = 0;  // messages above the size limit, skipped
    uint64_t talkFramesSent = 0;    // encoded microphone frames sent to the camera
    uint64_t peerVideoFrames = 0;   // video frames that came over peer-to-peer
    uint64_t peerAudioFrames = 0;   // audio frames that came over peer-to-peer
    uint64_t peerSessions = 0;      // peer-to-peer sessions started
    uint64_t peerLosses = 0;        // peer-to-peer sessions lost or failed
};

// The live channel of one video pane: reaches one camera, logs in, asks for
// its video (and on request its sound), receives media frames and hands them
// to its video and audio threads through two bounded queues, sends the
// pane's and the device panel's control requests, keeps the connection
// alive and re-establishes it after a failure.
//
// Threads: receive ("<name>/recv"), video ("<name>/video"), keep-alive
// ("<name>/alive"), audio ("<name>/audio"), talk ("<name>/talk") and send
// ("<name>/send"). The operations below are called on the user-interface
// thread, Open and Close on a worker (the pane's opening and closing
// threads). None of the requests waits for the network: each is built at
// once and handed to the send thread through the channel's request queue
// (RequestQueue: 32 requests, a full queue refuses the newest, sent in the
// order asked, each only on the connection that was open when it was
// asked; a request made while nothing is connected is dropped, as a send on
// a closed socket always was).
class CXOMPPlayer {
  public:
    explicit CXOMPPlayer(LiveChannelOptions options = {});
    virtual ~CXOMPPlayer();
    CXOMPPlayer(const CXOMPPlayer&) = delete;
    CXOMPPlayer& operator=(const CXOMPPlayer&) = delete;

    // Copies the record (none: use the copy already held), parses its
    // addresses, starts the threads, connects and logs in, and posts the
    // state notice (notice::kCommand, wParam 0x4000, lParam connected 0/1) to
    // owner. Returns 1 when the login succeeded (or peer-to-peer started),
    // else 0; the receive thread keeps trying either way. On a channel that
    // is already open it only takes the new record and owner and reports the
    // connected flag (the receive thread owns the connection).
    int Open(const DeviceInfo* record, NoticeTarget* owner);

    // Stops every thread, sends the requests still queued for the open
    // connection (until one fails), then the stream stop, and closes the
    // connection. Returns within about 7.3 s even when every thread is
    // blocked, normally in a few ms; a name resolution in progress is
    // abandoned, not waited for. Safe to call while Open runs on another
    // thread, and more than once.
    void Close();

    // Asks for the camera's sound ("Start"/"Stop", "Type" "Audio"); the
    // listening flag changes at once.
    void SetListening(bool on);

    // One control request: 100 ask the motion alert, 101 set it (flip the
    // alert flag with SetAlert first), 103 + 256 * q stream quality (q 1 max,
    // 3 mid, other min; remembered and re-sent after every stream command),
    // anything else a camera control (pan, tilt, presets...).
    void SendControl(int code);

    // Asks the camera to aim at a point of the picture (picture pixels).
    void SendPointPtz(int x, int y);

    // Starts or stops recording into "<folder>/<name>(<id>)/<date>/...264".
    // 1 when done; 0 without a recorder or camera record. Nothing waits for
    // the disk: the file is made by the first frame after the start (so a
    // recording may start before the camera is connected), and one that
    // cannot be made is reported as below.
    //
    // When a recording stops by itself (a file that cannot be created or
    // written) or a snapshot cannot be saved, the owner gets
    // notice::kMediaFileFailed (wParam kFailedRecording or kFailedSnapshot,
    // text "cannot write <path>: <reason>") and the recording flag is off.
    int ToggleRecording();
    // Saves the next decoded picture, at its own size, as
    // "<folder>/<name>(<id>)/<date>/<name>(<id>)_<date>-<time>.jpg" (an
    // existing file is kept: the new one is numbered). A later request
    // replaces a pending one. 1 when accepted.
    int TakeSnapshot();
    // The same into an exact path (replaced when it exists); the format
    // follows its extension (png, bmp, else JPEG).
    int TakeSnapshotTo(const std::string& path);
    // Snapshots saved so far and the path of the latest (any thread).
    uint64_t SnapshotsSaved() const { return snapshotsSaved_.load(); }
    std::string LastSnapshot() const;
    // New record folder and file length (the settings dialog): used from
    // the next recording file and snapshot on. A channel made without a
    // folder gets its recorder here; an empty folder makes recording and
    // snapshots unavailable (a running recording ends at its next file).
    void SetRecordSettings(const std::string& folder, int minutes);
    // Replaces the channel's recorder (a running recording is stopped).
    void AttachRecorder(std::unique_ptr<FrameRecorder> recorder);
    static constexpr uintptr_t kFailedRecording = 0;
    static constexpr uintptr_t kFailedSnapshot = 1;

    // Talk: sends the talk start request, starts the microphone and sets the
    // talking flag (received sound is dropped while it is set); the talk
    // thread sends what the microphone captures. Returns 1 when talking, 0
    // when there is no microphone: the talking flag stays clear and the
    // caller tells the user.
    int StartTalk();
    // Clears the talking flag and stops the microphone. Nothing is sent.
    void StopTalk();

    // Splits one "Data" value into frames and queues them (also the entry of
    // the peer-to-peer transport). Serialised by the channel's splitting
    // mutex; never reads past data + length.
    void SplitFrames(const uint8_t* data, size_t length);

    // Flags the pane and the device panel read (any thread).
    bool Connected() const { return connected_.load(); }
    bool Recording() const { return recording_.load(); }
    bool Listening() const { return listening_.load(); }
    bool Talking() const { return talking_.load(); }
    bool Alert() const { return alert_.load(); }
    void SetAlert(bool on) { alert_.store(on); }
    bool Playing() const;  // the first key frame has been decoded
    bool KeyFramesOnly() const;
    void SetKeyFramesOnly(bool on);
    int StreamIdFlag() const;  // the last "StreamID" value sent (0 or 1)
    // The pane's size and visibility (window thread; cheap, call it on every
    // change). Used only with chooseStreamByPaneSize: the stream is chosen
    // at the next start of the picture stream, or switched once the wish
    // has held long enough (the video thread sends the switch); what is
    // decoded changes with the next frame.
    void SetPaneView(const PaneView& view);
    bool ChoosesStreamByPaneSize() const { return options_.chooseStreamByPaneSize; }
    // The stream whose pictures are shown (0 main, 1 sub): after a switch it
    // changes with the first picture of the new stream. Without a switch,
    // the StreamID flag.
    int StreamShown() const;
    // A switch has been asked and its first picture not yet decoded.
    bool StreamSwitching() const { return switchPending_.load(); }
    int LastQualityCode() const;  // 0 = none
    bool Remote() const;          // connected through the "ddns://" address
    bool MediaOverPeer() const { return peer_->MediaOverPeer(); }
    // Peer-to-peer: whether it was started (and not stopped by Close), its
    // state (1 connected) and whether its threads have given up.
    bool PeerStarted() const { return peer_->Running(); }
    int PeerState() const { return peer_->State(); }
    bool PeerStopped() const { return peer_->Stopped(); }
    bool Stopping() const { return stop_.load(); }

    // The picture size of the stream the camera sends, which the camera
    // reads drag points in: the decoder's size (490 x 385 until the first
    // picture), except while a switch is under way, when the size last
    // decoded of the stream asked for (when known) is the one that counts.
    PictureSize PictureSizeForPoints() const;
    // The frame rate of the last video frame received (its header's rate):
    // the measure the quality menus and tooltips read.
    int ReceivedFrameRate() const;

    // Overlay button boxes and hover flags, set by the pane.
    void SetButtonBoxes(const PaneButtonBoxes& boxes);
    PaneButtonBoxes ButtonBoxes() const;
    void SetHover(bool close, bool replay, bool web);
    bool HoverClose() const { return hoverClose_.load(); }
    bool HoverReplay() const { return hoverReplay_.load(); }
    bool HoverWeb() const { return hoverWeb_.load(); }

    LiveChannelStats Stats() const;
    // Requests refused because the request queue was full.
    uint64_t RefusedRequests() const;
    const std::string& Name() const { return name_; }

    // The title drawn over the picture (the record's name).
    std::string Title() const;

  private:
    class ReceiverEvents;
    friend class ReceiverEvents;
    class PeerEvents;
    friend class PeerEvents;

    void VideoLoop(AutoResetEvent& stop);
    void AudioLoop(AutoResetEvent& stop);
    void TalkLoop(AutoResetEvent& stop);
    void SendLoop(AutoResetEvent& stop);

    // Hands a request to the send thread, tagged with the open connection;
    // dropped when none is open or the channel is closing.
    void Enqueue(std::unique_ptr<CHalvexProtocolAX> message);
    // The control request of SendControl(code), built now.
    std::unique_ptr<CHalvexProtocolAX> ControlRequest(int code);
    // Sends the requests still queued for the open connection, in order,
    // until one fails. False when one failed.
    bool DrainRequests();

    // pictureStart: a start of the picture stream, which takes the pane's
    // stream wish at once.
    channelmsg::StreamChoice CurrentStreamChoice(bool pictureStart);
    void SendStreamCommand(bool start, const char* type);
    // Video thread: sends a due stream switch (through the request queue).
    void SwitchStreamIfDue();
    // Video thread: a decoded picture of size; ends a switch in progress
    // and learns the sub stream's size.
    void NotePictureSize(PictureSize size);
    // The picture stream's start or stop, then the remembered quality.
    void SendPictureStream(bool start);
    void PostState();
    // Starts the peer-to-peer transport for the identifier (true once its
    // threads run); a camera without a direct address keeps trying it.
    bool StartP2p(const std::string& id, bool onlyPeer);
    void StopP2p();
    // Signals every thread and wakes every blocking call; waits for nothing.
    void SignalStop();
    VideoOverlay OverlayFor(bool alarm);
    void ReportFileFailure(uintptr_t what, const std::string& path, const std::string& error);
    void RequestSnapshot(const std::string& path, bool keepExisting);
    // Video thread: saves a requested snapshot of this picture.
    void SaveSnapshot(const AVFrame& picture);

    const LiveChannelOptions options_;
    const std::string name_;

    std::unique_ptr<ChannelRecord> record_;  // the camera's record, copied at Open
    std::unique_ptr<CHalvexDecoder> decoder_;
    std::unique_ptr<LiveLink> link_;
    std::unique_ptr<FrameSplitter> splitter_;
    std::unique_ptr<LiveVideoStep> videoStep_;
    std::unique_ptr<ReceiverEvents> events_;
    std::unique_ptr<PeerEvents> peerEvents_;
    std::unique_ptr<PeerTransport> peer_;
    std::unique_ptr<ChannelReceiver> receiver_;  // receive and keep-alive threads
    std::unique_ptr<CWaveIn> microphone_;        // encoded talk frames in its queue
    std::unique_ptr<CWaveOut> sound_;            // audio thread only; when no sink is given
    std::unique_ptr<RequestQueue> requests_;     // window -> send thread
    std::unique_ptr<FrameBuffer> audioBuffer_;
    std::unique_ptr<FrameBuffer> talkBuffer_;
    std::unique_ptr<PictureRenderer> renderer_;  // video thread only
    // Written under both splitMutex_ and recorderMutex_; read under either.
    std::unique_ptr<FrameRecorder> recorder_;
    std::unique_ptr<PictureRenderer> snapshotRenderer_;  // video thread only

    std::atomic<NoticeTarget*> owner_{nullptr};

    // Serialises Open and Close.
    std::mutex lifecycleMutex_;
    // Orders a Close's stop signal against an Open clearing the stop flag,
    // so a Close that comes while an Open waits or starts is never undone.
    std::mutex stopMutex_;
    uint64_t closeRequests_ = 0;  // protected by stopMutex_
    // Serialises frame splitting (receive thread, peer-to-peer threads).
    std::mutex splitMutex_;
    // Orders recording starts, stops and recorder changes (window thread).
    std::mutex recorderMutex_;

    std::string recordFolder_;  // protected by snapshotMutex_

    struct SnapshotRequest {
        std::string path;
        bool keepExisting = true;
    };
    mutable std::mutex snapshotMutex_;
    std::optional<SnapshotRequest> snapshotRequest_;  // protected by snapshotMutex_
    std::string lastSnapshot_;                        // protected by snapshotMutex_
    std::atomic<bool> snapshotPending_{false};
    std::atomic<uint64_t> snapshotsSaved_{0};

    WorkerThread videoThread_;
    WorkerThread audioThread_;
    WorkerThread talkThread_;
    WorkerThread sendThread_;

    std::atomic<bool> stop_{false};
    // The connection on which a send of the send thread failed (0: none):
    // Close tries nothing more on it.
    std::atomic<uint64_t> failedConnection_{0};
    std::atomic<bool> connected_{false};
    std::atomic<bool> listening_{false};
    std::atomic<bool> talking_{false};
    std::atomic<uint64_t> talkFramesSent_{0};
    std::atomic<bool> recording_{false};
    std::atomic<bool> alert_{false};
    std::atomic<bool> hoverClose_{false};
    std::atomic<bool> hoverReplay_{false};
    std::atomic<bool> hoverWeb_{false};
    std::atomic<int> localMode_{0};  // 2 for a camera of the local list
    std::atomic<int> streamIdFlag_{0};
    std::atomic<int> lastQuality_{0};
    bool currentAlarm_ = false;      // video thread only: the frame being decoded
    uint32_t currentSendStamp_ = 0;  // video thread only: its send stamp

    // Cleared once peer-to-peer has been started: a channel starts it once.
    std::atomic<bool> peerAllowed_{true};

    // The pane's view and the stream policy (window, receive and video
    // threads).
    mutable std::mutex policyMutex_;
    PaneStreamPolicy policy_;  // protected by policyMutex_
    std::atomic<bool> switchPending_{false};
    std::atomic<int> shownStream_{-1};  // -1: the StreamID flag
    std::atomic<uint64_t> switchStartMs_{0};
    std::atomic<uint64_t> streamSwitches_{0};
    // The pane's drawn picture size while it can be seen (packed as in the
    // decoder); 0: not told, or hidden.
    std::atomic<uint64_t> viewSize_{0};
    std::atomic<uint64_t> lightDecodes_{0};
    PictureSize sizeBeforeSwitch_;    // video thread only
    bool switchUnconfirmed_ = false;  // video thread only (see NotePictureSize)
    // The last decoded size of each stream (main, sub), packed as in the
    // decoder; 0: none yet.
    std::atomic<uint64_t> streamSizes_[2] = {0, 0};

    mutable std::mutex boxesMutex_;
    PaneButtonBoxes boxes_;  // protected by boxesMutex_
};

}  // namespace orbisight
