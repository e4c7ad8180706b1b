// The "Cloud Storage" page against the simulated cloud server: the camera
// tree and filter, a query's statuses and list, playing a local copy,
// downloading, and the connection objects it leaves behind.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/CDlgCloudSearchPage.h"
#include "app/CRecordMangerDlg.h"
#include "app/RecordPlayerView.h"
#include "records/CloudConnection.h"
#include "records/CloudStorageLibrary.h"
#include "sim/cloud/SimCloudServer.h"
#include "tests/app/QtTestEnvironment.h"
#include "ui/ImageButton.h"

namespace orbisight {
namespace {

namespace fs = std::filesystem;
using testing::MessageRecorder;
using testing::WaitUntil;

DeviceInfo Camera(const char* id, const char* name, int status, const std::string& url,
                  const char* tips = "") {
    DeviceInfo d{};
    d.SetId(id);
    d.SetName(name);
    d.SetTips(tips);
    d.SetUrl(url);
    d.status = status;
    return d;
}

class CloudPage : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("cloud-page-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        std::string error;
        library_ = CloudStorageLibrary::Load(
            std::string(ORBISIGHT_BIN_DIR) + "/libRK_ORBCSClient.so", error);
        ASSERT_TRUE(library_) << error;
        library_->Init("/tmp/");
    }
    void TearDown() override {
        page_.reset();
        if (server_) {
            server_->Stop();
        }
        fs::remove_all(folder_);
    }

    // A server on its own address; the first camera names it in its address
    // list, on another port (the page always uses 5557).
    void StartServer(const std::string& host) {
        server_ = sim::SimCloudServer::Start({{"host", host}, {"port", 5557}}, nullptr);
        cameras_ = {Camera("ORBI00000001", "Door", 2,
                           "ssp://127.0.0.1:6001;cloud://" + host + ":8000", "front"),
                    Camera("ORBI00000002", "", 0, "ssp://127.0.0.1:6002", "yard")};
    }
    RecordManagerContext Context(CloudStorageLibrary* cloud) {
        RecordManagerContext context;
        context.recordFolder = (folder_ / "records").string();
        context.accountCameras = [this] { return cameras_; };
        context.cloud = cloud;
        return context;
    }
    void MakePage(CloudStorageLibrary* cloud) {
        page_ = std::make_unique<CDlgCloudSearchPage>(Context(cloud));
        page_->resize(900, 500);
        page_->show();
    }
    template <typename T>
    T* Child(const char* name) {
        return page_->findChild<T*>(name);
    }
    QStringList Statuses() { return page_->property("statusLog").toStringList(); }
    QTreeWidget* List() { return Child<QTreeWidget>("recordList"); }
    void ChooseFirstCamera() {
        QTreeWidget* tree = Child<QTreeWidget>("cameraTree");
        QTreeWidgetItem* item = tree->topLevelItem(0)->child(0);
        emit tree->itemClicked(item, 0);
    }
    // Queries the chosen camera's day and waits for the list.
    void Query(int rows) {
        qsizetype before = Statuses().size();
        Child<QPushButton>("query")->click();
        ASSERT_TRUE(WaitUntil([&] {
            return Statuses().size() >= before + 6 && List()->topLevelItemCount() == rows;
        })) << Statuses().join(" | ").toStdString();
    }
    // Today at h:m:s, local time.
    int32_t Today(int h, int m, int s) {
        return static_cast<int32_t>(
            QDateTime(QDate::currentDate(), QTime(h, m, s)).toSecsSinceEpoch());
    }
    void DoubleClick(int row) { emit List()->itemDoubleClicked(List()->topLevelItem(row), 0); }

    fs::path folder_;
    std::unique_ptr<CloudStorageLibrary> library_;
    std::unique_ptr<sim::SimCloudServer> server_;
    std::vector<DeviceInfo> cameras_;
    std::unique_ptr<CDlgCloudSearchPage> page_;
};

TEST_F(CloudPage, WithoutTheLibraryNothingIsCalled) {
    cameras_ = {Camera("ORBI00000001", "Door", 2, "")};
    MakePage(nullptr);
    QPushButton* query = Child<QPushButton>("query");
    EXPECT_FALSE(query->isEnabled());
    EXPECT_FALSE(query->toolTip().isEmpty());
    EXPECT_TRUE(Child<QLabel>("status")->text().contains("unavailable"));
}

TEST_F(CloudPage, CameraTreeSearchIdsAndFilter) {
    StartServer("127.0.58.1");
    MakePage(library_.get());
    QTreeWidget* tree = Child<QTreeWidget>("cameraTree");
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "MyCamera(1/2)");
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(0)->text(0), "Door(ORBI00000001)");
    EXPECT_EQ(root->child(1)->text(0), "MyCamera(ORBI00000002)");
    QComboBox* ids = Child<QComboBox>("searchId");
    EXPECT_EQ(ids->count(), 2);

    ChooseFirstCamera();
    EXPECT_EQ(ids->currentText(), "ORBI00000001");
    // Tips count, case does not; the chosen camera stays selected.
    Child<QLineEdit>("cameraFilter")->setText("FRONT");
    root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "MyCamera(1/1)");
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(tree->currentItem(), root->child(0));
    Child<QLineEdit>("cameraFilter")->setText("yard");
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "MyCamera(0/1)");

    // The OK key adds a new ID once; "Refresh" starts the box over.
    ids->setCurrentText("NEWCAMERA001");
    emit ids->lineEdit()->returnPressed();
    emit ids->lineEdit()->returnPressed();
    EXPECT_EQ(ids->count(), 3);
    Child<QPushButton>("refresh")->click();
    EXPECT_EQ(ids->count(), 2);
}

TEST_F(CloudPage, QueryStatusesListAndPlayingLocalCopies) {
    StartServer("127.0.58.2");
    sim::SimCloudStore& store = server_->Store();
    int32_t early = Today(8, 0, 0);
    int32_t late = Today(9, 30, 5);
    store.Add("ORBI00000001", early, 3, 1, sim::SimCloudStore::Pattern(1536, 1));
    store.Add("ORBI00000001", late, 1, 1, sim::SimCloudStore::Pattern(4000, 2));
    store.Add("ORBI00000001", Today(10, 0, 0), 4, 0, sim::SimCloudStore::Pattern(100, 3));
    MakePage(library_.get());
    ChooseFirstCamera();
    Query(3);
    QStringList expected = {"Connecting to Cloud Server...", "Connect to Cloud Server..",
                            "Connected to Cloud Server!",    "Querying Video Info...",
                            "Find 3 video record...",        "Find 3 video records..."};
    EXPECT_EQ(Statuses(), expected);

    // Newest first, numbered from 1.
    QTreeWidget* list = List();
    EXPECT_EQ(list->topLevelItem(0)->text(0), "1");
    EXPECT_EQ(list->topLevelItem(0)->text(3), "0");
    EXPECT_EQ(list->topLevelItem(1)->text(1),
              QDateTime::fromSecsSinceEpoch(late).toString("yyyyMMddHHmmss") + ".264");
    EXPECT_EQ(list->topLevelItem(1)->text(2), "3.91 KB");
    EXPECT_EQ(list->topLevelItem(2)->text(0), "3");
    EXPECT_EQ(list->topLevelItem(2)->text(1),
              QDateTime::fromSecsSinceEpoch(early).toString("yyyyMMddHHmmss") + ".jpg");
    EXPECT_EQ(list->topLevelItem(2)->text(2), "1.50 KB");
    EXPECT_EQ(list->columnWidth(0), 60);
    EXPECT_EQ(list->columnWidth(2), 90);
    EXPECT_EQ(list->columnWidth(3), 60);

    QSignalSpy played(page_.get(), &CDlgCloudSearchPage::PlayFile);
    {
        // A broken record is not played.
        MessageRecorder messages;
        DoubleClick(0);
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0].title, "Tip");
        EXPECT_EQ(messages.asked[0].text, "The video file is broken, stop to play it!");
        EXPECT_EQ(played.count(), 0);
    }

    // A complete local copy plays at once, without a download.
    VideoInfo lateInfo{late, 1, 1, 4000};
    fs::path local =
        LocalVideoPath((folder_ / "records").string(), "Door", "ORBI00000001", lateInfo);
    fs::create_directories(local.parent_path());
    { std::ofstream(local, std::ios::binary) << std::string(4000, 'L'); }
    int before = Statuses().size();
    DoubleClick(1);
    ASSERT_EQ(played.count(), 1);
    EXPECT_EQ(played.at(0).at(0).toString().toStdString(), local.string());
    EXPECT_EQ(Statuses().size(), before);

    // A copy of another size is downloaded again and replaced.
    { std::ofstream(local, std::ios::binary) << std::string(3999, 'L'); }
    DoubleClick(1);
    ASSERT_TRUE(WaitUntil([&] { return played.count() == 2; }))
        << Statuses().join(" | ").toStdString();
    EXPECT_EQ(Statuses().mid(before),
              (QStringList{"Downloading video file...", "Download video file complete!"}));
    std::ifstream in(local, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, *sim::SimCloudStore::Pattern(4000, 2));
    EXPECT_EQ(played.at(1).at(0).toString().toStdString(), local.string());
    EXPECT_EQ(server_->Violations().Count(), 0);
}

TEST_F(CloudPage, FailedDownloadSaysWhyAndLeavesNoFile) {
    StartServer("127.0.58.3");
    int32_t when = Today(7, 0, 0);
    server_->Store().Add("ORBI00000001", when, 1, 1, sim::SimCloudStore::Pattern(300000, 4));
    MakePage(library_.get());
    ChooseFirstCamera();
    Query(1);
    server_->SetFault(sim::SimCloudFault::kDrop);
    QSignalSpy played(page_.get(), &CDlgCloudSearchPage::PlayFile);
    DoubleClick(0);
    ASSERT_TRUE(WaitUntil([&] {
        return Statuses().last().startsWith("Download video file failed!");
    })) << Statuses().join(" | ").toStdString();
    EXPECT_TRUE(Statuses().last().contains("connection was lost"));
    EXPECT_EQ(played.count(), 0);
    EXPECT_FALSE(fs::exists(folder_ / "records"));

    // The connection is gone: the page says to query again.
    DoubleClick(0);
    EXPECT_TRUE(Statuses().last().contains("Query"));
}

TEST_F(CloudPage, EachQueryReplacesItsConnectionAndClosingEndsIt) {
    StartServer("127.0.58.4");
    MakePage(library_.get());
    ChooseFirstCamera();
    Query(0);
    EXPECT_EQ(Statuses().last(), "0 video files found...");
    ASSERT_TRUE(WaitUntil([&] { return server_->OpenConnections() == 1; }));
    Query(0);
    Query(0);
    EXPECT_EQ(server_->Accepted(), 3u);
    ASSERT_TRUE(WaitUntil([&] { return server_->OpenConnections() == 1; }));
    page_.reset();
    EXPECT_TRUE(WaitUntil([&] { return server_->OpenConnections() == 0; }));
}

TEST_F(CloudPage, CameraWithoutCloudEntryUsesTheDefaultServer) {
    // Nothing listens at the default address in the test namespace but the
    // page must try it: 127.0.0.1:5557 unless "CloudServer" says otherwise.
    StartServer("127.0.58.5");
    cameras_ = {Camera("ORBI00000009", "Plain", 2, "ssp://127.0.0.1:6009")};
    fs::create_directories(std::getenv("ORBISIGHT_HOME"));
    std::ofstream(fs::path(std::getenv("ORBISIGHT_HOME")) / "CameraClient.ini")
        << "[CameraClient]\nCloudServer=127.0.58.5:5557\n";
    server_->Store().Add("ORBI00000009", Today(1, 0, 0), 1, 1, sim::SimCloudStore::Pattern(10, 5));
    MakePage(library_.get());
    ChooseFirstCamera();
    Query(1);
    fs::remove(fs::path(std::getenv("ORBISIGHT_HOME")) / "CameraClient.ini");
}

TEST_F(CloudPage, ADownloadPlaysInTheManagersPlayer) {
    StartServer("127.0.58.6");
    int32_t when = Today(6, 15, 0);
    auto clip = sim::SimCloudStore::MakeContent(1, "ORBI00000001", 0);
    server_->Store().Add("ORBI00000001", when, 1, 1, clip);
    CRecordMangerDlg manager(Context(library_.get()), &cameras_[0]);
    manager.resize(1100, 600);
    manager.show();
    manager.Tabs()->setCurrentIndex(1);
    CDlgCloudSearchPage* page = manager.CloudPage();
    QTreeWidget* list = page->findChild<QTreeWidget*>("recordList");
    auto statuses = [&] { return page->property("statusLog").toStringList(); };
    // Opened for the camera: its ID is the one queried, no tree click needed.
    EXPECT_EQ(page->findChild<QComboBox*>("searchId")->currentText(), "ORBI00000001");
    page->findChild<QPushButton*>("query")->click();
    ASSERT_TRUE(WaitUntil([&] { return list->topLevelItemCount() == 1; }))
        << statuses().join(" | ").toStdString();

    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    ASSERT_TRUE(WaitUntil([&] { return manager.Player()->Active(); }, 10000))
        << statuses().join(" | ").toStdString() << " / "
        << manager.PlayerStatus()->text().toStdString();
    EXPECT_EQ(statuses().last(), "Download video file complete!");
    EXPECT_EQ(manager.Player()->CurrentKind(), RecordFileKind::kRecordFormat);
    auto* play = manager.Button(CRecordMangerDlg::kPlay);
    EXPECT_EQ(play->text(), "Pause");
    EXPECT_EQ(play->toolTip(), "Click: Pause");
    ASSERT_TRUE(WaitUntil([&] { return manager.Player()->PicturesShown() > 0; }, 15000))
        << manager.PlayerStatus()->text().toStdString();

    // The local copy is the server's file; a second double click plays it
    // again without a download.
    fs::path local = LocalVideoPath((folder_ / "records").string(), "Door", "ORBI00000001",
                                    VideoInfo{when, 1, 1, static_cast<int32_t>(clip->size())});
    std::ifstream in(local, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, *clip);
    manager.StopPlayer();
    EXPECT_EQ(play->text(), "Play");
    qsizetype before = statuses().size();
    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    EXPECT_TRUE(manager.Player()->Active());
    EXPECT_EQ(play->text(), "Pause");
    EXPECT_EQ(statuses().size(), before);
    EXPECT_EQ(server_->Violations().Count(), 0);
}

}  // namespace
}  // namespace orbisight
