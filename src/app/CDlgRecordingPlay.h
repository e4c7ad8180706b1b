#pragma once

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "app/PlaybackSession.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTreeWidget;
class QTreeWidgetItem;

namespace orbisight {

// The picture area of the playback window (and of its full-screen window):
// the player's latest picture, or a snapshot, stretched to the area.
class PlaybackView : public QWidget {
    Q_OBJECT
  public:
    PlaybackView(PlaybackSession& session, QWidget* parent = nullptr);

    void ShowPlayback(bool on);
    void ShowImage(const QImage& image);
    void Clear();
    bool ShowsImage() const { return !image_.isNull(); }
    bool ShowsPlayback() const { return playback_; }
    // The size pictures are converted to follows this view while it drives.
    void SetDrivesSink(bool drives);

  signals:
    void doubleClicked();
    void escapePressed();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    PlaybackSession& session_;
    QImage image_;
    bool playback_ = false;
    bool drivesSink_ = false;
};

// The "Video playback" window: the record folder as a tree ("Local video"),
// recordings played by CH264FilePlayer on a worker, snapshots shown as
// pictures, and the play, pause, stop, fast-forward, seek and delete
// controls.
class CDlgRecordingPlay : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kTimerMs = 500;
    static constexpr int kClickDelayMs = 20;
    enum class ItemKind { kRoot, kFolder, kRecording, kSnapshot };

    struct Options {
        std::filesystem::path recordFolder;
        // The sound of the recordings (empty: silent).
        PlaybackAudioFactory audio;
    };

    explicit CDlgRecordingPlay(Options options, QWidget* parent = nullptr);
    ~CDlgRecordingPlay() override;

    // Rebuilds the tree from the record folder ("Refresh").
    void RebuildTree();
    // The path an item stands for: the texts from the root joined with "/",
    // the root replaced by the record folder.
    std::filesystem::path PathOf(const QTreeWidgetItem* item) const;
    static ItemKind KindOf(const QTreeWidgetItem* item);

    // The buttons' actions, as a click runs them.
    void PlayOrPause();
    void StopPlayback();
    void FastForward();
    void DeleteSelected();
    void SeekTo(int percent);
    // Double click: stops what plays, then plays the item's recording or
    // shows its snapshot (a folder only stops).
    void OpenItem(QTreeWidgetItem* item);
    // One tick of the 500 ms timer.
    void Tick();

    QTreeWidget* Tree() const { return tree_; }
    QLineEdit* PathBox() const { return pathBox_; }
    QLabel* TimeLabel() const { return timeLabel_; }
    QLabel* StatusLabel() const { return statusLabel_; }
    QPushButton* PlayButton() const { return playButton_; }
    QPushButton* StopButton() const { return stopButton_; }
    QPushButton* FastButton() const { return fastButton_; }
    QPushButton* PrevButton() const { return prevButton_; }
    QPushButton* NextButton() const { return nextButton_; }
    QPushButton* BrowseButton() const { return browseButton_; }
    QPushButton* DeleteButton() const { return deleteButton_; }
    QPushButton* RefreshButton() const { return refreshButton_; }
    QCheckBox* KeyFramesBox() const { return keyFramesBox_; }
    QSlider* Slider() const { return slider_; }
    PlaybackView* View() const { return view_; }
    QWidget* FullScreenWindow() const { return fullScreen_; }
    bool PlayingState() const { return playing_; }
    bool PausedState() const { return paused_; }
    int Speed() const { return speed_; }
    bool TimerActive() const { return timer_.isActive(); }
    PlaybackSession& Session() { return *session_; }

    // "%02d:%02d:%02d / %02d:%02d:%02d".
    static QString TimeText(uint32_t elapsedSeconds, uint32_t durationSeconds);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void AddFolder(QTreeWidgetItem* parent, const std::filesystem::path& folder, int depth);
    void ShowSelected();
    void PlayRecording(const std::filesystem::path& path);
    void ShowSnapshot(const std::filesystem::path& path);
    void UpdatePlayButton();
    void EnterFullScreen();
    void LeaveFullScreen();
    bool Playing(const std::filesystem::path& path) const;

    Options options_;
    std::unique_ptr<PlaybackSession> session_;
    QTreeWidget* tree_ = nullptr;
    QLineEdit* pathBox_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QPushButton* playButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* fastButton_ = nullptr;
    QPushButton* prevButton_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QCheckBox* keyFramesBox_ = nullptr;
    QSlider* slider_ = nullptr;
    PlaybackView* view_ = nullptr;
    QPointer<QWidget> fullScreen_;
    PlaybackView* fullScreenView_ = nullptr;
    QTimer timer_;
    QTimer clickTimer_;
    bool playing_ = false;
    bool paused_ = false;
    bool settingSlider_ = false;
    int speed_ = 1;
    std::filesystem::path playingPath_;
};

}  // namespace orbisight
