#pragma once

#include <QTimer>
#include <QWidget>
#include <map>

namespace orbisight {

namespace ui {
class ImageButton;
}
class CDlgVedioShow;
class VideoWall;

// The floating toolbar shown over the bottom of the full-screen pane: pan and
// tilt, zoom, snapshot, record, mirror, flip, sound, quality and alert for
// the wall's full-screen pane.
class CDlgVideoCtrl : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRefreshMs = 400;
    static constexpr int kAlertButton = 1056;
    static constexpr int kSnapAllButton = 1014;
    static constexpr int kSoundButton = 1033;
    static constexpr int kQualityButton = 1306;
    static constexpr int kDisconnectButton = 1018;
    static constexpr const char* kNoCameraTip = "No camera on this pane";
    static constexpr const char* kSoundWaitingTip = "Sound: waiting for the camera's stream";

    CDlgVideoCtrl(VideoWall* wall, QWidget* parent);

    // Shows the toolbar centred over the pane's bottom, 4 pixels above it.
    void ShowOver(CDlgVedioShow* pane);
    ui::ImageButton* Button(int id) const;
    // Runs a button's command as a click does (also used by tests).
    void Trigger(int id);
    // The 400 ms refresh of texts, tooltips and the alert colour.
    void Refresh();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    CDlgVedioShow* Target() const;
    void ShowQualityMenu();

    VideoWall* wall_;
    std::map<int, ui::ImageButton*> buttons_;
    QTimer refreshTimer_;
};

}  // namespace orbisight
