#include "app/RecordPlayerView.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QPainter>
#include <QPointer>

#include "ui/SkinImages.h"

namespace orbisight {

RecordPlayerView::RecordPlayerView(PlaybackAudioFactory audio, QWidget* parent)
    : QWidget(parent),
      session_([this] { RequestRepaint(); }, std::move(audio)),
      vlc_([this] { RequestRepaint(); }) {
    setMinimumSize(320, 240);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

RecordPlayerView::~RecordPlayerView() {
    Stop();
}

void RecordPlayerView::RequestRepaint() {
    // On a player's thread: the window thread repaints. The players stop
    // calling once stopped, and both stop before this widget goes.
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

bool RecordPlayerView::Play(const QString& path, QString* error) {
    Stop();
    std::string file = path.toStdString();
    RecordFileKind kind = DetectRecordFileKind(file);
    auto fail = [&](const QString& why) {
        if (error) {
            *error = why;
        }
        update();
        return false;
    };
    if (kind == RecordFileKind::kUnreadable) {
        return fail(QString("Cannot read %1.").arg(path));
    }
    paused_ = false;
    picturesShown_ = 0;
    if (kind == RecordFileKind::kRecordFormat) {
        session_.SetPaused(false);
        session_.Sink().SetWantedSize({width(), height()});
        session_.Play(file, file);
        engine_ = Engine::kFilePlayer;
    } else {
        // libvlc draws into an X window only when the platform has one and
        // libvlc has an X output; offscreen there is none.
        bool x11 = QGuiApplication::platformName() == "xcb" && VlcMediaPlayer::XOutputAvailable();
        windowOutput_ = x11;
        uint32_t window = x11 ? static_cast<uint32_t>(winId()) : 0;
        std::string why;
        vlcPicture_ = {};
        if (!vlc_.Play(file, kind == RecordFileKind::kRawH264, window, &why)) {
            return fail(QString::fromStdString(why));
        }
        engine_ = Engine::kVlc;
    }
    kind_ = kind;
    path_ = path;
    update();
    return true;
}

void RecordPlayerView::Stop() {
    if (engine_ == Engine::kFilePlayer) {
        session_.Stop();
    } else if (engine_ == Engine::kVlc) {
        vlc_.Stop();
    }
    engine_ = Engine::kNone;
    paused_ = false;
    windowOutput_ = false;
    vlcPicture_ = {};
    update();
}

void RecordPlayerView::SetPaused(bool paused) {
    paused_ = paused;
    if (engine_ == Engine::kFilePlayer) {
        session_.SetPaused(paused);
    } else if (engine_ == Engine::kVlc) {
        vlc_.SetPaused(paused);
    }
}

int RecordPlayerView::PositionPercent() const {
    if (engine_ == Engine::kFilePlayer) {
        PlaybackStatus status = session_.Read();
        if (status.ended) {
            return 100;
        }
        return status.open ? status.progress : -1;
    }
    if (engine_ == Engine::kVlc) {
        return vlc_.Ended() ? 100 : vlc_.PositionPercent();
    }
    return -1;
}

void RecordPlayerView::SetPositionPercent(int percent) {
    percent = std::max(0, std::min(100, percent));
    if (engine_ == Engine::kFilePlayer) {
        session_.SeekPercent(percent);
    } else if (engine_ == Engine::kVlc) {
        vlc_.SetPositionPercent(percent);
    }
}

bool RecordPlayerView::Ended() const {
    if (engine_ == Engine::kFilePlayer) {
        PlaybackStatus status = session_.Read();
        return status.ended || status.refused;
    }
    return engine_ == Engine::kVlc && vlc_.Ended();
}

void RecordPlayerView::resizeEvent(QResizeEvent*) {
    if (engine_ == Engine::kFilePlayer) {
        session_.Sink().SetWantedSize({width(), height()});
    }
}

void RecordPlayerView::paintEvent(QPaintEvent*) {
    if (windowOutput_) {
        return;  // libvlc draws into this widget's window itself
    }
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (engine_ == Engine::kFilePlayer) {
        session_.Sink().AcknowledgeWake();
        bool fresh = false;
        const PictureSlots::Picture& picture = session_.Sink().Latest(&fresh);
        if (picture.Valid()) {
            QImage frame(reinterpret_cast<const uchar*>(picture.pixels), picture.width,
                         picture.height, picture.strideBytes, QImage::Format_RGB32);
            p.drawImage(rect(), frame);
            if (fresh) {
                ++picturesShown_;
            }
        }
        return;
    }
    if (engine_ == Engine::kVlc) {
        if (vlc_.LatestPicture(vlcPicture_)) {
            ++picturesShown_;
        }
        if (vlcPicture_.serial != 0) {
            QImage frame(vlcPicture_.pixels.data(), vlcPicture_.width, vlcPicture_.height,
                         vlcPicture_.width * 4, QImage::Format_RGB32);
            // The stream keeps its proportions.
            QSize size = frame.size().scaled(this->size(), Qt::KeepAspectRatio);
            QRect target(QPoint(0, 0), size);
            target.moveCenter(rect().center());
            p.drawImage(target, frame);
        }
        return;
    }
    if (engine_ == Engine::kNone) {
        QPixmap background = ui::SkinImages::Get("FrameBK.bmp");
        if (!background.isNull()) {
            p.drawPixmap(rect(), background);
        }
    }
}

void RecordPlayerView::mouseDoubleClickEvent(QMouseEvent*) {
    emit doubleClicked();
}

}  // namespace orbisight
