#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <optional>

#include "account/DeviceInfo.h"
#include "app/PlaybackSession.h"
#include "app/RecordManagerContext.h"
#include "device/CXOMPDeviceOper.h"

class QLabel;
class QSlider;
class QTabWidget;

namespace orbisight {

class CDlgCloudSearchPage;
class CDlgSDSearchPage;
class RecordPlayerView;

namespace ui {
class ImageButton;
}

// "Remote Record List": one camera's recordings on its SD card ("SD Record")
// and in cloud storage ("Cloud Storage"), and the player for the files they
// download: backward and forward by 10 points, play/pause, stop, a position
// bar that follows the player and seeks when dragged, full screen on a
// double click. Closing it stops the player and closes both pages.
class CRecordMangerDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kPositionPollMs = 250;  // the player's position notices
    static constexpr int kStepPercent = 10;
    enum ButtonId { kBackward = 1, kPlay = 2, kStop = 3, kForward = 4 };

    struct Options {
        PlaybackAudioFactory audio;  // the record format's sound (empty: silent)
        // Tests shorten the SD page's channel waits.
        std::optional<CXOMPDeviceOper::Timings> timings;
    };

    // camera null: no camera (the pages say why: noCamera).
    CRecordMangerDlg(const RecordManagerContext& context, const DeviceInfo* camera,
                     QWidget* parent = nullptr, Options options = {},
                     const QString& noCamera = "No camera chosen.");
    ~CRecordMangerDlg() override;

    // Opens the window for a copy of the camera (null: none), modal to the
    // application without blocking the caller; deleted when closed.
    static CRecordMangerDlg* OpenForCamera(const RecordManagerContext& context,
                                           const DeviceInfo* camera, QWidget* parent,
                                           Options options = {},
                                           const QString& noCamera = "No camera chosen.");

    QTabWidget* Tabs() const { return tabs_; }
    CDlgSDSearchPage* SdPage() const { return sdPage_; }
    CDlgCloudSearchPage* CloudPage() const { return cloudPage_; }
    RecordPlayerView* Player() const { return player_; }
    ui::ImageButton* Button(ButtonId id) const;
    QSlider* PositionBar() const { return position_; }
    QLabel* PlayerStatus() const { return status_; }
    bool FullScreenShown() const { return fullScreen_; }

  public slots:
    // A page's local file to play (its 0x4401).
    void PlayFile(const QString& path);
    void TogglePlay();
    void StopPlayer();
    void StepBackward();
    void StepForward();
    void ToggleFullScreen();

  protected:
    void done(int result) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Build(const RecordManagerContext& context, const Options& options);
    void ShowPlaying(bool playing);
    void PollPosition();
    void Seek(int percent);
    void ClosePages();

    CDlgSDSearchPage* sdPage_ = nullptr;
    CDlgCloudSearchPage* cloudPage_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    RecordPlayerView* player_ = nullptr;
    QSlider* position_ = nullptr;
    ui::ImageButton* backward_ = nullptr;
    ui::ImageButton* play_ = nullptr;
    ui::ImageButton* stop_ = nullptr;
    ui::ImageButton* forward_ = nullptr;
    QLabel* status_ = nullptr;
    QWidget* controls_ = nullptr;
    QTimer positionTimer_;
    QString lastPath_;
    bool dragging_ = false;
    bool fullScreen_ = false;
    bool closed_ = false;
};

}  // namespace orbisight
