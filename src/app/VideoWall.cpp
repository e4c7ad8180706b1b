#include "app/VideoWall.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include "app/CDlgVideoCtrl.h"
#include "app/WindowCover.h"
#include "platform/Text.h"
#include "ui/MessageBoxes.h"
#include "ui/ShutterSound.h"

namespace orbisight {

VideoWall::VideoWall(QWidget* host, PaneContext context, QObject* parent)
    : QObject(parent),
      host_(host),
      closer_(std::make_unique<ChannelCloser>()),
      context_(std::move(context)) {
    context_.wallFullScreen = [this] { return layout_.FullScreen(); };
    context_.closer = closer_.get();
    for (int i = 0; i < WallLayout::kPaneCount; ++i) {
        auto* pane = new CDlgVedioShow(i, &context_, host);
        panes_[i] = pane;
        connect(pane, &CDlgVedioShow::selectRequested, this, &VideoWall::SelectPane);
        connect(pane, &CDlgVedioShow::disconnectRequested, this,
                [this](CDlgVedioShow* p) { DisconnectOne(p); });
        connect(pane, &CDlgVedioShow::fullScreenToggleRequested, this,
                &VideoWall::ToggleFullScreen);
        connect(pane, &CDlgVedioShow::mainWindowCommand, this, &VideoWall::mainWindowCommand);
        connect(pane, &CDlgVedioShow::connectionChanged, this, &VideoWall::paneConnectionChanged);
        connect(pane, &CDlgVedioShow::recordsRequested, this, &VideoWall::paneRecordsRequested);
        connect(pane, &CDlgVedioShow::toolbarZone, this, [this](CDlgVedioShow* p, bool inside) {
            if (!layout_.FullScreen()) {
                return;
            }
            if (inside) {
                fullScreenPane_ = p;
                paneToolbar_->ShowOver(p);
            } else if (!paneToolbar_->underMouse()) {
                paneToolbar_->hide();
            }
        });
    }
    paneToolbar_ = new CDlgVideoCtrl(this, host);
    paneToolbar_->hide();
    connect(&autoPageTimer_, &QTimer::timeout, this, [this] {
        if (autoPageTurn_ && layout_.PageCount() > 1) {
            emit mainWindowCommand(1037);
        }
    });
}

VideoWall::~VideoWall() {
    // The panes are the host's children but the wall's to release: each
    // hands its channel to the closer, which closes them all before it goes
    // (while what the channels use still exists).
    delete paneToolbar_;
    for (CDlgVedioShow*& pane : panes_) {
        delete pane;
        pane = nullptr;
    }
    closer_.reset();
}

WallLayout::InUse VideoWall::InUse() const {
    WallLayout::InUse bits;
    for (int i = 0; i < WallLayout::kPaneCount; ++i) {
        bits[i] = panes_[i]->InUse();
    }
    return bits;
}

CDlgVedioShow* VideoWall::SelectedPane() const {
    int slot = layout_.Selected();
    return slot >= 0 ? panes_[slot] : nullptr;
}

void VideoWall::SetClientSize(int width, int height) {
    clientWidth_ = width;
    clientHeight_ = height;
    Place();
}

void VideoWall::Count() {
    layout_.Count(InUse());
    for (int i = 0; i < WallLayout::kPaneCount; ++i) {
        panes_[i]->SetSlot(i);
    }
}

void VideoWall::WatchWindow() {
    QWidget* top = host_->window();
    if (top != watchedWindow_) {
        top->installEventFilter(this);
        watchedWindow_ = top;
    }
    QWindow* handle = top->windowHandle();
    if (handle != nullptr && handle != watchedHandle_) {
        handle->installEventFilter(this);
        watchedHandle_ = handle;
        // Covered entirely by other windows: nobody sees a pane either.
        QPointer<VideoWall> self(this);
        WindowCover::Instance().Watch(handle, [self] {
            if (self) {
                self->RecheckViews();
            }
        });
    }
}

void VideoWall::RecheckViews() {
    for (CDlgVedioShow* pane : panes_) {
        if (pane->InUse()) {
            pane->UpdateView();
        }
    }
}

bool VideoWall::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::WindowStateChange:
        case QEvent::Expose:
        case QEvent::Show:
        case QEvent::Hide:
            if (watched == watchedWindow_ && event->type() == QEvent::Show) {
                WatchWindow();  // the native window exists from now on
            }
            RecheckViews();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void VideoWall::Place() {
    WatchWindow();
    if (clientWidth_ <= 0 || clientHeight_ <= 0) {
        return;
    }
    std::array<bool, WallLayout::kPaneCount> shown{};
    auto placements = layout_.Placements(clientWidth_, clientHeight_);
    for (const PanePlacement& placed : placements) {
        shown[placed.slot] = true;
    }
    for (int i = 0; i < WallLayout::kPaneCount; ++i) {
        if (!shown[i] && panes_[i]->isVisible()) {
            panes_[i]->hide();
        }
    }
    for (const PanePlacement& placed : placements) {
        CDlgVedioShow* pane = panes_[placed.slot];
        pane->setGeometry(placed.rect.x, placed.rect.y, placed.rect.width, placed.rect.height);
        pane->show();
        pane->update();
    }
    if (layout_.FullScreen() && !placements.empty()) {
        fullScreenPane_ = panes_[placements.back().slot];
    }
    if (!layout_.FullScreen()) {
        paneToolbar_->hide();
    }
    emit pagingChanged();
}

bool VideoWall::SetLayout(int code, bool forced) {
    if (!layout_.SetLayout(code, forced, InUse())) {
        return false;
    }
    RestartAutoPageTimer();
    Place();
    return true;
}

void VideoWall::ReapplyLayout() {
    layout_.Reapply();
    Place();
}

bool VideoWall::Page(WallLayout::PageCommand command) {
    bool done = layout_.Page(command, InUse());
    RestartAutoPageTimer();
    if (done) {
        SelectPane(SelectedPane());
        Place();
    }
    return done;
}

CDlgVedioShow* VideoWall::TakeFreePane() {
    bool changed = false;
    auto slot = layout_.TakeFreePane(InUse(), &changed);
    if (!slot) {
        return nullptr;
    }
    if (changed) {
        RestartAutoPageTimer();
        Place();
    }
    SelectPane(panes_[*slot]);
    return panes_[*slot];
}

void VideoWall::SelectPane(CDlgVedioShow* pane) {
    if (outlined_ && outlined_ != pane) {
        outlined_->SetSelected(false);
    }
    outlined_ = pane;
    if (pane) {
        layout_.Select(pane->Slot());
        pane->SetSelected(true);
    } else {
        layout_.ClearSelection();
    }
    emit selectionChanged(pane);
}

void VideoWall::ClearSelection() {
    SelectPane(nullptr);
}

CDlgVedioShow* VideoWall::OpenDevice(const DeviceInfo& device) {
    CDlgVedioShow* pane = TakeFreePane();
    if (!pane) {
        return nullptr;
    }
    pane->Assign(device);
    Count();
    emit pagingChanged();
    return pane;
}

CDlgVedioShow* VideoWall::PaneShowing(std::string_view id) const {
    for (CDlgVedioShow* pane : panes_) {
        const DeviceInfo* device = pane->Device();
        if (device && pane->InUse() && EqualsNoCase(device->Id(), id)) {
            return pane;
        }
    }
    return nullptr;
}

bool VideoWall::ConfirmStopLoop() {
    if (!layout_.LoopActive()) {
        return true;
    }
    if (!ui::AskYesNo(host_, "Tips", "Do you want to  Stop loop playing?")) {
        return false;
    }
    layout_.SetLoopActive(false);
    emit stopLoopRequested();
    return true;
}

bool VideoWall::DisconnectAll(bool confirm) {
    if (confirm && !ConfirmStopLoop()) {
        return false;
    }
    ++connectAllGeneration_;  // a running "Connect all" stops here
    connectAllRunning_ = false;
    for (CDlgVedioShow* pane : panes_) {
        if (pane->InUse() || pane->Device()) {
            pane->Disconnect();
        }
    }
    Page(WallLayout::PageCommand::kFirst);
    return true;
}

void VideoWall::ConnectAll(std::vector<DeviceInfo> devices, std::function<void()> done) {
    ConnectAll([devices = std::move(devices)] { return devices; }, std::move(done));
}

void VideoWall::ConnectAll(DeviceCollector collect, std::function<void()> done) {
    DisconnectAll(false);
    connectDone_ = std::move(done);
    connectAllRunning_ = true;
    uint64_t generation = ++connectAllGeneration_;
    QTimer::singleShot(pauses_.afterDisconnectMs, this, [this, generation, collect] {
        if (generation != connectAllGeneration_) {
            return;
        }
        connectQueue_ = collect ? collect() : std::vector<DeviceInfo>{};
        if (connectQueue_.size() > static_cast<size_t>(kMaxConnectAll)) {
            connectQueue_.resize(kMaxConnectAll);
        }
        ConnectNext(0);
    });
}

void VideoWall::ConnectNext(size_t index) {
    // A camera the user opened meanwhile is not opened twice.
    while (index < connectQueue_.size() && IsShown(connectQueue_[index].Id())) {
        ++index;
    }
    // The free pane now, not the slot the step had when the list was made:
    // the user may have filled panes meanwhile.
    CDlgVedioShow* pane = nullptr;
    for (CDlgVedioShow* candidate : panes_) {
        if (index < connectQueue_.size() && !candidate->InUse()) {
            pane = candidate;
            break;
        }
    }
    if (!pane) {
        connectAllRunning_ = false;
        Count();
        TakeFreePane();  // grows the layout to show what was opened
        Place();
        connectQueue_.clear();
        if (auto done = std::move(connectDone_)) {
            done();
        }
        return;
    }
    pane->Assign(connectQueue_[index]);
    Count();
    emit pagingChanged();
    uint64_t generation = connectAllGeneration_;
    int pause = index == 0 ? pauses_.afterFirstMs : pauses_.afterEachMs;
    QTimer::singleShot(pause, this, [this, generation, index] {
        if (generation == connectAllGeneration_) {
            ConnectNext(index + 1);
        }
    });
}

void VideoWall::RecordAll() {
    for (CDlgVedioShow* pane : panes_) {
        PaneChannel* channel = pane->Channel();
        if (!channel || !pane->InUse() || !channel->Playing()) {
            continue;
        }
        if (channel->Recording() == recordAll_) {
            pane->ToggleRecording();
        }
    }
    recordAll_ = !recordAll_;
}

int VideoWall::SnapshotAll() {
    int taken = 0;
    for (CDlgVedioShow* pane : panes_) {
        if (pane->Channel() && pane->InUse() && pane->TakeSnapshot()) {
            ++taken;
        }
    }
    return taken;
}

int VideoWall::UserSnapshotAll() {
    int taken = SnapshotAll();
    if (taken > 0) {
        ui::PlayShutterSound();
    }
    return taken;
}

bool VideoWall::DisconnectOne(CDlgVedioShow* pane) {
    if (!pane || !ConfirmStopLoop()) {
        return false;
    }
    pane->Disconnect();
    Count();
    layout_.SetCurrentPage(0);
    SelectPane(panes_[0]);
    ReapplyLayout();
    RestartAutoPageTimer();
    return true;
}

void VideoWall::DisconnectDevice(std::string_view id) {
    bool any = false;
    for (CDlgVedioShow* pane : panes_) {
        const DeviceInfo* device = pane->Device();
        if (device && EqualsNoCase(device->Id(), id)) {
            pane->Disconnect();
            any = true;
        }
    }
    if (any) {
        Count();
        emit pagingChanged();
    }
}

void VideoWall::RefreshDevice(const DeviceInfo& edited) {
    for (CDlgVedioShow* pane : panes_) {
        const DeviceInfo* device = pane->Device();
        if (device && pane->Connected() && EqualsNoCase(device->Id(), edited.Id())) {
            pane->RefreshDevice(edited);
        }
    }
}

void VideoWall::ToggleFullScreen() {
    layout_.ToggleFullScreen();
    if (!layout_.FullScreen()) {
        paneToolbar_->hide();
    }
    ResetToolbarZones();
    emit frameLayoutRequested(false);
    ReapplyLayout();
    host_->setFocus();
}

void VideoWall::EnterWallFullScreen() {
    if (layout_.FullScreen()) {
        return;
    }
    layout_.EnterWallFullScreen();
    ResetToolbarZones();
    emit frameLayoutRequested(false);
    ReapplyLayout();
    host_->setFocus();
}

// Whether a pane had the pointer in the toolbar's zone belongs to the full
// screen just left (or not yet entered): every pane reports afresh.
void VideoWall::ResetToolbarZones() {
    for (CDlgVedioShow* pane : panes_) {
        pane->ResetToolbarZone();
    }
}

}  // namespace orbisight
