#include "app/CDlgRecordingPlay.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <system_error>
#include <vector>

#include "app/CDlgVedioShow.h"
#include "ui/MessageBoxes.h"
#include "ui/SkinImages.h"

namespace orbisight {

namespace fs = std::filesystem;

namespace {

const char* kRootText = "Local video";
const char* kAnalyzingText = "Analyzing, please wait...";
const char* kNoFileText = "No video file chosen or video file lost!\n\n Please try again......";
const char* kChooseFirstTip = "Choose a file or folder first";
const char* kLaterTip = " (not available in this version)";
constexpr int kKindRole = Qt::UserRole;
// Sub-folders deeper than this are not shown (a loop of bind mounts, say).
constexpr int kMaxDepth = 32;

// A recording or snapshot by the last three characters of its name, in any
// letter case.
CDlgRecordingPlay::ItemKind FileKind(const std::string& name, bool* known) {
    *known = false;
    if (name.size() < 3) {
        return CDlgRecordingPlay::ItemKind::kFolder;
    }
    std::string tail = name.substr(name.size() - 3);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (tail == "264") {
        *known = true;
        return CDlgRecordingPlay::ItemKind::kRecording;
    }
    if (tail == "jpg") {
        *known = true;
        return CDlgRecordingPlay::ItemKind::kSnapshot;
    }
    return CDlgRecordingPlay::ItemKind::kFolder;
}

struct FolderCounts {
    int recordings = 0;
    int snapshots = 0;
    int others = 0;  // other files and folders
};

FolderCounts CountFolder(const fs::path& folder) {
    FolderCounts counts;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        bool known = false;
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            ++counts.others;
            continue;
        }
        CDlgRecordingPlay::ItemKind kind = FileKind(it->path().filename().string(), &known);
        if (!known) {
            ++counts.others;
        } else if (kind == CDlgRecordingPlay::ItemKind::kRecording) {
            ++counts.recordings;
        } else {
            ++counts.snapshots;
        }
    }
    return counts;
}

bool Inside(const fs::path& path, const fs::path& folder) {
    auto p = path.lexically_normal();
    auto f = folder.lexically_normal();
    auto mismatch = std::mismatch(f.begin(), f.end(), p.begin(), p.end());
    return mismatch.first == f.end() ||
           (std::next(mismatch.first) == f.end() && mismatch.first->empty());
}

QString PathText(const fs::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

// ---- the picture area ----

PlaybackView::PlaybackView(PlaybackSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    setMinimumSize(320, 240);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlaybackView::ShowPlayback(bool on) {
    playback_ = on;
    if (on) {
        image_ = QImage();
    }
    update();
}

void PlaybackView::ShowImage(const QImage& image) {
    image_ = image;
    playback_ = false;
    update();
}

void PlaybackView::Clear() {
    image_ = QImage();
    playback_ = false;
    update();
}

void PlaybackView::SetDrivesSink(bool drives) {
    drivesSink_ = drives;
    if (drives) {
        session_.Sink().SetWantedSize({width(), height()});
    }
}

void PlaybackView::resizeEvent(QResizeEvent*) {
    if (drivesSink_) {
        session_.Sink().SetWantedSize({width(), height()});
    }
}

void PlaybackView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x1a, 0x20, 0x29));
    if (playback_) {
        session_.Sink().AcknowledgeWake();
        const PictureSlots::Picture& picture = session_.Sink().Latest();
        if (picture.Valid()) {
            QImage frame(reinterpret_cast<const uchar*>(picture.pixels), picture.width,
                         picture.height, picture.strideBytes, QImage::Format_RGB32);
            p.drawImage(rect(), frame);
            // The file's path over the picture, as a live pane titles its
            // camera.
            CDlgVedioShow::PaintTitle(p, rect(), font(),
                                      QString::fromUtf8(picture.overlay.title.c_str()));
        }
        return;
    }
    if (!image_.isNull()) {
        // A snapshot keeps its proportions.
        QSize size = image_.size().scaled(this->size(), Qt::KeepAspectRatio);
        QRect target(QPoint(0, 0), size);
        target.moveCenter(rect().center());
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, image_);
        return;
    }
    QPixmap background = ui::SkinImages::Get("FrameBK.bmp");
    if (!background.isNull()) {
        p.drawPixmap(rect(), background);
    }
}

void PlaybackView::mouseDoubleClickEvent(QMouseEvent*) {
    emit doubleClicked();
}

void PlaybackView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit escapePressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

// ---- the window ----

CDlgRecordingPlay::CDlgRecordingPlay(Options options, QWidget* parent)
    : QDialog(parent), options_(std::move(options)) {
    setWindowTitle("Video playback");
    resize(1000, 640);
    session_ = std::make_unique<PlaybackSession>(
        [this] {
            // On the player's thread: ask the window thread to repaint.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    view_->update();
                    if (fullScreenView_ != nullptr) {
                        fullScreenView_->update();
                    }
                },
                Qt::QueuedConnection);
        },
        options_.audio);

    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setMinimumWidth(260);
    left->addWidget(tree_, 1);
    auto* pathRow = new QHBoxLayout;
    pathBox_ = new QLineEdit(this);
    pathBox_->setReadOnly(true);
    pathRow->addWidget(pathBox_, 1);
    browseButton_ = new QPushButton("Browse", this);
    browseButton_->setEnabled(false);
    browseButton_->setToolTip(QString("Browse for another folder") + kLaterTip +
                              ": the tree shows the record folder of the settings");
    pathRow->addWidget(browseButton_);
    left->addLayout(pathRow);
    auto* fileRow = new QHBoxLayout;
    refreshButton_ = new QPushButton("Refresh", this);
    deleteButton_ = new QPushButton("Delete", this);
    fileRow->addWidget(refreshButton_);
    fileRow->addStretch();
    fileRow->addWidget(deleteButton_);
    left->addLayout(fileRow);
    layout->addLayout(left);

    auto* right = new QVBoxLayout;
    view_ = new PlaybackView(*session_, this);
    view_->SetDrivesSink(true);
    right->addWidget(view_, 1);
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setRange(0, 100);
    right->addWidget(slider_);
    auto* controls = new QHBoxLayout;
    playButton_ = new QPushButton(this);
    stopButton_ = new QPushButton("Stop", this);
    fastButton_ = new QPushButton("FF", this);
    prevButton_ = new QPushButton("Prev", this);
    nextButton_ = new QPushButton("Next", this);
    for (QPushButton* b : {prevButton_, nextButton_}) {
        b->setEnabled(false);
    }
    prevButton_->setToolTip(QString("Previous recording") + kLaterTip +
                            ": double-click a recording in the tree");
    nextButton_->setToolTip(QString("Next recording") + kLaterTip +
                            ": double-click a recording in the tree");
    keyFramesBox_ = new QCheckBox("Only view I frames", this);
    keyFramesBox_->setEnabled(false);
    keyFramesBox_->setToolTip(QString("Only view I frames") + kLaterTip +
                              ": fast forward shows key frames only");
    timeLabel_ = new QLabel(this);
    timeLabel_->setMinimumWidth(200);
    timeLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QWidget* w : std::initializer_list<QWidget*>{playButton_, stopButton_, fastButton_,
                                                      prevButton_, nextButton_, keyFramesBox_}) {
        controls->addWidget(w);
    }
    controls->addStretch();
    controls->addWidget(timeLabel_);
    right->addLayout(controls);
    statusLabel_ = new QLabel(this);
    statusLabel_->setStyleSheet("color: #b03a2e;");
    right->addWidget(statusLabel_);
    layout->addLayout(right, 1);

    // Enter in the tree never presses a button (Delete least of all).
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    UpdatePlayButton();
    timer_.setInterval(kTimerMs);
    connect(&timer_, &QTimer::timeout, this, &CDlgRecordingPlay::Tick);
    clickTimer_.setSingleShot(true);
    clickTimer_.setInterval(kClickDelayMs);
    connect(&clickTimer_, &QTimer::timeout, this, &CDlgRecordingPlay::ShowSelected);

    connect(tree_, &QTreeWidget::itemClicked, this, [this] { clickTimer_.start(); });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { clickTimer_.start(); });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        clickTimer_.stop();
        OpenItem(item);
    });
    connect(refreshButton_, &QPushButton::clicked, this, &CDlgRecordingPlay::RebuildTree);
    connect(playButton_, &QPushButton::clicked, this, &CDlgRecordingPlay::PlayOrPause);
    connect(stopButton_, &QPushButton::clicked, this, &CDlgRecordingPlay::StopPlayback);
    connect(fastButton_, &QPushButton::clicked, this, &CDlgRecordingPlay::FastForward);
    connect(deleteButton_, &QPushButton::clicked, this, &CDlgRecordingPlay::DeleteSelected);
    // Delete works on the path box: nothing to delete while it is empty.
    auto updateDelete = [this] {
        bool chosen = !pathBox_->text().isEmpty();
        deleteButton_->setEnabled(chosen);
        deleteButton_->setToolTip(chosen ? "Delete the chosen file or folder" : kChooseFirstTip);
    };
    connect(pathBox_, &QLineEdit::textChanged, this, updateDelete);
    updateDelete();
    // A drag seeks where it is let go; clicks and keys at once.
    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        if (!slider_->isSliderDown()) {
            SeekTo(value);
        }
    });
    connect(slider_, &QSlider::sliderReleased, this, [this] { SeekTo(slider_->value()); });
    connect(view_, &PlaybackView::doubleClicked, this, &CDlgRecordingPlay::EnterFullScreen);

    RebuildTree();
}

CDlgRecordingPlay::~CDlgRecordingPlay() {
    timer_.stop();
    LeaveFullScreen();
    // The worker stops the player behind the window; nothing here waits.
    session_.reset();
}

QString CDlgRecordingPlay::TimeText(uint32_t elapsed, uint32_t duration) {
    return QString::asprintf("%02u:%02u:%02u / %02u:%02u:%02u", elapsed / 3600, elapsed / 60 % 60,
                             elapsed % 60, duration / 3600, duration / 60 % 60, duration % 60);
}

// ---- the tree ----

CDlgRecordingPlay::ItemKind CDlgRecordingPlay::KindOf(const QTreeWidgetItem* item) {
    return item == nullptr ? ItemKind::kFolder
                           : static_cast<ItemKind>(item->data(0, kKindRole).toInt());
}

void CDlgRecordingPlay::RebuildTree() {
    tree_->clear();
    auto* root = new QTreeWidgetItem(tree_, QStringList(kRootText));
    root->setData(0, kKindRole, static_cast<int>(ItemKind::kRoot));
    root->setIcon(0, QIcon(ui::SkinImages::Get("Tree-RootLocal.png")));
    AddFolder(root, options_.recordFolder, 0);
    root->setExpanded(true);
}

void CDlgRecordingPlay::AddFolder(QTreeWidgetItem* parent, const fs::path& folder, int depth) {
    if (depth >= kMaxDepth) {
        return;
    }
    std::vector<fs::path> folders;
    std::vector<std::pair<fs::path, ItemKind>> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        // Linked folders are not followed: a link to a parent would never end.
        if (it->is_directory(typeError) && !it->is_symlink(typeError)) {
            folders.push_back(it->path());
            continue;
        }
        bool known = false;
        ItemKind kind = FileKind(it->path().filename().string(), &known);
        if (known && it->is_regular_file(typeError)) {
            files.emplace_back(it->path(), kind);
        }
    }
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    QIcon folderIcon(ui::SkinImages::Get("Tree-Group.png"));
    for (const fs::path& sub : folders) {
        auto* item = new QTreeWidgetItem(parent, QStringList(PathText(sub.filename())));
        item->setData(0, kKindRole, static_cast<int>(ItemKind::kFolder));
        item->setIcon(0, folderIcon);
        AddFolder(item, sub, depth + 1);
        item->setExpanded(true);
    }
    for (const auto& [path, kind] : files) {
        auto* item = new QTreeWidgetItem(parent, QStringList(PathText(path.filename())));
        item->setData(0, kKindRole, static_cast<int>(kind));
        item->setIcon(0, style()->standardIcon(kind == ItemKind::kRecording
                                                   ? QStyle::SP_MediaPlay
                                                   : QStyle::SP_FileDialogContentsView));
    }
}

fs::path CDlgRecordingPlay::PathOf(const QTreeWidgetItem* item) const {
    std::vector<QString> texts;
    for (const QTreeWidgetItem* i = item; i != nullptr && i->parent() != nullptr; i = i->parent()) {
        texts.push_back(i->text(0));
    }
    fs::path path = options_.recordFolder;
    for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
        path /= it->toStdString();
    }
    return path;
}

void CDlgRecordingPlay::ShowSelected() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr) {
        return;
    }
    pathBox_->setText(PathText(PathOf(item)));
    // A snapshot is shown unless a recording plays there.
    if (KindOf(item) == ItemKind::kSnapshot && !playing_) {
        ShowSnapshot(PathOf(item));
    }
}

void CDlgRecordingPlay::OpenItem(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    tree_->setCurrentItem(item);
    pathBox_->setText(PathText(PathOf(item)));
    // Any item stops what plays; a folder only that.
    StopPlayback();
    ItemKind kind = KindOf(item);
    if (kind != ItemKind::kRecording && kind != ItemKind::kSnapshot) {
        return;
    }
    if (kind == ItemKind::kRecording) {
        PlayRecording(PathOf(item));
    } else {
        ShowSnapshot(PathOf(item));
    }
}

void CDlgRecordingPlay::ShowSnapshot(const fs::path& path) {
    QImage image(PathText(path));
    if (image.isNull()) {
        view_->Clear();
        statusLabel_->setText("The snapshot cannot be read.");
        return;
    }
    statusLabel_->clear();
    view_->ShowImage(image);
}

// ---- playing ----

void CDlgRecordingPlay::PlayRecording(const fs::path& path) {
    if (playing_) {
        return;
    }
    std::error_code ec;
    bool usable = fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0 && !ec;
    if (!usable) {
        ui::ShowNote(this, "Note", kNoFileText, ui::MessageIcon::kInformation);
        return;
    }
    speed_ = 1;
    fastButton_->setText("Fast forward");
    playing_ = true;
    paused_ = false;
    UpdatePlayButton();
    timeLabel_->setText(kAnalyzingText);
    statusLabel_->clear();
    view_->ShowPlayback(true);
    playingPath_ = path;
    session_->Play(path.string(), path.string());
    timer_.start();
}

void CDlgRecordingPlay::PlayOrPause() {
    if (playing_) {
        paused_ = !paused_;
        session_->SetPaused(paused_);
        UpdatePlayButton();
        return;
    }
    QTreeWidgetItem* item = tree_->currentItem();
    fs::path path = pathBox_->text().toStdString();
    if (item != nullptr && PathOf(item) == path && KindOf(item) == ItemKind::kSnapshot) {
        ShowSnapshot(path);
        return;
    }
    bool known = false;
    if (path.empty() || FileKind(path.filename().string(), &known) != ItemKind::kRecording) {
        ui::ShowNote(this, "Note", kNoFileText, ui::MessageIcon::kInformation);
        return;
    }
    PlayRecording(path);
}

void CDlgRecordingPlay::StopPlayback() {
    playing_ = false;
    paused_ = false;
    timer_.stop();
    session_->Stop();
    settingSlider_ = true;
    slider_->setValue(0);
    settingSlider_ = false;
    LeaveFullScreen();
    view_->ShowPlayback(false);
    UpdatePlayButton();
    fastButton_->setText("FF");
    speed_ = 1;
    playingPath_.clear();
    // Stopped before the index was there: the window is no longer analysing.
    if (timeLabel_->text() == kAnalyzingText) {
        timeLabel_->setText(TimeText(0, 0));
    }
}

void CDlgRecordingPlay::FastForward() {
    speed_ = speed_ >= 32 ? 1 : speed_ * 2;
    session_->SetSpeed(speed_);
    fastButton_->setText(speed_ == 1 ? QString("FF") : QString::asprintf("FF %dX", speed_));
}

void CDlgRecordingPlay::SeekTo(int percent) {
    if (settingSlider_ || !playing_) {
        return;
    }
    if (percent >= 100) {
        StopPlayback();
        return;
    }
    session_->SeekPercent(percent);
}

void CDlgRecordingPlay::UpdatePlayButton() {
    bool showPause = playing_ && !paused_;
    playButton_->setText(showPause ? "Pause" : "Play");
    playButton_->setToolTip(showPause ? "Click: Pause" : "Click: Play");
}

void CDlgRecordingPlay::Tick() {
    PlaybackStatus status = session_->Read();
    if (status.analyzing) {
        return;
    }
    if (!status.open) {
        if (status.refused) {
            StopPlayback();
            timeLabel_->setText(TimeText(0, 0));
            statusLabel_->setText("This file holds no video or audio record.");
        }
        return;
    }
    if (!slider_->isSliderDown()) {
        settingSlider_ = true;
        slider_->setValue(status.progress);
        settingSlider_ = false;
    }
    uint32_t elapsed = static_cast<uint32_t>(static_cast<uint64_t>(status.progress) *
                                             status.durationSeconds / 100);
    timeLabel_->setText(TimeText(elapsed, status.durationSeconds));
    if (status.damaged) {
        statusLabel_->setText(QString("This recording is damaged (%1): it plays up to the damage.")
                                  .arg(QString::fromUtf8(status.damageText.c_str())));
    }
    if (status.progress >= 100 || status.ended) {
        StopPlayback();
    }
}

// ---- full screen ----

void CDlgRecordingPlay::EnterFullScreen() {
    if (fullScreen_ || !playing_) {
        return;
    }
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle("Video playback");
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    fullScreenView_ = new PlaybackView(*session_, window);
    fullScreenView_->ShowPlayback(true);
    layout->addWidget(fullScreenView_);
    connect(fullScreenView_, &PlaybackView::doubleClicked, this,
            &CDlgRecordingPlay::LeaveFullScreen);
    connect(fullScreenView_, &PlaybackView::escapePressed, this,
            &CDlgRecordingPlay::LeaveFullScreen);
    connect(window, &QObject::destroyed, this, [this] {
        fullScreenView_ = nullptr;
        view_->SetDrivesSink(true);
    });
    fullScreen_ = window;
    view_->SetDrivesSink(false);
    fullScreenView_->SetDrivesSink(true);
    window->showFullScreen();
    fullScreenView_->setFocus();
}

void CDlgRecordingPlay::LeaveFullScreen() {
    if (!fullScreen_) {
        return;
    }
    QWidget* window = fullScreen_;
    fullScreen_ = nullptr;
    fullScreenView_ = nullptr;
    view_->SetDrivesSink(true);
    window->hide();
    window->deleteLater();
}

// ---- delete ----

bool CDlgRecordingPlay::Playing(const fs::path& path) const {
    return playing_ && !playingPath_.empty() && Inside(playingPath_, path);
}

void CDlgRecordingPlay::DeleteSelected() {
    QString text = pathBox_->text();
    if (text.isEmpty()) {
        return;
    }
    fs::path path = text.toStdString();
    std::error_code ec;
    if (fs::equivalent(path, options_.recordFolder, ec) ||
        path.lexically_normal() == options_.recordFolder.lexically_normal()) {
        ui::ShowNote(this, "Note", "The record folder itself is not deleted.",
                     ui::MessageIcon::kInformation);
        return;
    }
    bool folder = fs::is_directory(fs::symlink_status(path, ec));
    QString question = QString("Are you sure to delete %1 ?").arg(text);
    if (folder) {
        FolderCounts counts = CountFolder(path);
        question += QString("\n\nThe folder holds %1 recordings and %2 snapshots")
                        .arg(counts.recordings)
                        .arg(counts.snapshots);
        question +=
            counts.others > 0 ? QString(" and %1 other items.").arg(counts.others) : QString(".");
    }
    if (!ui::AskYesNo(this, "Note", question)) {
        return;
    }
    if (Playing(path)) {
        StopPlayback();
    }
    bool removed = false;
    std::string reason;
    if (folder) {
        fs::remove_all(path, ec);
        removed = !ec;
    } else {
        removed = fs::remove(path, ec) && !ec;
        if (!ec && !removed) {
            ec = std::make_error_code(std::errc::no_such_file_or_directory);
        }
    }
    if (!removed) {
        // Never more than what was asked: a file that cannot be deleted leaves
        // its folder alone.
        ui::ShowNote(this, "Note",
                     QString("%1 could not be deleted: %2")
                         .arg(text, QString::fromLocal8Bit(ec.message().c_str())),
                     ui::MessageIcon::kWarning);
        RebuildTree();
        return;
    }
    QTreeWidgetItem* item = tree_->currentItem();
    if (item != nullptr && item->parent() != nullptr && PathOf(item) == path) {
        delete item;
    } else {
        RebuildTree();
    }
    pathBox_->clear();
    if (view_->ShowsImage()) {
        view_->Clear();
    }
}

void CDlgRecordingPlay::closeEvent(QCloseEvent* event) {
    StopPlayback();
    QDialog::closeEvent(event);
}

void CDlgRecordingPlay::reject() {
    StopPlayback();
    QDialog::reject();
}

}  // namespace orbisight
