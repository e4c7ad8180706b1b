#include "app/CDlgDeviceCtrl.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

#include "app/CDlgVedioShow.h"
#include "app/PaneGeometry.h"
#include "app/VideoWall.h"
#include "media/VideoSink.h"
#include "platform/Clock.h"
#include "ui/ImageButton.h"
#include "ui/MessageBoxes.h"

namespace orbisight {

namespace {
struct ButtonDef {
    int id;
    const char* label;
    const char* image;
    int code;
};
const ButtonDef kPad[] = {
    {1065, "Up", "CPan-BtnUp-01.bmp", 3},          {1026, "Left", "CPan-BtnLeft-01.bmp", 1},
    {1054, "Restore", "CPan-BtnReset-01.bmp", 13}, {1055, "Right", "CPan-BtnRight-01.bmp", 2},
    {1020, "Down", "CPan-BtnDown-01.bmp", 4},
};
const ButtonDef kGrid[] = {
    {1018, "Disconnect", "CPan-BtnDisCnnt-01.png", 0},
    {1013, "Snap", "CPan-BtnCapture-01.png", 0},
    {1051, "Record", "CPan-BtnVedioRec-01.png", 0},
    {1031, "Mirror", "CPan-BtnMirror-01.png", 15},
    {1023, "Flip", "CPan-BtnFlip-01.png", 16},
    {1033, "Mute", "CPan-BtnAudio-01.png", 0},
    {1061, "Stop", "CPan-BtnStop-01.png", 10},
    {1068, "VScan", "CPan-BtnVScan-01.png", 8},
    {1025, "HScan", "CPan-BtnHScan-01.png", 7},
    {1071, "+", "CPan-BtnZoomOut-01.png", 5},
    {1072, "-", "CPan-BtnZoomIn-01.png", 6},
    {1306, "Quality", "CPan-BtnHD-01.png", 0},
    {1066, "TALK", "CPan-BtnTalk-01.png", 0},
    {1056, "Alert ON/OFF", "CPan-BtnSecurety-01.png", 0},
    {CDlgDeviceCtrl::kRecords, "SD / Cloud", "CPan-BtnBrowseSD-01.png", 0},
    {CDlgDeviceCtrl::kAlarmLog, "Alarm log", "CPan-BtnAlarmLog-01.png", 0},
};
// Commands without a button of their own (menus and keys send them) and
// the control code each sends to the camera.
const std::pair<int, int> kFurther[] = {
    {1009, 20}, {1010, 12}, {1012, 17}, {1015, 11}, {1016, 19}, {1402, 18}, {1011, 9},
};
}  // namespace

CDlgDeviceCtrl::CDlgDeviceCtrl(VideoWall* wall, QWidget* parent) : QWidget(parent), wall_(wall) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xf7, 0xf8, 0xfa));
    setPalette(pal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(4);
    auto* title = new QLabel("Device", this);
    title->setStyleSheet("font-weight: bold; color: #344458;");
    layout->addWidget(title);
    for (QLabel** label : {&id_, &name_, &time_, &duration_, &stream_}) {
        *label = new QLabel(this);
        (*label)->setWordWrap(true);
        (*label)->setStyleSheet("color: #4a5568;");
        layout->addWidget(*label);
    }
    layout->addSpacing(8);

    auto* pad = new QGridLayout;
    pad->setSpacing(2);
    const int padCells[][2] = {{0, 1}, {1, 0}, {1, 1}, {1, 2}, {2, 1}};
    for (size_t i = 0; i < std::size(kPad); ++i) {
        auto* b = new ui::ImageButton(kPad[i].id, kPad[i].image, this);
        b->setToolTip(kPad[i].label);
        b->setText(kPad[i].label);
        buttons_[kPad[i].id] = b;
        pad->addWidget(b, padCells[i][0], padCells[i][1]);
        connect(b, &QAbstractButton::clicked, this, [this, id = kPad[i].id] { Trigger(id); });
    }
    auto* padRow = new QHBoxLayout;
    padRow->addStretch();
    padRow->addLayout(pad);
    padRow->addStretch();
    layout->addLayout(padRow);
    layout->addSpacing(6);

    auto* grid = new QGridLayout;
    grid->setSpacing(2);
    for (size_t i = 0; i < std::size(kGrid); ++i) {
        auto* b = new ui::ImageButton(kGrid[i].id, kGrid[i].image, this);
        b->setToolTip(kGrid[i].label);
        b->setText(kGrid[i].label);
        buttons_[kGrid[i].id] = b;
        grid->addWidget(b, static_cast<int>(i / 3), static_cast<int>(i % 3));
        connect(b, &QAbstractButton::clicked, this, [this, id = kGrid[i].id] { Trigger(id); });
    }
    layout->addLayout(grid);
    layout->addStretch();
    // "Only play I frame": not displayed; mirrors the channel's flag and is
    // copied into it by command kKeyFramesOnly.
    keyFramesOnly_ = new QCheckBox("Only play I frame", this);
    keyFramesOnly_->hide();

    connect(&textsTimer_, &QTimer::timeout, this, [this] {
        if (!wall_->FullScreen()) {
            RefreshTexts();
        }
    });
    textsTimer_.start(kTextsMs);
    connect(&blinkTimer_, &QTimer::timeout, this, &CDlgDeviceCtrl::Blink);
    blinkTimer_.start(kBlinkMs);
    RefreshTexts();
}

ui::ImageButton* CDlgDeviceCtrl::Button(int id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

void CDlgDeviceCtrl::SetPane(CDlgVedioShow* pane) {
    pane_ = pane;
    RefreshTexts();
}

QString CDlgDeviceCtrl::DurationFor(uint64_t ms) {
    uint64_t hours = ms / 3600000;
    uint64_t minutes = (ms / 1000 % 3600) / 60;
    uint64_t seconds = ms / 1000 % 60;
    return QString::asprintf("Sustained:  \n%d Hour %d Minute %d Second", static_cast<int>(hours),
                             static_cast<int>(minutes), static_cast<int>(seconds));
}

QString CDlgDeviceCtrl::DeviceIdText() const {
    const DeviceInfo* d = pane_ ? pane_->Device() : nullptr;
    return QString("Device ID:  %1")
        .arg(d ? QString::fromUtf8(std::string(d->Id()).c_str()) : "None");
}

QString CDlgDeviceCtrl::DeviceNameText() const {
    const DeviceInfo* d = pane_ ? pane_->Device() : nullptr;
    return QString("Device name: %1").arg(d ? QString::fromUtf8(d->DisplayName().c_str()) : "None");
}

QString CDlgDeviceCtrl::ConnectedTimeText() const {
    const DeviceInfo* d = pane_ ? pane_->Device() : nullptr;
    if (!d) {
        return "Connected time: None";
    }
    QDateTime t = pane_->ConnectTime();
    return QString::asprintf("Connected time:  \n%d-%02d-%02d %02d:%02d:%02d", t.date().year(),
                             t.date().month(), t.date().day(), t.time().hour(), t.time().minute(),
                             t.time().second());
}

QString CDlgDeviceCtrl::DurationText() const {
    const DeviceInfo* d = pane_ ? pane_->Device() : nullptr;
    if (!d) {
        return "Connected duration: None";
    }
    return DurationFor(TickCountMs() - pane_->ConnectTickMs());
}

void CDlgDeviceCtrl::RefreshTexts() {
    id_->setText(DeviceIdText());
    name_->setText(DeviceNameText());
    time_->setText(ConnectedTimeText());
    duration_->setText(DurationText());
    // Which stream plays, for a channel that picks it by the pane's size.
    PaneChannel* shown = pane_ && pane_->InUse() ? pane_->Channel() : nullptr;
    bool noteStream = shown && shown->ChoosesStreamByPaneSize() && !shown->PeerToPeer();
    stream_->setVisible(noteStream);
    stream_->setText(noteStream ? QString::fromStdString(
                                      StreamNote(shown->StreamShown(), shown->StreamSwitching()))
                                : QString());
    bool enabled = pane_ && pane_->Device();
    for (auto& [id, button] : buttons_) {
        button->setEnabled(enabled);
    }
    // The alarm log is the program's, not the camera's.
    Button(kAlarmLog)->setEnabled(true);
    // The record manager is for the tree's camera, else the pane's.
    bool records = enabled || treeCamera_;
    Button(kRecords)->setEnabled(records);
    Button(kRecords)->setToolTip(records ? "SD / Cloud" : kRecordsNoCamera);
    PaneChannel* channel = enabled ? pane_->Channel() : nullptr;
    keyFramesOnly_->setChecked(channel && channel->KeyFramesOnly());
    // Sound and talk need the camera's stream: until it is there the two
    // buttons are off and say so (this runs every second).
    bool stream = enabled && pane_->StreamReady();
    Button(1033)->setEnabled(stream);
    Button(1066)->setEnabled(stream);
    if (enabled && !stream) {
        Button(1033)->setToolTip(kSoundWaiting);
        Button(1066)->setToolTip(kTalkWaiting);
    } else {
        Button(1033)->setToolTip(channel && channel->Listening() ? "Sound:On" : "Sound:Mute");
        Button(1066)->setToolTip(channel && channel->Talking() ? "Talk:Open" : "Talk:Close");
    }
    Button(1056)->setToolTip(!channel ? "Alert ON/OFF"
                                      : (channel->Alert() ? "Alert ON" : "Alert OFF"));
    Button(1056)->SetBackdrop(channel && channel->Alert() ? QColor(0xf6, 0xc9, 0xc9) : QColor());
    if (channel) {
        int level = pane_->QualityLevelNow();
        const char* direct[] = {"Low qulity", "Mid qulity", "High qulity"};
        const char* peer[] = {"Low Video Quality", "Middle Video Quality", "High Video Quality"};
        QString tip = channel->PeerToPeer() ? peer[level] : direct[level];
        if (channel->ChoosesStreamByPaneSize() && !channel->PeerToPeer()) {
            tip += "\n" + QString::fromStdString(
                              StreamNote(channel->StreamShown(), channel->StreamSwitching()));
        }
        Button(1306)->setToolTip(tip);
    }
    if (pane_ && pane_->Device() && !pane_->InUse()) {
        pane_->update();
    }
}

void CDlgDeviceCtrl::SetTreeCamera(bool selected) {
    if (treeCamera_ != selected) {
        treeCamera_ = selected;
        RefreshTexts();
    }
}

bool CDlgDeviceCtrl::BlinkPhase() {
    return (RecordingBlink() & 1) != 0;
}

void CDlgDeviceCtrl::Blink() {
    // One phase for the whole program: the panes' recording icons blink
    // with this button.
    AdvanceRecordingBlink();
    RefreshRecordBlink();
}

void CDlgDeviceCtrl::RefreshRecordBlink() {
    PaneChannel* channel = pane_ ? pane_->Channel() : nullptr;
    bool recording = channel && pane_->InUse() && channel->Recording();
    recordLit_ = recording && BlinkPhase();
    Button(1051)->SetBackdrop(recordLit_ ? kRecordRed : QColor());
}

void CDlgDeviceCtrl::Trigger(int id) {
    if (id == kSnapAll) {
        // Every pane of the wall, whichever is selected.
        wall_->UserSnapshotAll();
        return;
    }
    if (id == kAlarmLog) {
        emit alarmLogRequested();
        return;
    }
    if (id == kRecords) {
        emit recordsRequested();
        return;
    }
    if (!pane_ || !pane_->Device()) {
        return;
    }
    if (id == 1018) {
        if (!wall_->ConfirmStopLoop()) {
            return;
        }
        CDlgVedioShow* pane = pane_;
        SetPane(nullptr);
        wall_->DisconnectOne(pane);
        return;
    }
    if (!pane_->Channel()) {
        return;
    }
    switch (id) {
        case 1013:
            pane_->UserSnapshot(true);
            return;
        case 1051:
            pane_->UserToggleRecording();
            return;
        case 1033:
            if (pane_->StreamReady()) {
                pane_->ToggleListening();
            }
            RefreshTexts();
            return;
        case 1306:
            ShowQualityMenu();
            return;
        case 1066:
            if (!pane_->StreamReady()) {
                RefreshTexts();
                return;
            }
            if (!pane_->ToggleTalk()) {
                ui::ShowNote(this, "Tips", "No microphone found: talk is not available.",
                             ui::MessageIcon::kWarning);
            }
            RefreshTexts();
            return;
        case 1056:
            pane_->ToggleAlert();
            RefreshTexts();
            return;
        case kKeyFramesOnly:
            pane_->Channel()->SetKeyFramesOnly(keyFramesOnly_->isChecked());
            return;
        default:
            break;
    }
    for (const auto& [command, code] : kFurther) {
        if (command == id) {
            pane_->SendControl(code);
            return;
        }
    }
    for (const ButtonDef& s : kPad) {
        if (s.id == id) {
            pane_->SendControl(s.code);
            return;
        }
    }
    for (const ButtonDef& s : kGrid) {
        if (s.id == id && s.code != 0) {
            pane_->SendControl(s.code);
            return;
        }
    }
}

void CDlgDeviceCtrl::ShowQualityMenu() {
    int level = pane_->QualityLevelNow();
    QMenu menu(this);
    auto* group = new QActionGroup(&menu);
    const std::pair<int, const char*> entries[] = {{kQualityMenuHigh, "Video Quality:High"},
                                                   {kQualityMenuMiddle, "Video Quality:Middle"},
                                                   {kQualityMenuLow, "Video Quality:Low"}};
    for (const auto& [menuId, text] : entries) {
        QAction* a = menu.addAction(text);
        a->setCheckable(true);
        a->setChecked(menuId == QualityMenuIdForLevel(level));
        a->setData(menuId);
        group->addAction(a);
    }
    ui::ImageButton* b = Button(1306);
    QAction* chosen = menu.exec(b->mapToGlobal(QPoint(0, b->height())));
    if (chosen) {
        ChooseQuality(chosen->data().toInt());
    }
}

bool CDlgDeviceCtrl::ChooseQuality(int menuId) {
    // The pane may have lost its camera while the menu was open.
    if (!pane_ || !pane_->Device() || !pane_->Channel()) {
        return false;
    }
    pane_->SendControl(QualityControlCode(menuId));
    return true;
}

}  // namespace orbisight
