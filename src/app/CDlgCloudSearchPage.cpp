#include "app/CDlgCloudSearchPage.h"

#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimeZone>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ClientSettingsFile.h"
#include "app/RecordCameraTree.h"
#include "records/CloudConnection.h"
#include "records/CloudWorker.h"
#include "ui/MessageBoxes.h"

namespace orbisight {

namespace {

constexpr int kRoleVideo = Qt::UserRole;  // index into videos_
constexpr int kStatusLogLimit = 200;

// The date picker shows day/month/year with "/" between them.
constexpr const char* kDateFormat = "dd'/'MM'/'yyyy";

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CDlgCloudSearchPage::CDlgCloudSearchPage(const RecordManagerContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    defaultServer_ = ClientSettingsFile::InDataFolder().CloudServer();
    BuildControls();
    if (context_.cloud != nullptr) {
        // Called on the worker thread, never after the worker (a member of
        // this page) is destroyed, so the page is there; the call runs on the
        // window thread and is dropped if the page goes first.
        CDlgCloudSearchPage* page = this;
        worker_ =
            std::make_unique<CloudWorker>(*context_.cloud, [page](std::function<void()> call) {
                QMetaObject::invokeMethod(page, std::move(call), Qt::QueuedConnection);
            });
    } else {
        query_->setEnabled(false);
        query_->setToolTip("Cloud storage is unavailable: the cloud-storage library is missing.");
        SetStatus("Cloud storage is unavailable: the cloud-storage library is missing.");
    }
    FillSearchIds();
    RebuildTree();
}

CDlgCloudSearchPage::~CDlgCloudSearchPage() = default;

void CDlgCloudSearchPage::BuildControls() {
    filter_ = new QLineEdit(this);
    filter_->setObjectName("cameraFilter");
    filter_->setPlaceholderText("Camera");
    tree_ = new QTreeWidget(this);
    tree_->setObjectName("cameraTree");
    tree_->setHeaderHidden(true);
    tree_->setIconSize(QSize(18, 18));
    refresh_ = new QPushButton("Refresh", this);
    refresh_->setObjectName("refresh");

    searchId_ = new QComboBox(this);
    searchId_->setObjectName("searchId");
    searchId_->setEditable(true);
    searchId_->setInsertPolicy(QComboBox::NoInsert);
    searchId_->setMinimumContentsLength(14);
    date_ = new QDateEdit(QDate::currentDate(), this);
    date_->setObjectName("date");
    date_->setDisplayFormat(kDateFormat);
    date_->setCalendarPopup(true);
    start_ = new QTimeEdit(QTime(0, 0, 0), this);
    start_->setObjectName("startTime");
    start_->setDisplayFormat("HH:mm:ss");
    end_ = new QTimeEdit(QTime(23, 59, 59), this);
    end_->setObjectName("endTime");
    end_->setDisplayFormat("HH:mm:ss");
    query_ = new QPushButton("Query", this);
    query_->setObjectName("query");

    list_ = new QTreeWidget(this);
    list_->setObjectName("recordList");
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHeaderLabels({"Number", "Record Name", "Record Size", "Record Status"});
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(0, 60);
    list_->setColumnWidth(2, 90);
    list_->setColumnWidth(3, 60);
    status_ = new QLabel(this);
    status_->setObjectName("status");

    tree_->setMinimumWidth(170);
    date_->setMinimumWidth(date_->fontMetrics().horizontalAdvance("00/00/00000") + 36);
    auto* left = new QVBoxLayout;
    left->addWidget(filter_);
    left->addWidget(tree_, 1);
    left->addWidget(refresh_);

    // Two rows, so that the ID, the day and the times stay readable beside
    // the camera tree.
    auto* idRow = new QHBoxLayout;
    idRow->addWidget(new QLabel("Search ID:", this));
    idRow->addWidget(searchId_, 1);
    auto* bar = new QHBoxLayout;
    bar->addWidget(date_);
    bar->addWidget(start_);
    bar->addWidget(new QLabel("-", this));
    bar->addWidget(end_);
    bar->addStretch(1);
    bar->addWidget(query_);
    auto* right = new QVBoxLayout;
    right->addLayout(idRow);
    right->addLayout(bar);
    right->addWidget(list_, 1);
    right->addWidget(status_);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 3);

    connect(filter_, &QLineEdit::textChanged, this, [this] { RebuildTree(); });
    connect(tree_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { ChooseCamera(item); });
    connect(refresh_, &QPushButton::clicked, this, [this] { Refresh(); });
    connect(searchId_->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { AddSearchId(searchId_->currentText().trimmed()); });
    connect(query_, &QPushButton::clicked, this, [this] { Query(); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { PlayRow(item); });
}

void CDlgCloudSearchPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FixColumns();
}

void CDlgCloudSearchPage::FixColumns() {
    list_->setColumnWidth(1, std::max(60, list_->viewport()->width() - 210));
}

void CDlgCloudSearchPage::SetStatus(const QString& text) {
    status_->setText(text);
    statusLog_.append(text);
    if (statusLog_.size() > kStatusLogLimit) {
        statusLog_.removeFirst();
    }
    // Read by the tests: every status shown, in order.
    setProperty("statusLog", statusLog_);
}

void CDlgCloudSearchPage::FillSearchIds() {
    if (context_.accountCameras) {
        for (const auto& camera : context_.accountCameras()) {
            if (!camera.isGroup) {
                AddSearchId(Utf8(camera.Id()));
            }
        }
    }
}

void CDlgCloudSearchPage::AddSearchId(const QString& id) {
    if (!id.isEmpty() &&
        searchId_->findText(id, Qt::MatchFixedString | Qt::MatchCaseSensitive) < 0) {
        searchId_->addItem(id);
    }
}

void CDlgCloudSearchPage::RebuildTree() {
    std::string chosen = device_ ? std::string(device_->Id()) : std::string();
    cameras_ = context_.accountCameras ? recordtree::CamerasOf(context_.accountCameras())
                                       : std::vector<DeviceInfo>{};
    recordtree::Fill(tree_, cameras_, filter_->text(), chosen);
}

void CDlgCloudSearchPage::ChooseCamera(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    int index = recordtree::IndexOf(item, cameras_.size());
    if (index < 0) {
        return;
    }
    device_ = std::make_unique<DeviceInfo>(cameras_[static_cast<size_t>(index)]);
    searchId_->setCurrentText(Utf8(device_->Id()));
}

void CDlgCloudSearchPage::SetDevice(const DeviceInfo& camera) {
    device_ = std::make_unique<DeviceInfo>(camera);
    AddSearchId(Utf8(camera.Id()));
    searchId_->setCurrentText(Utf8(camera.Id()));
    RebuildTree();
}

void CDlgCloudSearchPage::Refresh() {
    searchId_->clear();
    FillSearchIds();
    if (device_) {
        searchId_->setCurrentText(Utf8(device_->Id()));
    }
    RebuildTree();
}

void CDlgCloudSearchPage::Query() {
    if (!worker_) {
        return;
    }
    // The camera: the chosen one, or the one whose ID was typed in
    // "Search ID:" (a camera of the account, or a bare ID, which uses the
    // default server).
    QString typed = searchId_->currentText().trimmed();
    DeviceInfo camera{};
    if (device_ && (typed.isEmpty() || typed == Utf8(device_->Id()))) {
        camera = *device_;
    } else if (!typed.isEmpty()) {
        bool found = false;
        for (const auto& c : cameras_) {
            if (Utf8(c.Id()) == typed) {
                camera = c;
                found = true;
            }
        }
        if (!found) {
            camera.SetId(typed.toStdString());
        }
        device_ = std::make_unique<DeviceInfo>(camera);
    } else {
        SetStatus("Choose a camera first.");
        return;
    }
    queried_ = camera;
    videos_.clear();
    list_->clear();
    connected_ = false;

    std::string param = ConnectParamForCamera(camera.Url(), defaultServer_);
    std::string id(camera.Id());
    QDate day = date_->date();
    int64_t start = QDateTime(day, start_->time()).toSecsSinceEpoch();
    int64_t end = QDateTime(day, end_->time()).toSecsSinceEpoch();
    CDlgCloudSearchPage* page = this;
    CloudStorageLibrary* library = context_.cloud;
    worker_->Post(
        [page, library, param, id, start, end](std::unique_ptr<CloudConnection>& connection,
                                               const CloudWorker::Deliver& deliver) {
            // Every status is shown before its call; queued calls keep their
            // order.
            auto status = [page, &deliver](const std::string& text) {
                deliver([page, text = QString::fromStdString(text)] { page->SetStatus(text); });
            };
            // The old connection object is disconnected and destroyed before
            // the new one is made.
            connection.reset();
            connection = std::make_unique<CloudConnection>(*library);
            if (!connection->Open(param, id, status)) {
                deliver([page] { page->QueryFinished({}, false); });
                return;
            }
            auto result = connection->Query(start, end, status);
            bool up = connection->IsConnected();
            if (!result.ok) {
                deliver([page, up] { page->QueryFinished({}, up); });
                return;
            }
            deliver([page, videos = std::move(result.videos), up]() mutable {
                page->QueryFinished(std::move(videos), up);
            });
        });
}

void CDlgCloudSearchPage::QueryFinished(std::vector<VideoInfo> videos, bool connected) {
    connected_ = connected;
    videos_ = std::move(videos);
    SortVideoList(videos_);
    FillList();
}

void CDlgCloudSearchPage::FillList() {
    list_->clear();
    int number = 1;
    for (size_t i = videos_.size(); i-- > 0; ++number) {
        const VideoInfo& video = videos_[i];
        auto* row = new QTreeWidgetItem(list_);
        row->setText(0, QString::asprintf("%d", number));
        row->setText(1, QString::fromStdString(VideoRecordName(video)));
        row->setText(2, QString::fromStdString(VideoSizeText(video.videoSize)));
        row->setText(3, QString::asprintf("%d", video.videoStatus));
        row->setData(0, kRoleVideo, static_cast<int>(i));
    }
    FixColumns();
}

void CDlgCloudSearchPage::PlayRow(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    int index = item->data(0, kRoleVideo).toInt();
    if (index < 0 || static_cast<size_t>(index) >= videos_.size()) {
        return;
    }
    const VideoInfo video = videos_[static_cast<size_t>(index)];
    if (video.videoStatus == 0) {
        ui::ShowNote(this, cloudtext::kBrokenTitle, cloudtext::kBroken);
        return;
    }
    PlayRecord(video, true);
}

void CDlgCloudSearchPage::PlayRecord(const VideoInfo& video, bool download) {
    std::filesystem::path path =
        LocalVideoPath(context_.recordFolder, queried_.DisplayName(), queried_.Id(), video);
    if (LocalCopyComplete(path, video.videoSize)) {
        emit PlayFile(QString::fromStdString(path.string()));
        return;
    }
    if (!download) {
        return;
    }
    if (!worker_ || !connected_) {
        SetStatus("Not connected to Cloud Server: press \"Query\" first.");
        return;
    }
    Download(video, path);
}

void CDlgCloudSearchPage::Download(const VideoInfo& video, const std::filesystem::path& path) {
    CDlgCloudSearchPage* page = this;
    worker_->Post([page, video, path](std::unique_ptr<CloudConnection>& connection,
                                      const CloudWorker::Deliver& deliver) {
        auto status = [page, &deliver](const std::string& text) {
            deliver([page, text = QString::fromStdString(text)] { page->SetStatus(text); });
        };
        if (!connection || !connection->IsConnected()) {
            deliver([page] {
                page->connected_ = false;
                page->SetStatus("Not connected to Cloud Server: press \"Query\" first.");
            });
            return;
        }
        std::string error;
        bool ok = connection->Download(video, path, status, error);
        bool up = connection->IsConnected();
        deliver([page, video, path, ok, up] {
            page->connected_ = up;
            page->DownloadFinished(video, path, ok);
        });
    });
}

void CDlgCloudSearchPage::DownloadFinished(const VideoInfo& video,
                                           const std::filesystem::path& path, bool ok) {
    // Plays the new file when it is there as listed; never downloads again
    // from here.
    if (ok && LocalCopyComplete(path, video.videoSize)) {
        emit PlayFile(QString::fromStdString(path.string()));
    }
}

}  // namespace orbisight
