#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/PaneGeometry.h"
#include "media/PaneStreamPolicy.h"
#include "media/VideoSink.h"
#include "platform/Notice.h"

namespace orbisight {

struct DeviceInfo;
class DeviceDirectory;

// What a pane's live channel needs from the settings record and the pane.
struct PaneChannelSettings {
    bool localBigStream = true;
    bool localOnlyKeyFrames = false;      // given only for cameras of the local list
    bool chooseStreamByPaneSize = false;  // "Choose stream by pane size"
    bool alarmBlink = false;
    const DeviceDirectory* directory = nullptr;
    VideoSink* videoSink = nullptr;
    std::string name;          // thread name prefix, "cam<slot>"
    std::string recordFolder;  // "Record file path:"; empty: no recording
    int recordMinutes = 60;    // "Record file divide:"
    // The peer-to-peer rendezvous service ("CameraClient.ini" [P2P]).
    std::string rendezvousHost = "127.0.0.1";
    int rendezvousPort = 5570;
};

// A channel's running totals, for the benchmark's statistics.
struct PaneChannelCounters {
    uint64_t videoFrames = 0;  // video frames received
    uint64_t decoded = 0;      // pictures decoded
    uint64_t dropped = 0;      // frames lost to a full queue, the key-frame gate or bad input
};

// The operations a video pane uses on its live channel. The live channel
// itself is the media engine's; this seam lets the widget tests drive a pane
// without a camera.
class PaneChannel {
  public:
    virtual ~PaneChannel() = default;

    // On the pane's opening thread. 1 when connected, else 0; the state
    // notice goes to owner.
    virtual int Open(const DeviceInfo& record, NoticeTarget* owner) = 0;
    virtual void Close() = 0;

    virtual void SendControl(int code) = 0;
    virtual void SendPointPtz(int x, int y) = 0;
    // 1 when done. A recording or snapshot that fails (now or later) is
    // told to the owner as notice::kMediaFileFailed.
    virtual int ToggleRecording() = 0;
    virtual int TakeSnapshot() = 0;
    virtual void SetListening(bool on) = 0;
    // The settings dialog's new record folder and file length, used from
    // the next file on.
    virtual void SetRecordSettings(const std::string& /*folder*/, int /*minutes*/) {}
    // 1 when talking, 0 when there is no microphone (nothing changes).
    virtual int StartTalk() = 0;
    virtual void StopTalk() = 0;

    virtual bool Playing() const = 0;  // the first picture has been decoded
    virtual bool Recording() const = 0;
    virtual bool Listening() const = 0;
    virtual bool Talking() const = 0;
    virtual bool Alert() const = 0;
    virtual void SetAlert(bool on) = 0;
    virtual bool KeyFramesOnly() const = 0;
    virtual void SetKeyFramesOnly(bool on) = 0;
    virtual int StreamIdFlag() const = 0;
    // The pane's drawn size and visibility, on every change (window thread).
    // A channel that chooses its stream by the pane's size picks its stream
    // and what it decodes from it; others ignore it.
    virtual void SetPaneView(const PaneView& /*view*/) {}
    virtual bool ChoosesStreamByPaneSize() const { return false; }
    // The stream whose pictures the pane shows: 0 main, 1 sub.
    virtual int StreamShown() const { return StreamIdFlag(); }
    // A switch to the other stream waits for its first picture.
    virtual bool StreamSwitching() const { return false; }
    virtual bool PeerToPeer() const = 0;
    // The decoder's picture size as one pair (490 x 385 before the first
    // picture): width and height of the same picture, also while the stream
    // changes its size.
    virtual PictureSize PictureSizeForPoints() const = 0;
    // The frame rate of the last video frame received (0 before the first):
    // the channel's quality value for the quality tooltips and menus.
    virtual int ReceivedFrameRate() const = 0;
    virtual PaneChannelCounters Counters() const { return {}; }

    // The pane's boxes and hover flags, for the overlay drawn over video.
    virtual void SetZones(const PaneZones& zones) = 0;
    virtual void SetHover(bool close, bool recordings, bool web) = 0;
};

using PaneChannelFactory =
    std::function<std::unique_ptr<PaneChannel>(const PaneChannelSettings& settings)>;

// The media engine's live channel behind the seam.
std::unique_ptr<PaneChannel> CreateLivePaneChannel(const PaneChannelSettings& settings);

}  // namespace orbisight
