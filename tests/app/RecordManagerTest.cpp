// The record manager: the "SD Record" page against a simulated camera whose
// card holds recordings in both forms (download byte for byte, hour
// folders, refusals, a lost link, closing mid-way), the page's texts, and
// the manager's player (the player chosen by content, pictures shown, the
// controls).

#include <gtest/gtest.h>

#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTreeWidget>
#include <fstream>
#include <iterator>

#include "QtTestEnvironment.h"
#include "app/CDlgCloudSearchPage.h"
#include "app/CDlgSDSearchPage.h"
#include "app/CRecordMangerDlg.h"
#include "app/DialogChannel.h"
#include "app/RecordPlayerView.h"
#include "app/VlcMediaPlayer.h"
#include "sim/camera/SimCamera.h"
#include "ui/ImageButton.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;
namespace fs = std::filesystem;

constexpr const char* kId = "SDP000000001";
const fs::path kCard = fs::path(ORBISIGHT_SOURCE_DIR) / "sim/sd/front-door";
constexpr const char* kRawName = "20141108093000.264";     // a bare H.264 stream
constexpr const char* kRecordName = "20141108101500.264";  // the record format

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int RowOf(CDlgSDSearchPage& page, const QString& name) {
    for (int i = 0; i < page.List()->topLevelItemCount(); ++i) {
        if (page.List()->topLevelItem(i)->text(CDlgSDSearchPage::kColumnName) == name) {
            return i;
        }
    }
    return -1;
}

QStringList ListedNames(CDlgSDSearchPage& page) {
    QStringList names;
    for (int i = 0; i < page.List()->topLevelItemCount(); ++i) {
        names << page.List()->topLevelItem(i)->text(CDlgSDSearchPage::kColumnName);
    }
    return names;
}

RecordManagerContext Context(const fs::path& records) {
    RecordManagerContext context;
    context.recordFolder = records.string();
    return context;
}

// The page's texts before any camera answers.
TEST(SdPageTexts, ColumnsDateFormatAndNoCamera) {
    TempFolder folder;
    CDlgSDSearchPage page(Context(folder.Path()));
    QTreeWidgetItem* header = page.List()->headerItem();
    QStringList columns;
    for (int i = 0; i < header->columnCount(); ++i) {
        columns << header->text(i);
    }
    EXPECT_EQ(columns,
              (QStringList{"Num", "Record Name", "Record Time", "Record Size", "Download"}));
    EXPECT_EQ(page.List()->columnWidth(CDlgSDSearchPage::kColumnNum), 44);
    EXPECT_EQ(page.List()->columnWidth(CDlgSDSearchPage::kColumnName), 120);
    EXPECT_EQ(page.List()->columnWidth(CDlgSDSearchPage::kColumnTime), 60);
    EXPECT_EQ(page.List()->columnWidth(CDlgSDSearchPage::kColumnSize), 90);
    page.resize(1000, 500);
    page.show();
    // "Download" takes the rest of the list's width.
    ASSERT_TRUE(WaitUntil([&] {
        return page.List()->columnWidth(CDlgSDSearchPage::kColumnDownload) ==
               page.List()->viewport()->width() - 314;
    }));
    EXPECT_GT(page.List()->viewport()->width(), 314 + 60);
    EXPECT_EQ(page.DateEdit()->displayFormat(), "dd/MM/yyyy");
    // Without a camera the query is visibly off and the page says why.
    EXPECT_FALSE(page.QueryButton()->isEnabled());
    EXPECT_FALSE(page.QueryButton()->toolTip().isEmpty());
    EXPECT_EQ(page.Status()->text(), "No camera chosen.");
    // Nobody logged in: the camera tree holds only its root.
    ASSERT_EQ(page.CameraTree()->topLevelItemCount(), 1);
    EXPECT_EQ(page.CameraTree()->topLevelItem(0)->text(0), "MyCamera(0/0)");
}

class SdPage : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy(kCard, folder_.Path() / "card", fs::copy_options::recursive);
        nlohmann::json config = {{"id", kId}, {"name", "Door"},      {"password", "pw"},
                                 {"port", 0}, {"sd_folder", "card"}, {"fault", "none"}};
        context_.configDir = folder_.Path();
        camera_ =
            sim::SimCamera::Start(config, context_, [](const nlohmann::json&) { return nullptr; });
        ASSERT_NE(camera_, nullptr);
        record_ = *NewDeviceInfo();
        record_.SetUrl("ssp://127.0.0.1:" + std::to_string(camera_->Port()));
        record_.SetId(kId);
        record_.SetName("Door");
        record_.SetUser("admin");
        record_.SetPassword("pw");
    }
    void TearDown() override {
        EXPECT_TRUE(DialogChannel::WaitClosed(10000));
        EXPECT_TRUE(VlcMediaPlayer::WaitAllReleased(10000));
        EXPECT_TRUE(PlaybackSession::WaitAllIdle(10000));
        if (camera_) {
            EXPECT_EQ(camera_->ViolationCount(), 0);
            camera_->Stop();
        }
    }
    static CXOMPDeviceOper::Timings Fast() {
        CXOMPDeviceOper::Timings timings;
        timings.replyTimeoutMs = 2000;
        timings.retryDelayMs = 200;
        return timings;
    }
    // Lists the day 2014-11-08 (the whole day).
    void ListDay(CDlgSDSearchPage& page) {
        bool fresh = !page.ChannelOpen();
        page.SetDevice(record_);
        page.DateEdit()->setDate(QDate(2014, 11, 8));
        page.Search();
        if (fresh) {
            EXPECT_EQ(page.Status()->text(), "Connecting to Camera...");
        }
        ASSERT_TRUE(WaitUntil([&] { return page.List()->topLevelItemCount() > 0; }, 10000));
    }
    fs::path Records() const { return folder_.Path() / "records"; }
    fs::path LocalCopy(const std::string& name) {
        return Records() / "Door(SDP000000001)/2014-11-08" /
               ("Door(SDP000000001)_2014-11-08-" + name.substr(8, 2) + "-" + name.substr(10, 2) +
                "-" + name.substr(12, 2) + ".264");
    }

    TempFolder folder_;
    sim::SimContext context_;
    std::unique_ptr<sim::SimCamera> camera_;
    DeviceInfo record_{};
};

TEST_F(SdPage, ListsTheDayAndAnHourFolderListsItsFiles) {
    CDlgSDSearchPage page(Context(Records()), nullptr, Fast());
    ListDay(page);
    EXPECT_EQ(ListedNames(page), (QStringList{"2014110814", kRecordName, kRawName}));
    EXPECT_EQ(page.Status()->text(), "Querying 3 SD Record files!");
    QTreeWidgetItem* first = page.List()->topLevelItem(1);
    EXPECT_EQ(first->text(CDlgSDSearchPage::kColumnNum), "2");
    EXPECT_EQ(first->text(CDlgSDSearchPage::kColumnTime), "20141108");
    EXPECT_EQ(
        first->text(CDlgSDSearchPage::kColumnSize),
        QString::asprintf("%.2f KB", fs::file_size(kCard / "20141108" / kRecordName) / 1024.0));

    // The hour folder: its recordings, and nothing downloaded or played.
    QSignalSpy plays(&page, &CDlgSDSearchPage::PlayFile);
    page.ActivateRow(RowOf(page, "2014110814"));
    ASSERT_TRUE(WaitUntil([&] { return RowOf(page, "20141108140000.264") >= 0; }));
    EXPECT_EQ(ListedNames(page), (QStringList{"20141108143000.264", "20141108140000.264"}));
    EXPECT_FALSE(page.Downloading());
    EXPECT_EQ(plays.count(), 0);

    // A time window keeps what lies inside it.
    page.StartEdit()->setTime(QTime(10, 0, 0));
    page.EndEdit()->setTime(QTime(10, 30, 0));
    page.Search();
    ASSERT_TRUE(WaitUntil([&] { return page.List()->topLevelItemCount() == 1; }));
    EXPECT_EQ(ListedNames(page), QStringList{kRecordName});
}

// The page's own camera tree: the account's cameras that are not groups;
// the camera the page was opened for is shown chosen, and choosing another
// one in the tree drops the channel to the first and queries the second.
TEST_F(SdPage, TheCameraTreeChoosesTheCameraToQuery) {
    DeviceInfo group{};
    group.SetId("GROUP0000001");
    group.isGroup = true;
    DeviceInfo other{};
    other.SetId("SDP000000002");
    other.SetName("Yard");
    other.SetUrl("ssp://127.0.0.1:1");  // nobody listens there
    other.SetUser("admin");
    other.SetPassword("pw");
    DeviceInfo door = record_;
    door.status = 2;
    RecordManagerContext context = Context(Records());
    context.accountCameras = [&] { return std::vector<DeviceInfo>{group, door, other}; };
    CDlgSDSearchPage page(context, nullptr, Fast());
    QTreeWidget* tree = page.CameraTree();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "MyCamera(1/2)");
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(0)->text(0), "Door(SDP000000001)");
    EXPECT_EQ(root->child(1)->text(0), "Yard(SDP000000002)");
    EXPECT_EQ(tree->currentItem(), nullptr);
    EXPECT_FALSE(page.QueryButton()->isEnabled());

    ListDay(page);  // opened for Door: shown chosen in the tree
    EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0)->child(0));
    EXPECT_EQ(page.CameraLabel()->text(), "Door(SDP000000001)");

    // The root is not a camera: nothing changes.
    emit tree->itemClicked(tree->topLevelItem(0), 0);
    EXPECT_TRUE(page.ChannelOpen());
    EXPECT_EQ(page.List()->topLevelItemCount(), 3);

    QTreeWidgetItem* yard = tree->topLevelItem(0)->child(1);
    tree->setCurrentItem(yard);
    emit tree->itemClicked(yard, 0);
    EXPECT_EQ(page.CameraLabel()->text(), "Yard(SDP000000002)");
    EXPECT_FALSE(page.ChannelOpen()) << "the channel to the other camera is dropped";
    EXPECT_EQ(page.List()->topLevelItemCount(), 0);
    page.Search();
    EXPECT_EQ(page.Status()->text(), "Connecting to Camera...");
    EXPECT_TRUE(page.ChannelOpen());

    // Back to Door: it lists its day again.
    QTreeWidgetItem* back = tree->topLevelItem(0)->child(0);
    tree->setCurrentItem(back);
    emit tree->itemClicked(back, 0);
    EXPECT_FALSE(page.ChannelOpen());
    page.Search();
    ASSERT_TRUE(WaitUntil([&] { return page.List()->topLevelItemCount() == 3; }, 10000));
}

TEST_F(SdPage, DownloadsBothFormsByteForByteAndHandsThemToThePlayer) {
    CDlgSDSearchPage page(Context(Records()), nullptr, Fast());
    ListDay(page);
    QSignalSpy plays(&page, &CDlgSDSearchPage::PlayFile);
    for (const char* name : {kRawName, kRecordName}) {
        SCOPED_TRACE(name);
        int before = plays.count();
        page.ActivateRow(RowOf(page, name));
        ASSERT_TRUE(WaitUntil([&] { return plays.count() == before + 1; }, 10000));
        fs::path local = plays.back().at(0).toString().toStdString();
        EXPECT_EQ(local, LocalCopy(name));
        EXPECT_EQ(ReadAll(local), ReadAll(kCard / "20141108" / name));
        EXPECT_EQ(
            page.List()->topLevelItem(RowOf(page, name))->text(CDlgSDSearchPage::kColumnDownload),
            "100.000000 %");
    }
    // A complete copy plays at once, without asking the camera (it is gone).
    camera_->SetFault(sim::SimFaultMode::kRefuse);
    int before = plays.count();
    page.ActivateRow(RowOf(page, kRawName));
    EXPECT_EQ(plays.count(), before + 1);
    EXPECT_FALSE(page.Downloading());
}

TEST_F(SdPage, ARefusedDownloadSaysSoAndLeavesNoFile) {
    CDlgSDSearchPage page(Context(Records()), nullptr, Fast());
    ListDay(page);
    fs::remove(folder_.Path() / "card/20141108" / kRecordName);
    QSignalSpy plays(&page, &CDlgSDSearchPage::PlayFile);
    page.ActivateRow(RowOf(page, kRecordName));
    ASSERT_TRUE(WaitUntil([&] { return !page.Downloading(); }));
    EXPECT_EQ(page.Status()->text(), "Download failed: no such file");
    EXPECT_FALSE(fs::exists(LocalCopy(kRecordName)));
    EXPECT_EQ(plays.count(), 0);
}

TEST_F(SdPage, ClosingOrLosingTheLinkStopsTheDownloadAndRemovesThePartialFile) {
    {
        CDlgSDSearchPage page(Context(Records()), nullptr, Fast());
        ListDay(page);
        camera_->SetFault(sim::SimFaultMode::kStall);  // the file never comes
        page.ActivateRow(RowOf(page, kRawName));
        ASSERT_TRUE(page.Downloading());
        EXPECT_TRUE(fs::exists(LocalCopy(kRawName)));
        page.ClosePage();
        EXPECT_FALSE(page.Downloading());
        EXPECT_FALSE(fs::exists(LocalCopy(kRawName)));
    }
    camera_->SetFault(sim::SimFaultMode::kNone);
    CDlgSDSearchPage page(Context(Records()), nullptr, Fast());
    ListDay(page);
    camera_->SetFault(sim::SimFaultMode::kStall);
    page.ActivateRow(RowOf(page, kRawName));
    ASSERT_TRUE(page.Downloading());
    camera_->SetFault(sim::SimFaultMode::kRefuse);  // drops the connection
    ASSERT_TRUE(WaitUntil([&] { return !page.Downloading(); }, 10000));
    EXPECT_EQ(page.Status()->text(), "Download failed: the connection to the camera was lost.");
    EXPECT_FALSE(fs::exists(LocalCopy(kRawName)));

    // Another camera: a running download stops the same way.
    camera_->SetFault(sim::SimFaultMode::kNone);
    ListDay(page);
    camera_->SetFault(sim::SimFaultMode::kStall);
    page.ActivateRow(RowOf(page, kRawName));
    ASSERT_TRUE(page.Downloading());
    DeviceInfo other = record_;
    other.SetId("SDP000000002");
    page.SetDevice(other);
    EXPECT_FALSE(page.Downloading());
    EXPECT_FALSE(fs::exists(LocalCopy(kRawName)));
    EXPECT_EQ(page.List()->topLevelItemCount(), 0);
}

// ---- the manager and its player ----

class RecordManager : public SdPage {};

TEST_F(RecordManager, TitleTabsAndTheControlsBeforeAnythingPlays) {
    CRecordMangerDlg manager(Context(Records()), &record_);
    EXPECT_EQ(manager.windowTitle(), "Remote Record List");
    ASSERT_EQ(manager.Tabs()->count(), 2);
    EXPECT_EQ(manager.Tabs()->tabText(0), "SD Record");
    EXPECT_EQ(manager.Tabs()->tabText(1), "Cloud Storage");
    EXPECT_TRUE(manager.SdPage()->HasDevice());
    auto* play = manager.Button(CRecordMangerDlg::kPlay);
    EXPECT_EQ(play->text(), "Play");
    EXPECT_FALSE(play->isEnabled()) << "nothing to play yet";
    EXPECT_FALSE(manager.Button(CRecordMangerDlg::kStop)->isEnabled());
    EXPECT_EQ(manager.PositionBar()->minimum(), 0);
    EXPECT_EQ(manager.PositionBar()->maximum(), 100);

    CRecordMangerDlg none(Context(Records()), nullptr, nullptr, {},
                          "Camera X is not in your camera lists.");
    EXPECT_FALSE(none.SdPage()->HasDevice());
    EXPECT_EQ(none.SdPage()->Status()->text(), "Camera X is not in your camera lists.");
}

// Plays a file through the manager and waits for pictures.
void PlayAndSee(CRecordMangerDlg& manager, const QString& path) {
    manager.PlayFile(path);
    auto* play = manager.Button(CRecordMangerDlg::kPlay);
    EXPECT_EQ(play->text(), "Pause");
    EXPECT_EQ(play->toolTip(), "Click: Pause");
    ASSERT_TRUE(WaitUntil([&] { return manager.Player()->PicturesShown() > 0; }, 15000))
        << manager.PlayerStatus()->text().toStdString();
}

TEST_F(RecordManager, ADownloadedRecordingPlaysInThePlayerItsContentCalls) {
    CRecordMangerDlg manager(Context(Records()), &record_);
    manager.resize(1000, 600);
    manager.show();
    CDlgSDSearchPage& page = *manager.SdPage();
    ListDay(page);

    page.ActivateRow(RowOf(page, kRecordName));
    ASSERT_TRUE(WaitUntil([&] { return manager.Player()->Active(); }, 10000));
    EXPECT_EQ(manager.Player()->CurrentKind(), RecordFileKind::kRecordFormat);
    EXPECT_EQ(manager.Player()->CurrentEngine(), RecordPlayerView::Engine::kFilePlayer);
    ASSERT_TRUE(WaitUntil([&] { return manager.Player()->PicturesShown() > 0; }, 15000));
    EXPECT_EQ(manager.Button(CRecordMangerDlg::kPlay)->text(), "Pause");

    // The same name, the other form: the bare stream goes to libvlc.
    page.ActivateRow(RowOf(page, kRawName));
    ASSERT_TRUE(WaitUntil(
        [&] { return manager.Player()->CurrentEngine() == RecordPlayerView::Engine::kVlc; },
        10000));
    EXPECT_EQ(manager.Player()->CurrentKind(), RecordFileKind::kRawH264);
    EXPECT_FALSE(manager.Player()->DrawsIntoWindow()) << "offscreen: no window for libvlc";
    ASSERT_TRUE(WaitUntil([&] { return manager.Player()->PicturesShown() > 0; }, 15000));
}

TEST_F(RecordManager, PlayPauseStopAndTheEndOfTheFile) {
    CRecordMangerDlg manager(Context(Records()), &record_);
    manager.show();
    QString file = QString::fromStdString((kCard / "20141108" / kRecordName).string());
    PlayAndSee(manager, file);
    auto* play = manager.Button(CRecordMangerDlg::kPlay);
    manager.TogglePlay();
    EXPECT_EQ(play->text(), "Play");
    EXPECT_EQ(play->toolTip(), "Click: Play");
    EXPECT_TRUE(manager.Player()->Paused());
    manager.TogglePlay();
    EXPECT_EQ(play->text(), "Pause");
    EXPECT_FALSE(manager.Player()->Paused());

    manager.StopPlayer();
    EXPECT_FALSE(manager.Player()->Active());
    EXPECT_EQ(manager.PositionBar()->value(), 0);
    EXPECT_EQ(play->text(), "Play");
    EXPECT_TRUE(play->isEnabled()) << "plays the last file again";

    // Forward by 10 points from 90 reaches the end, and the end stops.
    manager.TogglePlay();
    ASSERT_TRUE(manager.Player()->Active());
    manager.PositionBar()->setValue(90);
    manager.StepForward();
    EXPECT_EQ(manager.PositionBar()->value(), 100);
    ASSERT_TRUE(WaitUntil([&] { return !manager.Player()->Active(); }, 15000));
    EXPECT_EQ(play->text(), "Play");

    // Backward never goes below 0.
    PlayAndSee(manager, file);
    manager.PositionBar()->setValue(5);
    manager.StepBackward();
    EXPECT_EQ(manager.PositionBar()->value(), 0);

    // A double click on the video area: full screen, and back.
    emit manager.Player()->doubleClicked();
    EXPECT_TRUE(manager.FullScreenShown());
    EXPECT_FALSE(manager.Tabs()->isVisible());
    emit manager.Player()->doubleClicked();
    EXPECT_FALSE(manager.FullScreenShown());

    // Closing stops the player.
    manager.close();
    EXPECT_FALSE(manager.Player()->Active());
}

TEST_F(RecordManager, AFileThatCannotBeReadSaysSo) {
    CRecordMangerDlg manager(Context(Records()), &record_);
    manager.PlayFile(QString::fromStdString((folder_.Path() / "gone.264").string()));
    EXPECT_FALSE(manager.Player()->Active());
    EXPECT_TRUE(manager.PlayerStatus()->text().startsWith("Cannot read"));
    EXPECT_EQ(manager.Button(CRecordMangerDlg::kPlay)->text(), "Play");
}

}  // namespace
}  // namespace orbisight
