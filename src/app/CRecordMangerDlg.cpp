#include "app/CRecordMangerDlg.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/CDlgCloudSearchPage.h"
#include "app/CDlgSDSearchPage.h"
#include "app/RecordPlayerView.h"
#include "ui/ImageButton.h"

namespace orbisight {

CRecordMangerDlg::CRecordMangerDlg(const RecordManagerContext& context, const DeviceInfo* camera,
                                   QWidget* parent, Options options, const QString& noCamera)
    : QDialog(parent) {
    setWindowTitle("Remote Record List");
    resize(1280, 720);
    Build(context, options);
    // Each page works on a copy of its own.
    if (camera != nullptr) {
        sdPage_->SetDevice(*camera);
        cloudPage_->SetDevice(*camera);
    } else {
        sdPage_->ClearDevice(noCamera);
    }
}

CRecordMangerDlg::~CRecordMangerDlg() {
    positionTimer_.stop();
    ClosePages();
}

CRecordMangerDlg* CRecordMangerDlg::OpenForCamera(const RecordManagerContext& context,
                                                  const DeviceInfo* camera, QWidget* parent,
                                                  Options options, const QString& noCamera) {
    auto* dialog = new CRecordMangerDlg(context, camera, parent, std::move(options), noCamera);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    return dialog;
}

void CRecordMangerDlg::Build(const RecordManagerContext& context, const Options& options) {
    tabs_ = new QTabWidget(this);
    sdPage_ = new CDlgSDSearchPage(context, tabs_, options.timings);
    cloudPage_ = new CDlgCloudSearchPage(context, tabs_);
    tabs_->addTab(sdPage_, "SD Record");
    tabs_->addTab(cloudPage_, "Cloud Storage");
    tabs_->setMinimumWidth(620);

    player_ = new RecordPlayerView(options.audio, this);
    position_ = new QSlider(Qt::Horizontal, this);
    position_->setRange(0, 100);
    backward_ = new ui::ImageButton(kBackward, "TBAR-BtnFPage-01.png", this);
    backward_->setText("Backward");
    backward_->setToolTip("Backward");
    play_ = new ui::ImageButton(kPlay, "TBAR-BtnNPage-01.png", this);
    stop_ = new ui::ImageButton(kStop, "Btn-Stop-01.png", this);
    stop_->setText("Stop");
    stop_->setToolTip("Stop");
    forward_ = new ui::ImageButton(kForward, "TBAR-BtnLPage-01.png", this);
    forward_->setText("Forward");
    forward_->setToolTip("Forward");
    status_ = new QLabel(this);

    controls_ = new QWidget(this);
    auto* buttons = new QHBoxLayout(controls_);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    buttons->addWidget(backward_);
    buttons->addWidget(play_);
    buttons->addWidget(stop_);
    buttons->addWidget(forward_);
    buttons->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(player_, 1);
    right->addWidget(position_);
    right->addWidget(controls_);
    right->addWidget(status_);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(right, 1);

    ShowPlaying(false);
    connect(sdPage_, &CDlgSDSearchPage::PlayFile, this, &CRecordMangerDlg::PlayFile);
    connect(cloudPage_, &CDlgCloudSearchPage::PlayFile, this, &CRecordMangerDlg::PlayFile);
    connect(backward_, &QAbstractButton::clicked, this, &CRecordMangerDlg::StepBackward);
    connect(play_, &QAbstractButton::clicked, this, &CRecordMangerDlg::TogglePlay);
    connect(stop_, &QAbstractButton::clicked, this, &CRecordMangerDlg::StopPlayer);
    connect(forward_, &QAbstractButton::clicked, this, &CRecordMangerDlg::StepForward);
    connect(player_, &RecordPlayerView::doubleClicked, this, &CRecordMangerDlg::ToggleFullScreen);
    connect(position_, &QSlider::sliderPressed, this, [this] { dragging_ = true; });
    connect(position_, &QSlider::sliderReleased, this, [this] {
        dragging_ = false;
        Seek(position_->value());
    });
    connect(position_, &QSlider::actionTriggered, this, [this](int action) {
        // A click beside the handle or a key moves the position at once.
        if (action != QAbstractSlider::SliderMove) {
            Seek(position_->sliderPosition());
        }
    });
    positionTimer_.setInterval(kPositionPollMs);
    connect(&positionTimer_, &QTimer::timeout, this, &CRecordMangerDlg::PollPosition);
}

ui::ImageButton* CRecordMangerDlg::Button(ButtonId id) const {
    switch (id) {
        case kBackward:
            return backward_;
        case kPlay:
            return play_;
        case kStop:
            return stop_;
        case kForward:
            return forward_;
    }
    return nullptr;
}

void CRecordMangerDlg::ShowPlaying(bool playing) {
    if (playing) {
        play_->SetImages("Btn-Pause-01.png");
        play_->setToolTip("Click: Pause");
        play_->setText("Pause");
    } else {
        play_->SetImages("TBAR-BtnNPage-01.png");
        play_->setToolTip("Click: Play");
        play_->setText("Play");
    }
    bool active = player_->Active();
    bool any = active || !lastPath_.isEmpty();
    play_->setEnabled(any);
    if (!any) {
        play_->setToolTip("Choose a recording to play");
    }
    for (ui::ImageButton* button : {backward_, stop_, forward_}) {
        button->setEnabled(active);
    }
    position_->setEnabled(active);
}

void CRecordMangerDlg::PlayFile(const QString& path) {
    QString error;
    lastPath_ = path;
    position_->setValue(0);
    if (!player_->Play(path, &error)) {
        status_->setText(error);
        positionTimer_.stop();
        ShowPlaying(false);
        return;
    }
    status_->setText(path);
    positionTimer_.start();
    ShowPlaying(true);
}

void CRecordMangerDlg::TogglePlay() {
    if (!player_->Active()) {
        if (!lastPath_.isEmpty()) {
            PlayFile(lastPath_);  // after a stop or the end: from the start
        }
        return;
    }
    bool pause = !player_->Paused();
    player_->SetPaused(pause);
    ShowPlaying(!pause);
}

void CRecordMangerDlg::StopPlayer() {
    positionTimer_.stop();
    player_->Stop();
    dragging_ = false;
    position_->setValue(0);
    ShowPlaying(false);
}

void CRecordMangerDlg::StepBackward() {
    Seek(position_->value() - kStepPercent);
}

void CRecordMangerDlg::StepForward() {
    Seek(position_->value() + kStepPercent);
}

void CRecordMangerDlg::Seek(int percent) {
    if (!player_->Active()) {
        return;
    }
    percent = std::max(0, std::min(100, percent));
    position_->setValue(percent);
    player_->SetPositionPercent(percent);
}

void CRecordMangerDlg::PollPosition() {
    if (!player_->Active()) {
        return;
    }
    int percent = player_->PositionPercent();
    if (percent >= 0 && !dragging_) {
        position_->setValue(percent);
    }
    if (percent >= 100 || player_->Ended()) {
        StopPlayer();
        position_->setValue(100);
    }
}

void CRecordMangerDlg::ToggleFullScreen() {
    fullScreen_ = !fullScreen_;
    tabs_->setVisible(!fullScreen_);
    position_->setVisible(!fullScreen_);
    controls_->setVisible(!fullScreen_);
    status_->setVisible(!fullScreen_);
    if (fullScreen_) {
        showFullScreen();
    } else {
        showNormal();
    }
}

void CRecordMangerDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && fullScreen_) {
        ToggleFullScreen();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CRecordMangerDlg::closeEvent(QCloseEvent* event) {
    positionTimer_.stop();
    player_->Stop();
    ClosePages();
    QDialog::closeEvent(event);
}

void CRecordMangerDlg::done(int result) {
    positionTimer_.stop();
    player_->Stop();
    ClosePages();
    QDialog::done(result);
}

void CRecordMangerDlg::ClosePages() {
    if (closed_) {
        return;
    }
    closed_ = true;
    sdPage_->ClosePage();
    sdPage_->close();
    cloudPage_->close();
}

}  // namespace orbisight
