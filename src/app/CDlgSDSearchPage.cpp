#include "app/CDlgSDSearchPage.h"

#include <QDateEdit>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <system_error>

#include "app/DialogChannel.h"
#include "app/RecordCameraTree.h"

namespace orbisight {
namespace {

const char* const kConnecting = "Connecting to Camera...";
const char* const kQuerying = "Querying SD Record Info...";
constexpr int kNameRole = Qt::UserRole + 1;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool SameCamera(const DeviceInfo& a, const DeviceInfo& b) {
    return a.Id() == b.Id() && a.Name() == b.Name() && a.Url() == b.Url();
}

void RemoveFile(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

}  // namespace

CDlgSDSearchPage::CDlgSDSearchPage(const RecordManagerContext& context, QWidget* parent,
                                   const std::optional<CXOMPDeviceOper::Timings>& timings)
    : QWidget(parent), context_(context), timings_(timings) {
    Build();
}

CDlgSDSearchPage::~CDlgSDSearchPage() {
    ClosePage();
}

void CDlgSDSearchPage::Build() {
    cameraTree_ = new QTreeWidget(this);
    cameraTree_->setObjectName("cameraTree");
    cameraTree_->setHeaderHidden(true);
    cameraTree_->setIconSize(QSize(18, 18));
    cameraTree_->setFixedWidth(200);
    cameraLabel_ = new QLabel(this);
    date_ = new QDateEdit(QDate::currentDate(), this);
    // Shown day/month/year, as the camera's folders are named by day.
    date_->setDisplayFormat("dd/MM/yyyy");
    date_->setCalendarPopup(true);
    date_->setMinimumWidth(date_->fontMetrics().horizontalAdvance("00/00/00000") + 36);
    start_ = new QTimeEdit(QTime(0, 0, 0), this);
    start_->setDisplayFormat("HH:mm:ss");
    end_ = new QTimeEdit(QTime(23, 59, 59), this);
    end_->setDisplayFormat("HH:mm:ss");
    query_ = new QPushButton("Query", this);

    list_ = new QTreeWidget(this);
    list_->setObjectName("recordList");
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({"Num", "Record Name", "Record Time", "Record Size", "Download"});
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(kColumnNum, kNumWidth);
    list_->setColumnWidth(kColumnName, kNameWidth);
    list_->setColumnWidth(kColumnTime, kTimeWidth);
    list_->setColumnWidth(kColumnSize, kSizeWidth);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setVisible(false);
    status_ = new QLabel(this);

    auto* when = new QHBoxLayout;
    when->addWidget(new QLabel("Date:", this));
    when->addWidget(date_);
    when->addWidget(new QLabel("Start Time:", this));
    when->addWidget(start_);
    when->addWidget(new QLabel("End Time:", this));
    when->addWidget(end_);
    when->addStretch(1);
    when->addWidget(query_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(progress_);
    auto* right = new QVBoxLayout;
    right->addWidget(cameraLabel_);
    right->addLayout(when);
    right->addWidget(list_, 1);
    right->addLayout(bottom);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(cameraTree_);
    layout->addLayout(right, 1);
    list_->viewport()->installEventFilter(this);

    connectTimer_.setInterval(kConnectPollMs);
    connect(&connectTimer_, &QTimer::timeout, this, [this] {
        if (channel_ && channel_->Channel().LoggedIn()) {
            connectTimer_.stop();
            Query();
        }
    });
    progressTimer_.setInterval(kProgressMs);
    connect(&progressTimer_, &QTimer::timeout, this, &CDlgSDSearchPage::UpdateProgress);
    connect(query_, &QPushButton::clicked, this, &CDlgSDSearchPage::Search);
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { ActivateRow(list_->indexOfTopLevelItem(item)); });
    connect(cameraTree_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { ChooseCamera(item); });
    ClearDevice("No camera chosen.");
    RebuildCameraTree();
}

bool CDlgSDSearchPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::Resize) {
        FitDownloadColumn();
    }
    return QWidget::eventFilter(watched, event);
}

void CDlgSDSearchPage::FitDownloadColumn() {
    // "Download" takes what the four fixed columns leave of the list.
    list_->setColumnWidth(kColumnDownload,
                          std::max(60, list_->viewport()->width() - kDownloadLess));
}

void CDlgSDSearchPage::RebuildCameraTree() {
    cameras_ = context_.accountCameras ? recordtree::CamerasOf(context_.accountCameras())
                                       : std::vector<DeviceInfo>{};
    recordtree::Fill(cameraTree_, cameras_, {}, camera_ ? std::string(camera_->Id()) : "");
}

void CDlgSDSearchPage::ChooseCamera(QTreeWidgetItem* item) {
    int index = recordtree::IndexOf(item, cameras_.size());
    if (index < 0) {
        return;
    }
    DeviceInfo chosen = cameras_[static_cast<size_t>(index)];
    SetDevice(chosen);
}

void CDlgSDSearchPage::SetDevice(const DeviceInfo& camera) {
    if (camera_ && !SameCamera(*camera_, camera)) {
        if (download_) {
            FailDownload("Download stopped: another camera was chosen.");
        }
        DropChannel();
        list_->clear();
        rows_.clear();
    }
    camera_ = camera;
    int shown = recordtree::IndexOf(cameraTree_->currentItem(), cameras_.size());
    if (shown < 0 || cameras_[static_cast<size_t>(shown)].Id() != camera.Id()) {
        RebuildCameraTree();  // not while a click on the tree is being handled
    }
    cameraLabel_->setText(
        QString("%1(%2)").arg(FromUtf8(camera.DisplayName()), FromUtf8(camera.Id())));
    query_->setEnabled(true);
    query_->setToolTip({});
    if (!channel_) {
        SetStatus({});
    }
}

void CDlgSDSearchPage::ClearDevice(const QString& why) {
    if (download_) {
        FailDownload("Download stopped: no camera.");
    }
    DropChannel();
    camera_.reset();
    list_->clear();
    rows_.clear();
    cameraLabel_->setText(why);
    query_->setEnabled(false);
    query_->setToolTip("Open this window for a camera to see its SD card.");
    SetStatus(why);
}

void CDlgSDSearchPage::Search() {
    connectTimer_.stop();
    if (!camera_) {
        return;
    }
    list_->clear();
    rows_.clear();
    if (channel_ && channel_->Channel().LoggedIn()) {
        Query();
        return;
    }
    // Not logged in (yet): a channel that is still trying keeps trying;
    // the query goes out once it is in.
    if (!channel_) {
        OpenChannel();
    }
    queryWanted_ = true;
    SetStatus(kConnecting);
    connectTimer_.start();
}

void CDlgSDSearchPage::OpenChannel() {
    channel_ = std::make_unique<DialogChannel>(
        this, CXOMPDeviceOper::kModeSdRecords, [this](const Notice& n) { HandleNotice(n); },
        [this](int result) { HandleOpened(result); });
    if (timings_) {
        channel_->SetTimings(*timings_);
    }
    channel_->Open(*camera_);
}

void CDlgSDSearchPage::DropChannel() {
    connectTimer_.stop();
    queryWanted_ = false;
    channel_.reset();  // closed behind the window
}

void CDlgSDSearchPage::HandleOpened(int result) {
    if (result == CXOMPDeviceOper::kLoginOk && queryWanted_ && channel_ &&
        channel_->Channel().LoggedIn()) {
        connectTimer_.stop();
        Query();
    }
}

void CDlgSDSearchPage::Query() {
    queryWanted_ = false;
    if (!channel_) {
        return;
    }
    std::string day = date_->date().toString("yyyyMMdd").toStdString();
    if (!channel_->Channel().RequestSdFileList(day, StartText(), EndText())) {
        SetStatus("The camera is not connected; query again.");
        return;
    }
    SetStatus(kQuerying);
}

std::string CDlgSDSearchPage::StartText() const {
    return start_->time().toString("HHmmss").toStdString();
}

std::string CDlgSDSearchPage::EndText() const {
    return end_->time().toString("HHmmss").toStdString();
}

void CDlgSDSearchPage::HandleNotice(const Notice& notice) {
    switch (notice.message) {
        case notice::kSdFileList:
        case notice::kSdType5:
            FillList();
            break;
        case notice::kSdDownloadDone:
            if (download_) {
                FinishDownload();
            }
            break;
        case notice::kReplyFailed: {
            // Left as it was, the status would say "Querying ..." for ever.
            QString why = notice.text.empty() ? QString("no reason given") : FromUtf8(notice.text);
            if (channel_ && channel_->Channel().LoginRefused()) {
                SetStatus(QString("The camera refused the login: %1").arg(why));
                connectTimer_.stop();
                queryWanted_ = false;
            } else if (download_) {
                FailDownload(QString("Download failed: %1").arg(why));
            } else {
                SetStatus(QString("The camera refused the request: %1").arg(why));
            }
            break;
        }
        default:
            break;
    }
}

void CDlgSDSearchPage::FillList() {
    if (!channel_) {
        return;
    }
    list_->clear();
    rows_ = SdRowsToShow(channel_->Channel().FileList(), StartText(), EndText());
    for (const SdRow& row : rows_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(kColumnNum, QString("%1").arg(row.number));
        item->setText(kColumnName, FromUtf8(row.name));
        item->setText(kColumnTime, FromUtf8(row.shortName));
        item->setText(kColumnSize, FromUtf8(row.sizeText));
        item->setData(kColumnName, kNameRole, FromUtf8(row.name));
    }
    if (download_) {
        SetRowDownloadText(download_->name, "");
    }
    UpdateProgress();
    SetStatus(QString("Querying %1 SD Record files!").arg(rows_.size()));
}

std::optional<std::filesystem::path> CDlgSDSearchPage::LocalPathFor(const std::string& name) const {
    if (!camera_ || context_.recordFolder.empty()) {
        return std::nullopt;
    }
    return SdLocalPath(context_.recordFolder, *camera_, name, false);
}

void CDlgSDSearchPage::ActivateRow(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || !camera_) {
        return;
    }
    const SdRow entry = rows_[static_cast<size_t>(row)];
    if (!entry.isFile) {
        if (!channel_ || !channel_->Channel().RequestSdHourDir(entry.name)) {
            SetStatus("The camera is not connected; query again.");
            return;
        }
        SetStatus(kQuerying);
        return;
    }
    if (context_.recordFolder.empty()) {
        SetStatus("No record folder is set. Choose one under Settings.");
        return;
    }
    std::string error;
    auto path = SdLocalPath(context_.recordFolder, *camera_, entry.name, false, &error);
    if (!path) {
        SetStatus(QString("Cannot download %1: %2").arg(FromUtf8(entry.name), FromUtf8(error)));
        return;
    }
    if (SdLocalCopyComplete(*path, entry.size)) {
        SetRowDownloadText(entry.name, FromUtf8(SdProgressText(entry.size, entry.size)));
        emit PlayFile(QString::fromStdString(path->string()));
        return;
    }
    if (download_) {
        if (download_->name == entry.name) {
            return;  // already on its way
        }
        // The channel writes one file at a time.
        FailDownload("Download stopped: another recording was chosen.");
    }
    if (!channel_ || !channel_->Channel().LoggedIn()) {
        SetStatus("The camera is not connected; query again.");
        return;
    }
    path = SdLocalPath(context_.recordFolder, *camera_, entry.name, true, &error);
    if (!path) {
        SetStatus(QString("Cannot download %1: %2").arg(FromUtf8(entry.name), FromUtf8(error)));
        return;
    }
    if (!channel_->Channel().BeginSdDownload(*path, entry.name)) {
        RemoveFile(*path);
        SetStatus(QString("Cannot download %1: the file cannot be written or the camera is "
                          "not connected.")
                      .arg(FromUtf8(entry.name)));
        return;
    }
    download_ = Download{entry.name, *path, entry.size};
    progress_->setValue(0);
    progress_->setVisible(true);
    SetStatus(QString("Downloading %1 ...").arg(FromUtf8(entry.name)));
    UpdateProgress();
    progressTimer_.start();
}

void CDlgSDSearchPage::UpdateProgress() {
    for (int i = 0; i < list_->topLevelItemCount() && i < static_cast<int>(rows_.size()); ++i) {
        const SdRow& row = rows_[static_cast<size_t>(i)];
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (!row.isFile) {
            item->setText(kColumnDownload, {});
            continue;
        }
        auto path = LocalPathFor(row.name);
        uint64_t local = path ? SdLocalSize(*path) : 0;
        bool current = download_ && download_->name == row.name;
        // A row shows how much of it is here once a download began or a
        // copy exists.
        item->setText(kColumnDownload,
                      current || local > 0 ? FromUtf8(SdProgressText(local, row.size)) : QString());
    }
    if (!download_) {
        return;
    }
    uint64_t local = SdLocalSize(download_->path);
    if (download_->size > 0) {
        progress_->setValue(static_cast<int>(
            std::min<uint64_t>(100, local * 100 / std::max<uint32_t>(1, download_->size))));
    }
    // The camera sends a file once, on the connection it was asked on: after
    // a lost link nothing more comes.
    if (!channel_ || !channel_->Channel().LoggedIn()) {
        FailDownload("Download failed: the connection to the camera was lost.");
    }
}

void CDlgSDSearchPage::FinishDownload() {
    progressTimer_.stop();
    Download done = *download_;
    download_.reset();
    uint64_t local = SdLocalSize(done.path);
    if (local < done.size) {
        RemoveFile(done.path);
        SetRowDownloadText(done.name, "Failed");
        progress_->setVisible(false);
        SetStatus(QString("Download failed: %1 is shorter than the camera listed.")
                      .arg(FromUtf8(done.name)));
        return;
    }
    SetRowDownloadText(done.name, FromUtf8(SdProgressText(100, 100)));
    progress_->setValue(100);
    SetStatus(QString("Download complete: %1").arg(FromUtf8(done.name)));
    emit PlayFile(QString::fromStdString(done.path.string()));
}

void CDlgSDSearchPage::FailDownload(const QString& why) {
    progressTimer_.stop();
    Download failed = *download_;
    download_.reset();
    if (channel_) {
        channel_->Channel().AbortSdDownload();
    }
    RemoveFile(failed.path);
    SetRowDownloadText(failed.name, "Failed");
    progress_->setVisible(false);
    SetStatus(why);
}

void CDlgSDSearchPage::ClosePage() {
    if (download_) {
        FailDownload("Download stopped: the window was closed.");
    }
    DropChannel();
    progressTimer_.stop();
}

std::filesystem::path CDlgSDSearchPage::DownloadPath() const {
    return download_ ? download_->path : std::filesystem::path();
}

void CDlgSDSearchPage::SetRowDownloadText(const std::string& name, const QString& text) {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (item->data(kColumnName, kNameRole).toString().toStdString() == name) {
            item->setText(kColumnDownload, text);
        }
    }
}

void CDlgSDSearchPage::SetStatus(const QString& text) {
    status_->setText(text);
}

}  // namespace orbisight
