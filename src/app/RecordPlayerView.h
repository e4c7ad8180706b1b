#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "app/PlaybackSession.h"
#include "app/VlcMediaPlayer.h"
#include "media/RecordFileKind.h"

namespace orbisight {

// The record manager's video area and the two players behind it. Which
// one plays a file is told by the file's content: the client's own record
// format goes to CH264FilePlayer (on PlaybackSession's worker, pictures
// through the area's picture slots), everything else to libvlc (into this
// widget's X window when libvlc can draw there, else pictures copied to
// memory and painted here). The controls treat both alike.
class RecordPlayerView : public QWidget {
    Q_OBJECT
  public:
    enum class Engine { kNone, kFilePlayer, kVlc };

    explicit RecordPlayerView(PlaybackAudioFactory audio = {}, QWidget* parent = nullptr);
    ~RecordPlayerView() override;

    // Stops what plays and plays path. False with the reason when the file
    // cannot be read or the player cannot start.
    bool Play(const QString& path, QString* error = nullptr);
    // Stops and releases the player.
    void Stop();
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }
    // A player has a file (playing or paused).
    bool Active() const { return engine_ != Engine::kNone; }
    // 0..100 of the playing file; -1 when unknown.
    int PositionPercent() const;
    void SetPositionPercent(int percent);
    // The player reached the end of the file (or gave up on it).
    bool Ended() const;

    Engine CurrentEngine() const { return engine_; }
    RecordFileKind CurrentKind() const { return kind_; }
    QString CurrentPath() const { return path_; }
    // Pictures shown so far of the current file (both engines).
    uint64_t PicturesShown() const { return picturesShown_; }
    // libvlc draws into this widget's X window (no pictures pass here).
    bool DrawsIntoWindow() const { return windowOutput_; }

  signals:
    void doubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void RequestRepaint();

    PlaybackSession session_;
    VlcMediaPlayer vlc_;
    VlcMediaPlayer::Picture vlcPicture_;
    Engine engine_ = Engine::kNone;
    RecordFileKind kind_ = RecordFileKind::kUnreadable;
    QString path_;
    bool paused_ = false;
    bool windowOutput_ = false;
    uint64_t picturesShown_ = 0;
};

}  // namespace orbisight
