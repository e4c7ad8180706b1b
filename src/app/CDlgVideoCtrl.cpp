#include "app/CDlgVideoCtrl.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>

#include "app/CDlgVedioShow.h"
#include "app/PaneGeometry.h"
#include "app/VideoWall.h"
#include "ui/ImageButton.h"

namespace orbisight {

namespace {
struct ToolButtonDef {
    int id;
    const char* label;
    const char* image;
    int code;  // control code, or 0 for the buttons with their own action
};
// In the order they stand on the toolbar.
const ToolButtonDef kButtons[] = {
    {1018, "Disconnect", "Disconnect-01.png", 0},
    {1013, "Snap", "DevCapture-01.png", 0},
    {1051, "Record", "DevRecord-01.png", 0},
    {1031, "Mirror", "ImgMirror-01.png", 15},
    {1023, "Flip", "ImgFlip-01.png", 16},
    {1033, "Mute", "DevMute-01.png", 0},
    {1065, "Up", "TurnUp-01.png", 3},
    {1020, "Down", "TurnDown-01.png", 4},
    {1026, "Left", "TurnLeft-01.png", 1},
    {1055, "Right", "TurnRight-01.png", 2},
    {1054, "Restore", "DevReset-01.png", 13},
    {1061, "Stop", "DevStop-01.png", 10},
    {1068, "VScan", "HScan-01.png", 8},
    {1025, "HScan", "VScan-01.png", 7},
    {1011, "Auto", "DevAuto-01.png", 9},
    {1071, "+", "ZoomIn-01.png", 5},
    {1072, "-", "ZoomOut-01.png", 6},
    {1306, "Quality", "Quality-01.png", 0},
    {1056, "Alert ON/OFF", "DevAlert-01.png", 0},
    {1014, "Snap all", "DevSnapAll-01.png", 0},
};
}  // namespace

CDlgVideoCtrl::CDlgVideoCtrl(VideoWall* wall, QWidget* parent) : QWidget(parent), wall_(wall) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(0);
    for (const ToolButtonDef& def : kButtons) {
        auto* button = new ui::ImageButton(def.id, def.image, this);
        button->setText(def.label);
        button->setToolTip(def.label);
        layout->addWidget(button);
        buttons_[def.id] = button;
        connect(button, &QAbstractButton::clicked, this, [this, id = def.id] { Trigger(id); });
    }
    adjustSize();
    connect(&refreshTimer_, &QTimer::timeout, this, &CDlgVideoCtrl::Refresh);
    refreshTimer_.start(kRefreshMs);
}

ui::ImageButton* CDlgVideoCtrl::Button(int id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

CDlgVedioShow* CDlgVideoCtrl::Target() const {
    return wall_->FullScreenPane();
}

void CDlgVideoCtrl::ShowOver(CDlgVedioShow* pane) {
    if (!pane) {
        return;
    }
    adjustSize();
    QRect g = pane->geometry();
    move(g.left() + (g.width() - width()) / 2, g.bottom() + 1 - 4 - height());
    Refresh();
    show();
    raise();
}

void CDlgVideoCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(255, 255, 255, 40));
    p.setBrush(QColor(0x12, 0x18, 0x22, 215));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
}

void CDlgVideoCtrl::Trigger(int id) {
    CDlgVedioShow* pane = Target();
    if (id == kDisconnectButton) {
        if (!pane || !wall_->ConfirmStopLoop()) {
            return;
        }
        pane->Disconnect();
        pane->update();
        hide();
        wall_->Count();
        if (wall_->FullScreen()) {
            wall_->ToggleFullScreen();
        }
        return;
    }
    if (id == kSnapAllButton) {
        wall_->UserSnapshotAll();
        return;
    }
    if (!pane || !pane->Channel()) {
        Refresh();  // the buttons are shown disabled: a stale click
        return;
    }
    switch (id) {
        case 1013:
            pane->UserSnapshot(true);
            return;
        case 1051:
            pane->UserToggleRecording();
            return;
        case kSoundButton:
            if (pane->StreamReady()) {
                pane->ToggleListening();
            }
            Refresh();
            return;
        case kQualityButton:
            ShowQualityMenu();
            return;
        case kAlertButton:
            pane->ToggleAlert();
            Refresh();
            return;
        default:
            break;
    }
    for (const ToolButtonDef& def : kButtons) {
        if (def.id == id && def.code != 0) {
            pane->SendControl(def.code);
        }
    }
}

void CDlgVideoCtrl::ShowQualityMenu() {
    CDlgVedioShow* pane = Target();
    PaneChannel* channel = pane ? pane->Channel() : nullptr;
    if (!channel) {
        return;
    }
    // Opening the menu sends nothing: a quality request with parameter 0
    // would switch the camera to its lowest quality even when the user then
    // closes the menu without a choice.
    int level = pane->QualityLevelNow();
    QMenu menu(this);
    auto* group = new QActionGroup(&menu);
    const std::pair<int, const char*> entries[] = {{kQualityMenuHigh, "Video Quality:High"},
                                                   {kQualityMenuMiddle, "Video Quality:Middle"},
                                                   {kQualityMenuLow, "Video Quality:Low"}};
    for (const auto& [id, text] : entries) {
        QAction* action = menu.addAction(text);
        action->setCheckable(true);
        action->setChecked(id == QualityMenuIdForLevel(level));
        action->setData(id);
        group->addAction(action);
    }
    ui::ImageButton* button = Button(kQualityButton);
    QAction* chosen = menu.exec(button->mapToGlobal(QPoint(0, button->height())));
    if (chosen && pane->Channel()) {
        pane->SendControl(QualityControlCode(chosen->data().toInt()));
    }
}

void CDlgVideoCtrl::Refresh() {
    CDlgVedioShow* pane = Target();
    PaneChannel* channel = pane ? pane->Channel() : nullptr;
    // The camera buttons need the pane's channel; "Snap all" works on the
    // whole wall and "Disconnect" on any pane.
    for (const ToolButtonDef& def : kButtons) {
        ui::ImageButton* button = Button(def.id);
        if (def.id == kSnapAllButton) {
            continue;
        }
        if (def.id == kDisconnectButton) {
            button->setEnabled(pane != nullptr);
            continue;
        }
        button->setEnabled(channel != nullptr);
        button->setToolTip(channel ? def.label : kNoCameraTip);
    }
    bool stream = pane && pane->StreamReady();
    bool soundOn = stream && pane->Connected() && channel->Listening();
    ui::ImageButton* sound = Button(kSoundButton);
    sound->setText(soundOn ? "Sound:On" : "Sound:Mute");
    sound->setEnabled(stream);
    sound->setToolTip(!channel ? kNoCameraTip : (stream ? sound->text() : kSoundWaitingTip));
    ui::ImageButton* alert = Button(kAlertButton);
    if (!channel) {
        alert->SetBackdrop(QColor());
    } else {
        alert->setToolTip(channel->Alert() ? "Alert ON" : "Alert OFF");
        alert->SetBackdrop(channel->Alert() ? QColor(0xd9, 0x3a, 0x3a) : QColor());
    }
    if (channel) {
        std::string tip = PaneQualityTooltip(channel->PeerToPeer(), false, channel->StreamIdFlag(),
                                             channel->ReceivedFrameRate());
        if (channel->ChoosesStreamByPaneSize() && !channel->PeerToPeer()) {
            tip += "\n" + StreamNote(channel->StreamShown(), channel->StreamSwitching());
        }
        Button(kQualityButton)->setToolTip(QString::fromStdString(tip));
    }
}

}  // namespace orbisight
