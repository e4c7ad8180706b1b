#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <map>

class QCheckBox;
class QLabel;

namespace orbisight {

namespace ui {
class ImageButton;
}
class CDlgVedioShow;
class VideoWall;

// The device panel at the right of the main window: what the selected pane
// shows (ID, name, connection time and duration) and the camera commands for
// it (disconnect, snapshot, record, mirror, flip, sound, pan and tilt, scans,
// zoom, quality, talk, alert) and the alarm log.
class CDlgDeviceCtrl : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 219;
    static constexpr int kTextsMs = 1000;
    static constexpr int kBlinkMs = 500;
    // A command of the panel without a button of its own: a snapshot of
    // every pane, then the shutter sound.
    static constexpr int kSnapAll = 1014;
    // Copies the (hidden) "only play I frame" box into the channel.
    static constexpr int kKeyFramesOnly = 1098;
    static constexpr int kRecords = 1057;
    static constexpr int kAlarmLog = 1058;
    static constexpr const char* kSoundWaiting = "Sound: waiting for the camera's stream";
    static constexpr const char* kTalkWaiting = "Talk: waiting for the camera's stream";

    CDlgDeviceCtrl(VideoWall* wall, QWidget* parent);

    void SetPane(CDlgVedioShow* pane);
    CDlgVedioShow* Pane() const { return pane_; }
    // A camera is selected in the device tree: "SD / Cloud" opens the record
    // manager for it even when no pane shows it.
    void SetTreeCamera(bool selected);
    static constexpr const char* kRecordsNoCamera =
        "SD / Cloud: select a camera in the device tree first";
    // Refreshes the device texts and the buttons' enabled state.
    void RefreshTexts();
    ui::ImageButton* Button(int id) const;
    QString DeviceIdText() const;
    QString DeviceNameText() const;
    QString ConnectedTimeText() const;
    QString DurationText() const;
    void Trigger(int id);
    // A choice of the quality menu (kQualityMenuHigh, ...): the quality
    // command for the panel's camera. False without a camera.
    bool ChooseQuality(int menuId);
    QCheckBox* KeyFramesOnlyBox() const { return keyFramesOnly_; }
    QLabel* StreamLabel() const { return stream_; }
    // The record button is lit (red) in this blink phase.
    bool RecordLit() const { return recordLit_; }
    // The program-wide blink phase that the record button follows.
    static bool BlinkPhase();
    static inline const QColor kRecordRed{0xf0, 0x3a, 0x3a};

    // "Sustained:  \n%d Hour %d Minute %d Second" for a duration.
    static QString DurationFor(uint64_t ms);

  signals:
    // "Alarm log": the main window shows its alarm window.
    void alarmLogRequested();
    // "SD / Cloud": the record manager for the camera selected in the tree.
    void recordsRequested();

  private:
    void Blink();
    void RefreshRecordBlink();
    void ShowQualityMenu();

    VideoWall* wall_;
    CDlgVedioShow* pane_ = nullptr;
    QLabel* id_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* time_ = nullptr;
    QLabel* duration_ = nullptr;
    QLabel* stream_ = nullptr;  // the stream shown (chosen by the pane's size)
    std::map<int, ui::ImageButton*> buttons_;
    QTimer textsTimer_;
    QTimer blinkTimer_;
    QCheckBox* keyFramesOnly_ = nullptr;
    bool recordLit_ = false;
    bool treeCamera_ = false;
};

}  // namespace orbisight
