#include "app/CDlgVedioShow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QWindow>

#include "app/CameraWebPage.h"
#include "app/ChannelCloser.h"
#include "app/PaneLink.h"
#include "app/PaneVideoSink.h"
#include "app/RepaintBatch.h"
#include "app/WindowCover.h"
#include "media/FrameStamp.h"
#include "media/PictureStretch.h"
#include "platform/Clock.h"
#include "ui/MessageBoxes.h"
#include "ui/ShutterSound.h"
#include "ui/SkinImages.h"

namespace orbisight {

namespace {
const QColor kGrey132(132, 132, 132);
const QColor kGrey220(220, 220, 220);
const QColor kTitleBox(0x64, 0x64, 0x64);
const QColor kTitleText(0xf5, 0xf5, 0xf5);
const char* kConnectingText = "Connecting, please wait ......";

// Drag-to-point goes with the sub stream; a channel that picks its stream by
// the pane's size aims on either stream (the point is scaled to the stream
// the camera sends).
bool DragToPointAllowed(const PaneChannel& channel) {
    return channel.StreamIdFlag() == 1 || channel.ChoosesStreamByPaneSize();
}

QFont TitleFont(const QFont& base) {
    // The pane's font at 1.5 times its height and weight.
    QFont f = base;
    int px = base.pixelSize() > 0 ? base.pixelSize() : 12;
    f.setPixelSize(px * 3 / 2);
    f.setWeight(static_cast<QFont::Weight>(std::min(900, base.weight() * 3 / 2)));
    return f;
}
}  // namespace

CDlgVedioShow::CDlgVedioShow(int slot, const PaneContext* context, QWidget* parent)
    : QWidget(parent), slot_(slot), context_(context) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    hide();
    sink_ = std::make_unique<PaneVideoSink>(nullptr);
    alertTimer_.setSingleShot(false);
    connect(&alertTimer_, &QTimer::timeout, this, [this] {
        if (channel_) {
            channel_->SendControl(100);
        }
    });
    alertTimer_.start(kAlertPollFirstMs);
    // A pane that stops showing a camera forgets the toolbar zone: the
    // toolbar must follow the next camera shown here.
    connect(this, &CDlgVedioShow::connectionChanged, this, [this] {
        if (!inUse_) {
            ResetToolbarZone();
            hoverPanTilt_ = false;
        }
    });
}

CDlgVedioShow::~CDlgVedioShow() {
    ReleaseChannel();
}

void CDlgVedioShow::ReleaseChannel() {
    if (link_) {
        // From here on nothing the old channel posts or draws reaches us.
        link_->Detach();
    }
    if (!channel_ && !opener_) {
        link_.reset();
        return;
    }
    ReleasedChannel released;
    if (opener_) {
        opener_->SignalStop();  // before anything else: see CloseNow
    }
    released.channel = std::move(channel_);
    released.opener = std::move(opener_);
    // The old channel's video thread may still write into its sink until it
    // is closed: the sink goes with it, the pane takes an idle one.
    released.sink = std::move(sink_);
    released.keep = std::move(link_);
    sink_ = std::make_unique<PaneVideoSink>(nullptr);
    toldView_.reset();
    UpdateWantedSize();
    if (context_ && context_->closer) {
        context_->closer->Hand(std::move(released));
    } else {
        released.CloseNow();
    }
}

void CDlgVedioShow::Assign(const DeviceInfo& device) {
    ReleaseChannel();
    ++generation_;
    device_ = device;
    if (context_ && context_->prepareDevice) {
        context_->prepareDevice(*device_);
    }
    uint64_t generation = generation_;
    link_ = std::make_shared<PaneLink>(
        this,
        [this, generation](const Notice& n) {
            if (n.message == notice::kCommand && n.wParam == notice::kChannelStateCommand) {
                OnChannelNotice(generation, n.lParam);
            } else if (n.message == notice::kMediaFileFailed) {
                OnMediaFileFailed(generation, n.wParam, n.text);
            }
        },
        [this, generation] {
            if (generation == generation_) {
                OnPictureReady();
            }
        });
    sink_ = std::make_unique<PaneVideoSink>([link = link_] { link->Wake(); });
    PaneChannelSettings settings;
    if (context_ && context_->channelSettings) {
        settings = context_->channelSettings(device, slot_);
    }
    settings.videoSink = sink_.get();
    if (!device.local) {
        // "Local only play I frame" applies to cameras of the local list only.
        settings.localOnlyKeyFrames = false;
    }
    // While the closer is this far behind, no more channels are made: the
    // camera shows as not connected.
    bool refused =
        context_ && context_->closer && context_->closer->Pending() >= ChannelCloser::kMaxPending;
    if (context_ && context_->createChannel && !refused) {
        channel_ = context_->createChannel(settings);
    }
    connectTickMs_ = TickCountMs();
    connectTime_ = QDateTime::currentDateTime();
    device_->connected = refused ? 0 : 1;
    connected_.store(!refused);
    inUse_ = true;
    toldView_.reset();
    UpdateWantedSize();
    if (channel_) {
        channel_->SetZones(zones_);
        // The opening thread reaches the pane only through the link: it may
        // still be inside Open when the pane has long moved on.
        PaneChannel* channel = channel_.get();
        std::shared_ptr<PaneLink> link = link_;
        DeviceInfo record = *device_;
        opener_ = std::make_unique<WorkerThread>();
        opener_->Start("cam" + std::to_string(slot_) + "/open", [this, channel, link, record,
                                                                 generation](AutoResetEvent& stop) {
            if (stop.TryConsume()) {
                return;  // released before the channel was opened
            }
            int result = channel->Open(record, link.get());
            if (stop.TryConsume()) {
                channel->Close();  // released while Open was starting
                return;
            }
            link->Queue([this, generation, result] { OnOpenDone(generation, result); });
        });
    }
    emit selectRequested(this);
    update();
    emit connectionChanged(this);
}

void CDlgVedioShow::OnOpenDone(uint64_t generation, int result) {
    if (generation != generation_ || !device_) {
        return;
    }
    connected_.store(result == 1);
    if (!connected_.load()) {
        device_->connected = 0;
    }
    update();
    emit connectionChanged(this);
}

void CDlgVedioShow::OnChannelNotice(uint64_t generation, intptr_t state) {
    if (generation != generation_ || !inUse_) {
        return;  // from a channel that has since been replaced or closed
    }
    Command(kCmdChannelState, static_cast<int>(state));
}

void CDlgVedioShow::OnMediaFileFailed(uint64_t generation, uintptr_t what,
                                      const std::string& text) {
    if (generation != generation_ || !inUse_) {
        return;
    }
    update();  // the recording icon goes off
    emit connectionChanged(this);
    // The same full disk stops every recording of the wall at once: one
    // box says why, the others would only repeat it.
    static bool showing = false;
    if (showing) {
        return;
    }
    showing = true;
    QString head = what == 0 ? "Recording stopped: " : "Snapshot not saved: ";
    ui::ShowNote(this, "Error", head + QString::fromUtf8(text.c_str()), ui::MessageIcon::kCritical);
    showing = false;
}

void CDlgVedioShow::Disconnect() {
    ReleaseChannel();
    ++generation_;
    device_.reset();
    connected_.store(false);
    inUse_ = false;
    dragStart_.reset();
    dragRect_.reset();
    UpdateWantedSize();
    update();
    emit connectionChanged(this);
}

void CDlgVedioShow::Command(int command, int value) {
    switch (command) {
        case kCmdDisconnect:
            emit disconnectRequested(this);
            break;
        case kCmdToggleRecording:
            UserToggleRecording();
            break;
        case kCmdSnapshot:
            UserSnapshot(false);
            break;
        case kCmdChannelState:
            connected_.store(value != 0);
            update();
            emit connectionChanged(this);
            break;
        case 1:
        case 2:
        case 27:
            emit mainWindowCommand(command);
            break;
        default:
            break;
    }
}

void CDlgVedioShow::RefreshDevice(const DeviceInfo& edited) {
    if (!device_) {
        return;
    }
    int32_t shown = device_->connected;
    device_ = edited;
    device_->connected = shown;
    update();
}

bool CDlgVedioShow::OpenFinished() const {
    return !opener_ || !opener_->Running() || opener_->Finished();
}

uint64_t CDlgVedioShow::PicturesShown() const {
    return sink_->Pictures();
}

void CDlgVedioShow::SetSelected(bool selected) {
    if (selected_ != selected) {
        selected_ = selected;
        update();
    }
}

void CDlgVedioShow::SendControl(int code) {
    if (channel_) {
        channel_->SendControl(code);
    }
}

bool CDlgVedioShow::ToggleRecording() {
    if (!channel_) {
        return false;
    }
    bool done = channel_->ToggleRecording() == 1;
    update();
    return done;
}

bool CDlgVedioShow::TakeSnapshot() {
    return channel_ && channel_->TakeSnapshot() == 1;
}

QString CDlgVedioShow::FileRefusedReason(bool recording) const {
    bool noFolder = false;
    if (device_ && context_ && context_->channelSettings) {
        noFolder = context_->channelSettings(*device_, slot_).recordFolder.empty();
    }
    if (noFolder) {
        return "No record folder is set. Choose one under Settings.";
    }
    return recording ? "Recording is not available for this camera."
                     : "A snapshot is not available for this camera.";
}

bool CDlgVedioShow::UserToggleRecording() {
    if (!channel_) {
        return false;
    }
    if (ToggleRecording()) {
        return true;
    }
    ui::ShowNote(this, "Error", FileRefusedReason(true), ui::MessageIcon::kCritical);
    return false;
}

bool CDlgVedioShow::UserSnapshot(bool shutter) {
    if (!channel_) {
        return false;
    }
    if (!TakeSnapshot()) {
        ui::ShowNote(this, "Error", FileRefusedReason(false), ui::MessageIcon::kCritical);
        return false;
    }
    if (shutter) {
        ui::PlayShutterSound();
    }
    return true;
}

bool CDlgVedioShow::StreamReady() const {
    return channel_ && inUse_ && channel_->Playing();
}

void CDlgVedioShow::ToggleListening() {
    if (channel_ && channel_->Playing()) {
        channel_->SetListening(!channel_->Listening());
    }
}

bool CDlgVedioShow::ToggleTalk() {
    if (!channel_ || !channel_->Playing()) {
        return true;
    }
    bool ok = true;
    if (channel_->Talking()) {
        channel_->StopTalk();
    } else {
        ok = channel_->StartTalk() == 1;
    }
    update();  // the talk icon
    return ok;
}

int CDlgVedioShow::QualityLevelNow() const {
    if (!channel_) {
        return 0;
    }
    return QualityLevel(channel_->PeerToPeer(), false, channel_->StreamIdFlag(),
                        channel_->ReceivedFrameRate());
}

void CDlgVedioShow::ToggleAlert() {
    if (channel_) {
        channel_->SetAlert(!channel_->Alert());
        channel_->SendControl(101);
    }
}

void CDlgVedioShow::UpdateWantedSize() {
    // A hidden pane keeps its size: the channel decodes nothing for it but
    // the first key frame (and a snapshot's), and that picture is what the
    // pane shows when it is seen again.
    if (inUse_ && width() > 8 && height() > 8) {
        sink_->SetWantedSize({width() - 8, height() - 8});
    } else {
        sink_->SetWantedSize({0, 0});
    }
    UpdateView();
}

PaneView CDlgVedioShow::View() const {
    PaneView view;
    // The picture is drawn 4 pixels inside the pane on every side.
    view.width = std::max(0, width() - 8);
    view.height = std::max(0, height() - 8);
    view.paneWidth = width();
    const QWidget* top = window();
    const QWindow* handle = top->windowHandle();
    view.visible = isVisible() && inUse_ && !top->isMinimized() &&
                   (handle == nullptr ||
                    (handle->isExposed() && !WindowCover::Instance().FullyCovered(handle)));
    return view;
}

void CDlgVedioShow::UpdateView() {
    if (!channel_) {
        toldView_.reset();
        return;
    }
    PaneView view = View();
    if (toldView_ && *toldView_ == view) {
        return;
    }
    toldView_ = view;
    channel_->SetPaneView(view);
}

void CDlgVedioShow::resizeEvent(QResizeEvent*) {
    zones_ = PaneZones::For(width(), height());
    if (channel_) {
        channel_->SetZones(zones_);
    }
    UpdateWantedSize();
}

void CDlgVedioShow::showEvent(QShowEvent*) {
    UpdateWantedSize();
}

void CDlgVedioShow::hideEvent(QHideEvent*) {
    UpdateWantedSize();
}

void CDlgVedioShow::OnPictureReady() {
    sink_->AcknowledgeWake();
    if (isVisible()) {
        RepaintBatch::Instance().Request(this);
    }
}

// ---- painting ----

void CDlgVedioShow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect client = rect();
    bool playing = channel_ && channel_->Playing() && inUse_;
    bool fresh = false;
    const PictureSlots::Picture* picture = playing ? &sink_->Latest(&fresh) : nullptr;
    bool shown = picture && picture->Valid();
    // The frame around the picture area. A picture covers its area whole,
    // so only the 4-pixel ring is filled then: a full-screen pane would
    // otherwise write every pixel twice more per picture.
    QRect area = client.adjusted(4, 4, -4, -4);
    if (shown) {
        FillRing(p, client, area, kGrey132);
    } else {
        p.fillRect(client, kGrey132);
    }
    // The light line one pixel inside the edge. Rings are filled, not
    // stroked: a wall paints them for every picture of every pane, and a
    // pen's stroke costs several times a fill.
    FillRing(p, client.adjusted(1, 1, -1, -1), client.adjusted(2, 2, -2, -2), kGrey220);

    if (shown) {
        PaintPicture(p, *picture);
    } else {
        PaintIdle(p);
    }

    if (dragRect_) {
        QPen pen(Qt::red, 3, Qt::DashLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(*dragRect_);
    }
    // Selection outline: 2 pixels wide, 2 pixels inside the edge.
    FillRing(p, client.adjusted(2, 2, -2, -2), area,
             selected_ ? QColor(255, 0, 0) : QColor(255, 255, 255));
    // The alarm border is the camera's signal and lies over the outline.
    if (shown && picture->overlay.alarmBorder) {
        PaintAlarmBorder(p, picture->overlay.borderRgb);
    }
    if (shown && fresh) {
        ++picturesPainted_;
        if (PaintLatencyOn()) {
            PaintLatency().AddStamp(picture->overlay.sendStamp, SendStampNow());
        }
    }
}

void CDlgVedioShow::FillRing(QPainter& p, const QRect& outer, const QRect& inner,
                             const QColor& colour) {
    if (!inner.isValid()) {
        p.fillRect(outer, colour);
        return;
    }
    p.fillRect(QRect(outer.left(), outer.top(), outer.width(), inner.top() - outer.top()), colour);
    p.fillRect(
        QRect(outer.left(), inner.bottom() + 1, outer.width(), outer.bottom() - inner.bottom()),
        colour);
    p.fillRect(QRect(outer.left(), inner.top(), inner.left() - outer.left(), inner.height()),
               colour);
    p.fillRect(QRect(inner.right() + 1, inner.top(), outer.right() - inner.right(), inner.height()),
               colour);
}

void CDlgVedioShow::PaintIdle(QPainter& p) {
    QRect area = rect().adjusted(4, 4, -4, -4);
    QPixmap background = ui::SkinImages::Get("FrameBK.bmp");
    if (!background.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(area, background);
    } else {
        p.fillRect(area, QColor(0x1a, 0x20, 0x29));
    }
    if (hoverClose_) {
        QPixmap close = ui::SkinImages::Get("VClose.bmp");
        p.drawPixmap(QRect(zones_.close.left, zones_.close.top, 17, 15), close);
    }
    if (hoverRecordings_) {
        PaintRecordingsBox(p);
    }
    if (device_ && inUse_) {
        // The camera's name, so a connecting pane says which camera it is.
        p.setFont(TitleFont(font()));
        p.setPen(QColor(0xf5, 0xf5, 0xf5));
        p.drawText(QRect(12, 8, width() - 60, 24), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8(device_->DisplayName().c_str()));
    }
    if (channel_ && inUse_ && !channel_->Playing() && !channel_->PeerToPeer()) {
        QFont f = font();
        p.setFont(f);
        p.setPen(QColor(0xe8, 0xee, 0xf6));
        p.drawText(QPoint(15, height() - 30), kConnectingText);
    }
}

void CDlgVedioShow::PaintPicture(QPainter& p, const PictureSlots::Picture& pic) {
    QImage image(reinterpret_cast<const uchar*>(pic.pixels), pic.width, pic.height, pic.strideBytes,
                 QImage::Format_RGB32);
    QRect area = rect().adjusted(4, 4, -4, -4);
    if (pic.width == area.width() && pic.height == area.height()) {
        p.drawImage(area.topLeft(), image);
    } else if (!StretchIntoWindowBuffer(p, area, pic)) {
        // A pane larger than the stream gets the picture at the stream's
        // size and stretches it here, in the one pass that writes the
        // window's buffer anyway; a picture converted for the previous pane
        // size is shown stretched until the next one arrives.
        p.drawImage(area, image);
    }
    const VideoOverlay& overlay = pic.overlay;
    PaintCachedTitle(p, area, overlay.title);

    // Status icons along the bottom, 30 x 23 each, 32 pixels apart.
    int x = area.left() + 10;
    int y = area.top() + area.height() - 30;
    auto icon = [&](const char* name) {
        QPixmap pixmap = ui::SkinImages::Get(name);
        if (!pixmap.isNull()) {
            p.drawPixmap(QRect(x, y, 30, 23), pixmap);
        }
        x += 32;
    };
    // The channel's flag and the blink phase as they are now, not as they
    // were when the picture was converted: a stopped recording loses its
    // icon at once.
    bool recording = channel_ ? channel_->Recording() : overlay.recording;
    if (recording) {
        icon((RecordingBlink() & 1) ? "RecFlag2.bmp" : "RecFlag1.bmp");
    }
    if (overlay.listening) {
        icon("Volume.bmp");
    }
    if (overlay.talking) {
        icon("Intercom.bmp");
    }
    if (hoverPanTilt_) {
        PaintPanTiltArrows(p, area);
    }
    if (hoverRecordings_) {
        p.save();
        p.setClipRect(area);
        PaintRecordingsBox(p);
        p.restore();
    }
    if (hoverClose_) {
        // The 27 x 25 close icon with its top-left corner on the close box's,
        // cut at the picture's edge.
        QPixmap close = ui::SkinImages::Get("VClose.bmp");
        p.save();
        p.setClipRect(area);
        p.drawPixmap(QRect(zones_.close.left, zones_.close.top, 27, 25), close);
        p.restore();
    }
}

void CDlgVedioShow::PaintRecordingsBox(QPainter& p) {
    QPixmap box = ui::SkinImages::Get("RecordReplay.bmp");
    p.drawPixmap(QRect(zones_.recordings.left, zones_.recordings.top, 30, 30), box);
}

QRect CDlgVedioShow::PaintTitle(QPainter& p, const QRect& area, const QFont& base,
                                const QString& title) {
    // At (8, 6) of the picture, light text on a grey box.
    p.setFont(TitleFont(base));
    QRect titleRect = PaintTitleBox(base, title).translated(area.topLeft());
    p.fillRect(titleRect, kTitleBox);
    p.setPen(kTitleText);
    p.drawText(titleRect.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, title);
    return titleRect;
}

bool CDlgVedioShow::StretchIntoWindowBuffer(QPainter& p, const QRect& area,
                                            const PictureSlots::Picture& pic) {
    // The painter's own scaled draw costs about as much as decoding the
    // picture in full screen; written straight into the window's buffer,
    // each source row is expanded once and repeated rows are copies. Only
    // for what is plainly a 32-bit image of the window (or of a render)
    // that nobody else shares; anything else takes the painter's way.
    QPaintEngine* engine = p.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster || p.hasClipping()) {
        return false;
    }
    QPaintDevice* device = engine->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image) {
        return false;
    }
    auto* buffer = static_cast<QImage*>(device);
    QImage::Format format = buffer->format();
    if (buffer->isNull() || !buffer->isDetached() || buffer->devicePixelRatio() != 1.0 ||
        (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
         format != QImage::Format_ARGB32_Premultiplied)) {
        return false;
    }
    const QTransform& transform = p.deviceTransform();
    if (transform.type() > QTransform::TxTranslate) {
        return false;
    }
    QRect target = area.translated(qRound(transform.dx()), qRound(transform.dy()));
    QRect whole(0, 0, buffer->width(), buffer->height());
    if (!whole.contains(target)) {
        return false;
    }
    QRegion clip = engine->systemClip();
    if (clip.isEmpty()) {
        clip = QRegion(whole);
    }
    // constBits: the buffer the engine paints into, without a detach.
    PixelBuffer out{reinterpret_cast<uint32_t*>(const_cast<uchar*>(buffer->constBits())),
                    buffer->width(), buffer->height(), static_cast<int>(buffer->bytesPerLine())};
    PixelRect into{target.left(), target.top(), target.width(), target.height()};
    for (const QRect& part : clip.intersected(target)) {
        PixelRect partRect{part.left(), part.top(), part.width(), part.height()};
        if (!StretchNearest(pic.pixels, pic.width, pic.height, pic.strideBytes, out, into,
                            partRect)) {
            return false;
        }
    }
    return true;
}

void CDlgVedioShow::PaintCachedTitle(QPainter& p, const QRect& area, const std::string& title) {
    // Laying the text out costs more than the rest of a small pane's paint;
    // the box is drawn once per title and font and then copied.
    if (title != titleText_ || font() != titleFont_ || titleBox_.isNull()) {
        titleText_ = title;
        titleFont_ = font();
        QString text = QString::fromUtf8(title.c_str());
        QRect box = PaintTitleBox(titleFont_, text);
        titleBox_ = QPixmap(box.size());
        QPainter boxPainter(&titleBox_);
        // An area whose title box lands at the pixmap's corner.
        PaintTitle(boxPainter, QRect(-box.topLeft(), box.size()), titleFont_, text);
    }
    p.drawPixmap(area.left() + 8, area.top() + 6, titleBox_);
}

QRect CDlgVedioShow::PaintTitleBox(const QFont& base, const QString& title) {
    QFontMetrics metrics(TitleFont(base));
    return QRect(8, 6, metrics.horizontalAdvance(title) + 8, metrics.height());
}

void CDlgVedioShow::PaintPanTiltArrows(QPainter& p, const QRect& area) {
    // One arrow in the middle of each edge of the picture, pointing outwards:
    // the directions the camera turns to.
    const int size = std::max(6, std::min({18, area.width() / 12, area.height() / 12}));
    const int margin = 10;
    QPointF c = QRectF(area).center();
    auto arrow = [&](QPointF tip, QPointF direction) {
        QPointF side(-direction.y(), direction.x());
        QPointF base = tip - direction * size;
        QPolygonF shape({tip, base + side * size, base - side * size});
        p.drawPolygon(shape);
    };
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 0, 160), 1));
    p.setBrush(QColor(255, 255, 255, 200));
    arrow(QPointF(c.x(), area.top() + margin), QPointF(0, -1));
    arrow(QPointF(c.x(), area.bottom() - margin), QPointF(0, 1));
    arrow(QPointF(area.left() + margin, c.y()), QPointF(-1, 0));
    arrow(QPointF(area.right() - margin, c.y()), QPointF(1, 0));
    p.restore();
}

void CDlgVedioShow::PaintAlarmBorder(QPainter& p, uint32_t rgb) {
    // 4 pixels wide, 1 pixel inside the pane's edge: rows and columns 1..4
    // from every side.
    QColor colour = QColor::fromRgb(rgb);
    QRect outer = rect().adjusted(1, 1, -1, -1);
    if (outer.width() < 8 || outer.height() < 8) {
        p.fillRect(outer, colour);
        return;
    }
    p.fillRect(QRect(outer.left(), outer.top(), outer.width(), 4), colour);
    p.fillRect(QRect(outer.left(), outer.bottom() - 3, outer.width(), 4), colour);
    p.fillRect(QRect(outer.left(), outer.top() + 4, 4, outer.height() - 8), colour);
    p.fillRect(QRect(outer.right() - 3, outer.top() + 4, 4, outer.height() - 8), colour);
}

// ---- mouse and keys ----

void CDlgVedioShow::mouseMoveEvent(QMouseEvent* event) {
    QPoint pos = event->position().toPoint();
    zones_ = PaneZones::For(width(), height());
    bool overClose = inUse_ && zones_.close.Contains(pos.x(), pos.y());
    bool overRecordings = inUse_ && device_ && zones_.recordings.Contains(pos.x(), pos.y());
    bool panTilt = false;
    bool hand = overClose || overRecordings;
    if (channel_ && inUse_) {
        channel_->SetZones(zones_);
        bool inside = zones_.inner.Contains(pos.x(), pos.y());
        channel_->SetHover(inside && overClose, false, false);
        panTilt = inside && device_ && IsPtzName(std::string(device_->Name()));
        hand = hand || zones_.bottomRight.Contains(pos.x(), pos.y());
    }
    if (overClose != hoverClose_ || panTilt != hoverPanTilt_ ||
        overRecordings != hoverRecordings_) {
        hoverClose_ = overClose;
        hoverRecordings_ = overRecordings;
        hoverPanTilt_ = panTilt;
        update();
    }
    setCursor(hand ? Qt::PointingHandCursor : Qt::ArrowCursor);
    UpdateToolbarZone(pos);
    if (dragStart_ && (event->buttons() & Qt::LeftButton)) {
        dragRect_ = QRect(*dragStart_, pos).normalized();
        update();
    }
    alertTimer_.start(kAlertPollMs);
}

void CDlgVedioShow::UpdateToolbarZone(QPoint pos) {
    if (!context_ || !context_->wallFullScreen || !context_->wallFullScreen()) {
        ResetToolbarZone();
        return;
    }
    // The bottom 100 pixels of the inner rectangle deflated by 4.
    ZoneRect deflated{zones_.inner.left + 4, zones_.inner.top + 4, zones_.inner.right - 4,
                      zones_.inner.bottom - 4};
    bool inZone = deflated.Contains(pos.x(), pos.y()) && pos.y() >= deflated.bottom - 100;
    ToolbarZoneState state = inZone ? ToolbarZoneState::kInside : ToolbarZoneState::kOutside;
    if (state != toolbarZone_) {
        toolbarZone_ = state;
        emit toolbarZone(this, inZone);
    }
}

void CDlgVedioShow::leaveEvent(QEvent*) {
    if (hoverClose_ || hoverRecordings_ || hoverWeb_ || hoverPanTilt_) {
        hoverClose_ = hoverRecordings_ = hoverWeb_ = hoverPanTilt_ = false;
        update();
    }
    if (channel_) {
        channel_->SetHover(false, false, false);
    }
    // The pointer may come back anywhere (or onto the floating toolbar,
    // which must not hide for that): the next move reports afresh.
    ResetToolbarZone();
}

void CDlgVedioShow::mousePressEvent(QMouseEvent* event) {
    QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        emit selectRequested(this);
        if (std::unique_ptr<QMenu> menu = BuildContextMenu()) {
            menu->exec(event->globalPosition().toPoint());
        }
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    emit selectRequested(this);
    zones_ = PaneZones::For(width(), height());
    if (inUse_ && zones_.close.Contains(pos.x(), pos.y())) {
        emit disconnectRequested(this);
        return;
    }
    // The recordings box: the camera's SD card and cloud recordings.
    if (inUse_ && device_ && zones_.recordings.Contains(pos.x(), pos.y())) {
        emit recordsRequested(this);
        return;
    }
    // The web box of a pan/tilt camera: the camera's own page, as the
    // tree's "Visit Web" opens it.
    if (inUse_ && device_ && zones_.web.Contains(pos.x(), pos.y()) &&
        IsPtzName(std::string(device_->Name())) && !device_->HostAddress().empty()) {
        OpenCameraWebPage(device_->HostAddress());
        return;
    }
    if (channel_ && connected_.load() && DragToPointAllowed(*channel_)) {
        dragStart_ = pos;
        dragRect_.reset();
    }
}

void CDlgVedioShow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragStart_) {
        FinishDrag(event->position().toPoint());
    }
}

void CDlgVedioShow::FinishDrag(QPoint end) {
    QPoint start = *dragStart_;
    dragStart_.reset();
    if (!channel_ || !connected_.load() || !DragToPointAllowed(*channel_) || end == start) {
        dragRect_.reset();
        update();
        return;
    }
    dragRect_ = QRect(start, end).normalized();
    ZoneRect surface = VideoSurface(width(), height());
    // One read of the picture size: the stream may change it at any time.
    PictureSize picture = channel_->PictureSizeForPoints();
    auto point = PointPtzFromDrag(start.x(), start.y(), end.x(), end.y(), picture.width,
                                  picture.height, surface.Width(), surface.Height());
    if (point) {
        channel_->SendPointPtz(point->x, point->y);
    }
    update();
    // The dragged rectangle stays a moment so the user sees where the camera
    // is asked to aim.
    QTimer::singleShot(400, this, [this] {
        if (!dragStart_) {
            dragRect_.reset();
            update();
        }
    });
}

void CDlgVedioShow::SimulateDrag(QPoint from, QPoint to) {
    if (channel_ && connected_.load() && DragToPointAllowed(*channel_)) {
        dragStart_ = from;
        FinishDrag(to);
    }
}

void CDlgVedioShow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit fullScreenToggleRequested();
    }
}

void CDlgVedioShow::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    bool leaveKey = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
                    key == Qt::Key_Space;
    if (leaveKey && context_ && context_->wallFullScreen && context_->wallFullScreen()) {
        emit mainWindowCommand(2);
        return;
    }
    QWidget::keyPressEvent(event);
}

std::unique_ptr<QMenu> CDlgVedioShow::BuildContextMenu() {
    if (!connected_.load() || !inUse_) {
        return nullptr;
    }
    auto menu = std::make_unique<QMenu>(this);
    bool recording = channel_ && channel_->Recording();
    menu->addAction(recording ? "Stop record" : "Begin record", this,
                    [this] { Command(kCmdToggleRecording); });
    menu->addAction("Snap", this, [this] { Command(kCmdSnapshot); });
    menu->addAction("Disconnect", this, [this] { Command(kCmdDisconnect); });
    return menu;
}

}  // namespace orbisight
