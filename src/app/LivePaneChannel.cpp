// The pane seam over the media engine's live channel.

#include "account/DeviceInfo.h"
#include "app/PaneChannel.h"
#include "media/CXOMPPlayer.h"

namespace orbisight {

namespace {

PaneRect ToMedia(const ZoneRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

class LivePaneChannel : public PaneChannel {
  public:
    explicit LivePaneChannel(const PaneChannelSettings& s) : player_(Options(s)) {}

    int Open(const DeviceInfo& record, NoticeTarget* owner) override {
        return player_.Open(&record, owner);
    }
    void Close() override { player_.Close(); }
    void SendControl(int code) override { player_.SendControl(code); }
    void SendPointPtz(int x, int y) override { player_.SendPointPtz(x, y); }
    int ToggleRecording() override { return player_.ToggleRecording(); }
    int TakeSnapshot() override { return player_.TakeSnapshot(); }
    void SetListening(bool on) override { player_.SetListening(on); }
    void SetRecordSettings(const std::string& folder, int minutes) override {
        player_.SetRecordSettings(folder, minutes);
    }
    int StartTalk() override { return player_.StartTalk(); }
    void StopTalk() override { player_.StopTalk(); }
    bool Playing() const override { return player_.Playing(); }
    bool Recording() const override { return player_.Recording(); }
    bool Listening() const override { return player_.Listening(); }
    bool Talking() const override { return player_.Talking(); }
    bool Alert() const override { return player_.Alert(); }
    void SetAlert(bool on) override { player_.SetAlert(on); }
    bool KeyFramesOnly() const override { return player_.KeyFramesOnly(); }
    void SetKeyFramesOnly(bool on) override { player_.SetKeyFramesOnly(on); }
    int StreamIdFlag() const override { return player_.StreamIdFlag(); }
    void SetPaneView(const PaneView& view) override { player_.SetPaneView(view); }
    bool ChoosesStreamByPaneSize() const override { return player_.ChoosesStreamByPaneSize(); }
    int StreamShown() const override { return player_.StreamShown(); }
    bool StreamSwitching() const override { return player_.StreamSwitching(); }
    bool PeerToPeer() const override { return player_.MediaOverPeer(); }
    PictureSize PictureSizeForPoints() const override { return player_.PictureSizeForPoints(); }
    int ReceivedFrameRate() const override { return player_.ReceivedFrameRate(); }
    PaneChannelCounters Counters() const override {
        LiveChannelStats stats = player_.Stats();
        return {stats.videoFrames, stats.decoded,
                stats.droppedQueue + stats.droppedGate + stats.droppedInvalid};
    }
    void SetZones(const PaneZones& zones) override {
        PaneButtonBoxes boxes;
        boxes.inner = ToMedia(zones.inner);
        boxes.topRight = ToMedia(zones.close);
        boxes.bottomRight = ToMedia(zones.bottomRight);
        player_.SetButtonBoxes(boxes);
    }
    void SetHover(bool close, bool recordings, bool web) override {
        player_.SetHover(close, recordings, web);
    }

  private:
    static LiveChannelOptions Options(const PaneChannelSettings& s) {
        LiveChannelOptions o;
        o.localBigStream = s.localBigStream;
        o.localOnlyKeyFrames = s.localOnlyKeyFrames;
        o.chooseStreamByPaneSize = s.chooseStreamByPaneSize;
        o.alarmBlink = s.alarmBlink;
        o.directory = s.directory;
        o.videoSink = s.videoSink;
        o.name = s.name;
        o.recordFolder = s.recordFolder;
        o.recordMinutes = s.recordMinutes;
        o.peer.rendezvousHost = s.rendezvousHost;
        o.peer.rendezvousPort = s.rendezvousPort;
        return o;
    }

    CXOMPPlayer player_;
};

}  // namespace

std::unique_ptr<PaneChannel> CreateLivePaneChannel(const PaneChannelSettings& settings) {
    return std::make_unique<LivePaneChannel>(settings);
}

}  // namespace orbisight
