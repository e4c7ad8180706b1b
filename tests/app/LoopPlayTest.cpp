// Loop play in the window: the selection dialog (both modes), the settings
// dialog's auto-connect list, screens on the wall with fake channels, the
// stop questions, and the automatic start after login.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <chrono>
#include <cstring>
#include <thread>

#include "AccountWindowFixture.h"
#include "FakePaneChannel.h"
#include "QtTestEnvironment.h"
#include "account/CXOMPWorker.h"
#include "account/UserLoginInfo.h"
#include "app/AppSettings.h"
#include "app/CDlgDevAllCtrl.h"
#include "app/CDlgDeviceCtrl.h"
#include "app/CDlgDeviceList.h"
#include "app/CDlgLoopPlaySetting.h"
#include "app/CDlgSystemSetting.h"
#include "app/CMyVelaExpertDlg.h"
#include "app/LoopPlay.h"
#include "app/VideoWall.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;

DeviceInfo Record(const std::string& id, const std::string& name, bool online, int parent = 0) {
    auto d = NewDeviceInfo();
    d->SetId(id);
    d->SetName(name);
    d->status = online ? DeviceInfo::kStatusOnline : 0;
    d->parentGroup = parent;
    d->SetUrl("ssp://127.0.0.1:1");
    return *d;
}

DeviceInfo Group(int number, const std::string& name) {
    auto d = NewDeviceInfo();
    d->isGroup = 1;
    d->groupNumber = number;
    d->SetName(name);
    return *d;
}

// My cameras: group "Home" with Porch (on-line) and Shed (off-line), and
// Yard (on-line) at the top; local cameras: Desk (on-line), Attic (off-line).
std::vector<DeviceInfo> Lists(DeviceListKind kind) {
    if (kind == DeviceListKind::kMy) {
        return {Group(1, "Home"), Record("MY01", "Porch", true, 1),
                Record("MY02", "Shed", false, 1), Record("MY03", "Yard", true)};
    }
    if (kind == DeviceListKind::kLocal) {
        return {Record("LO01", "Desk", true), Record("LO02", "Attic", false)};
    }
    return {};
}

bool HasCheckBox(QTreeWidgetItem* item) {
    return item->data(0, Qt::CheckStateRole).isValid();
}

std::vector<std::string> ChosenIds(const CDlgLoopPlaySetting& dialog) {
    std::vector<std::string> ids;
    for (const DeviceInfo& d : dialog.Chosen()) {
        ids.emplace_back(d.Id());
    }
    return ids;
}

UserLoginInfo ZeroLogin() {
    UserLoginInfo login;
    std::memset(&login, 0, sizeof login);
    login.SetUserName("demo");
    return login;
}

TEST(LoopPlayDialog, OffersOnlyOnlineCamerasAndOpensWithAllOfThemChosen) {
    CDlgLoopPlaySetting dialog(CDlgLoopPlaySetting::Mode::kNormal, Lists, false, nullptr, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Orbisight Cloud System - Loop play switch settings");
    QTreeWidget* tree = dialog.Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    QTreeWidgetItem* my = tree->topLevelItem(0);
    QTreeWidgetItem* local = tree->topLevelItem(1);
    EXPECT_EQ(my->text(0), "My cameras(2/3)");
    EXPECT_EQ(local->text(0), "Local cameras(1/2)");
    EXPECT_EQ(dialog.SourceBox(DeviceListKind::kPublic), nullptr)
        << "public cameras are offered only while shown";
    QTreeWidgetItem* home = my->child(0);
    ASSERT_EQ(home->childCount(), 2);
    EXPECT_TRUE(HasCheckBox(home->child(0))) << "Porch is on-line";
    EXPECT_FALSE(HasCheckBox(home->child(1))) << "Shed is off-line: no check box";
    EXPECT_FALSE(HasCheckBox(local->child(1)));
    EXPECT_EQ(dialog.ChosenLabel()->text(), "Choose 3 cameras");
    EXPECT_EQ(home->checkState(0), Qt::Checked);
    EXPECT_EQ(my->checkState(0), Qt::Checked);

    // The defaults.
    EXPECT_TRUE(dialog.PicturesButton(2)->isChecked());
    EXPECT_EQ(dialog.PicturesButton(2)->text(), " 4 cam");
    EXPECT_TRUE(dialog.PicturesButton(5)->isHidden()) << "25 pictures are not offered";
    EXPECT_EQ(dialog.SlideMinutes()->value(), 5);
    EXPECT_EQ(dialog.SnapSeconds()->value(), 10);
    EXPECT_FALSE(dialog.AutoRecordBox()->isChecked());
    EXPECT_FALSE(dialog.AutoSnapBox()->isChecked());
    EXPECT_EQ(dialog.FullScreenBox()->text(), "Full Secreen");

    dialog.PicturesButton(3)->setChecked(true);
    dialog.AutoSnapBox()->setChecked(true);
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(ChosenIds(dialog), (std::vector<std::string>{"MY01", "MY03", "LO01"}))
        << "tree order, my cameras first";
    LoopOptions options = dialog.Options();
    EXPECT_EQ(options.picturesPerScreen, 3);
    EXPECT_TRUE(options.autoSnap);
    EXPECT_EQ(options.slideMinutes, 5);

    CDlgLoopPlaySetting withPublic(CDlgLoopPlaySetting::Mode::kNormal, Lists, true, nullptr,
                                   nullptr);
    ASSERT_NE(withPublic.SourceBox(DeviceListKind::kPublic), nullptr);
    EXPECT_EQ(withPublic.SourceBox(DeviceListKind::kPublic)->text(), "Public cameras");
}

TEST(LoopPlayDialog, CheckingFollowsTheTreeAndTheButtons) {
    CDlgLoopPlaySetting dialog(CDlgLoopPlaySetting::Mode::kNormal, Lists, false, nullptr, nullptr);
    QTreeWidget* tree = dialog.Tree();
    QTreeWidgetItem* my = tree->topLevelItem(0);
    QTreeWidgetItem* home = my->child(0);
    QTreeWidgetItem* porch = home->child(0);
    QTreeWidgetItem* yard = my->child(1);

    // Unchecking a group takes its cameras along; the root keeps Yard.
    home->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(porch->checkState(0), Qt::Unchecked);
    EXPECT_EQ(my->checkState(0), Qt::Checked);
    EXPECT_EQ(dialog.ChosenLabel()->text(), "Choose 2 cameras");
    // The last checked child unchecks its parent.
    yard->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(my->checkState(0), Qt::Unchecked);
    // Checking a camera checks its parents.
    porch->setCheckState(0, Qt::Checked);
    EXPECT_EQ(home->checkState(0), Qt::Checked);
    EXPECT_EQ(my->checkState(0), Qt::Checked);
    EXPECT_EQ(yard->checkState(0), Qt::Unchecked);
    // A root takes the whole branch, either way.
    my->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(porch->checkState(0), Qt::Unchecked);
    EXPECT_EQ(home->checkState(0), Qt::Unchecked);
    my->setCheckState(0, Qt::Checked);
    EXPECT_EQ(yard->checkState(0), Qt::Checked);
    EXPECT_EQ(porch->checkState(0), Qt::Checked);
    EXPECT_EQ(dialog.ChosenLabel()->text(), "Choose 3 cameras");

    yard->setCheckState(0, Qt::Unchecked);
    dialog.InvertSelect();
    EXPECT_EQ(porch->checkState(0), Qt::Unchecked);
    EXPECT_EQ(yard->checkState(0), Qt::Checked);
    EXPECT_EQ(home->checkState(0), Qt::Unchecked);
    EXPECT_EQ(dialog.ChosenLabel()->text(), "Choose 1 cameras");
    dialog.SelectAll();
    EXPECT_EQ(dialog.CheckedCount(), 3);

    // A source switched off leaves the tree; the choice of the rest stays
    // through a rebuild.
    yard->setCheckState(0, Qt::Unchecked);
    dialog.SourceBox(DeviceListKind::kLocal)->setChecked(false);
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.ChosenLabel()->text(), "Choose 1 cameras");
    dialog.Refresh();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->child(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(tree->topLevelItem(0)->child(1)->checkState(0), Qt::Unchecked);
}

TEST(LoopPlayDialog, SpinsWrapBetweenFiveAndThirty) {
    CDlgLoopPlaySetting dialog(CDlgLoopPlaySetting::Mode::kNormal, Lists, false, nullptr, nullptr);
    for (QSpinBox* spin : {dialog.SlideMinutes(), dialog.SnapSeconds()}) {
        spin->setValue(6);
        spin->stepBy(-1);
        EXPECT_EQ(spin->value(), 5) << "the last value going down";
        spin->stepBy(-1);
        EXPECT_EQ(spin->value(), 30) << "below 5 comes 30";
        spin->stepBy(1);
        EXPECT_EQ(spin->value(), 5) << "above 30 comes 5";
        spin->setValue(29);
        spin->stepBy(1);
        EXPECT_EQ(spin->value(), 30) << "the last value going up";
    }
}

TEST(LoopPlayDialog, NothingChosenIsRefusedAndTheDialogStays) {
    MessageRecorder messages;
    CDlgLoopPlaySetting dialog(CDlgLoopPlaySetting::Mode::kNormal, Lists, false, nullptr, nullptr);
    dialog.InvertSelect();
    EXPECT_EQ(dialog.ChosenLabel()->text(), "Choose 0 cameras");
    dialog.accept();
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].title, "Note");
    EXPECT_EQ(messages.asked[0].text, " At least choose one device! ");
    EXPECT_EQ(messages.asked[0].icon, ui::MessageIcon::kWarning);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.Chosen().empty());
}

TEST(LoopPlayDialog, AutoConnectModeEditsTheSavedLoginFromItsStoredSelection) {
    UserLoginInfo login = ZeroLogin();
    login.SetAutoConnectIds({"my03"});
    login.loopSlideMinutes = 7;
    login.loopSnapSeconds = 0;
    login.loopPicturesPerScreen = 0;
    login.loopAutoRecord = 1;
    login.loopFullScreen = 1;
    CDlgLoopPlaySetting dialog(CDlgLoopPlaySetting::Mode::kAutoConnect, Lists, false, &login,
                               nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Auto connect device management when start");
    EXPECT_EQ(dialog.ChosenLabel()->text(), "Choose 1 cameras")
        << "the stored selection, not everything";
    EXPECT_EQ(dialog.SlideMinutes()->value(), 7);
    EXPECT_EQ(dialog.SnapSeconds()->value(), 5) << "a stored 0 becomes 5";
    EXPECT_TRUE(dialog.PicturesButton(2)->isChecked()) << "a stored 0 reads as 2";
    EXPECT_TRUE(dialog.AutoRecordBox()->isChecked());
    EXPECT_TRUE(dialog.FullScreenBox()->isChecked());

    dialog.Tree()->topLevelItem(1)->child(0)->setCheckState(0, Qt::Checked);  // Desk
    dialog.PicturesButton(1)->setChecked(true);
    dialog.AutoSnapBox()->setChecked(true);
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(login.AutoConnectIds(), (std::vector<std::string>{"MY03", "LO01"}));
    EXPECT_EQ(login.autoConnect, 1);
    EXPECT_EQ(login.loopPicturesPerScreen, 1);
    EXPECT_EQ(login.loopSnapSeconds, 5);
    EXPECT_EQ(login.loopSlideMinutes, 7);
    EXPECT_EQ(login.loopAutoSnap, 1);
    EXPECT_EQ(login.loopAutoRecord, 1);
    EXPECT_EQ(login.loopFullScreen, 1);
}

TEST(LoopPlayDialog, AutoConnectKeepsTheFirst500AndSaysSoWhenMoreAreChosen) {
    auto many = [](int count) {
        return [count](DeviceListKind kind) {
            std::vector<DeviceInfo> list;
            if (kind == DeviceListKind::kLocal) {
                for (int i = 0; i < count; ++i) {
                    char id[16];
                    std::snprintf(id, sizeof id, "CAM%04d", i);
                    list.push_back(Record(id, id, true));
                }
            }
            return list;
        };
    };
    {
        MessageRecorder messages;
        UserLoginInfo login = ZeroLogin();
        CDlgLoopPlaySetting dialog(CDlgLoopPlaySetting::Mode::kAutoConnect, many(500), false,
                                   &login, nullptr);
        dialog.SelectAll();
        dialog.accept();
        EXPECT_TRUE(messages.asked.empty()) << "500 fit";
        EXPECT_EQ(login.autoConnectCount, 500);
    }
    MessageRecorder messages;
    UserLoginInfo login = ZeroLogin();
    // Whatever lies after the record must stay as it is.
    struct Guarded {
        UserLoginInfo login;
        char after[64];
    } guarded;
    guarded.login = login;
    std::memset(guarded.after, 0x5a, sizeof guarded.after);
    CDlgLoopPlaySetting dialog(CDlgLoopPlaySetting::Mode::kAutoConnect, many(501), false,
                               &guarded.login, nullptr);
    dialog.SelectAll();
    EXPECT_EQ(dialog.CheckedCount(), 501);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text, CDlgLoopPlaySetting::TooManyText(501));
    EXPECT_TRUE(messages.asked[0].text.contains("501"));
    EXPECT_EQ(guarded.login.autoConnectCount, 500);
    std::vector<std::string> ids = guarded.login.AutoConnectIds();
    ASSERT_EQ(ids.size(), 500u);
    EXPECT_EQ(ids.front(), "CAM0000");
    EXPECT_EQ(ids.back(), "CAM0499") << "the first 500 in tree order";
    for (char c : guarded.after) {
        ASSERT_EQ(c, 0x5a) << "nothing written past the record";
    }
}

TEST(LoopPlayDialog, AutoConnectLeavesOutIdsLongerThanTheirFieldAndSaysWhich) {
    const std::string fits(31, 'A');
    const std::string tooLong = std::string(31, 'A') + "B";  // its first 31 name the other
    auto lists = [&](DeviceListKind kind) {
        std::vector<DeviceInfo> list;
        if (kind == DeviceListKind::kLocal) {
            list.push_back(Record(fits, "Fits", true));
            list.push_back(Record(tooLong, "Too long", true));
        }
        return list;
    };
    {
        MessageRecorder messages;
        UserLoginInfo login = ZeroLogin();
        CDlgLoopPlaySetting dialog(CDlgLoopPlaySetting::Mode::kAutoConnect, lists, false, &login,
                                   nullptr);
        dialog.SelectAll();
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(login.AutoConnectIds(), (std::vector<std::string>{fits}))
            << "never a cut ID, which would name the other camera";
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0].text, CDlgLoopPlaySetting::TooLongText({tooLong}));
        EXPECT_TRUE(messages.asked[0].text.contains(QString::fromStdString(tooLong)));
    }
    // Only the long one chosen: nothing could be kept, the dialog stays.
    MessageRecorder messages;
    UserLoginInfo login = ZeroLogin();
    login.SetAutoConnectIds({"KEPT"});
    CDlgLoopPlaySetting dialog(CDlgLoopPlaySetting::Mode::kAutoConnect, lists, false, &login,
                               nullptr);
    QList<QTreeWidgetItem*> longOne =
        dialog.Tree()->findItems("Too long", Qt::MatchContains | Qt::MatchRecursive);
    ASSERT_EQ(longOne.size(), 1);
    longOne[0]->setCheckState(0, Qt::Checked);
    ASSERT_EQ(dialog.CheckedCount(), 1);
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(login.AutoConnectIds(), (std::vector<std::string>{"KEPT"})) << "left as it was";
}

class LoopWall : public ::testing::Test {
  protected:
    void SetUp() override {
        log_ = std::make_shared<FakeChannelLog>();
        places_ = {dir_.Path() / "data", dir_.Path() / "autostart", dir_.Path() / "record",
                   "/opt/orbisight/bin/orbisight"};
        std::filesystem::create_directories(places_.dataFolder);
        settings_ = std::make_unique<AppSettings>(places_);
        settings_->Load();
        MakeWindow();
        ASSERT_TRUE(WaitUntil([&] { return window_->Wall()->Pane(0)->isVisible(); }));
    }
    // A new main window, shown; no events handled yet.
    void MakeWindow() {
        CMyVelaExpertDlg::Options options;
        options.channelFactory = FakeFactory(log_);
        options.updateListener = false;
        options.startDiskGuard = false;
        options.probeAtStart = false;
        options.loginAtStart = false;
        window_.reset();
        window_ = std::make_unique<CMyVelaExpertDlg>(*settings_, options);
        window_->resize(1400, 800);
        window_->show();
        // Screens change only when a test says so.
        Loop()->SetSlideOverrideMs(600000);
    }
    void TearDown() override {
        log_->Release();
        window_.reset();
    }
    LoopPlay* Loop() const { return window_->Loop(); }
    VideoWall* Wall() const { return window_->Wall(); }
    static std::vector<DeviceInfo> Cameras(int count) {
        std::vector<DeviceInfo> list;
        for (int i = 0; i < count; ++i) {
            list.push_back(Record("CAM" + std::to_string(i), "Cam", true));
        }
        return list;
    }
    // The camera IDs of the first count slots ("" for an empty pane).
    std::vector<std::string> Shown(int count) const {
        std::vector<std::string> ids;
        for (int slot = 0; slot < count; ++slot) {
            CDlgVedioShow* pane = Wall()->Pane(slot);
            ids.emplace_back(pane->InUse() && pane->Device() ? std::string(pane->Device()->Id())
                                                             : std::string());
        }
        return ids;
    }
    bool WaitShown(const std::vector<std::string>& ids) {
        return WaitUntil([&] { return Shown(static_cast<int>(ids.size())) == ids; }, 8000);
    }
    // What the wall and the loop are at, for a failure's message.
    std::string State() const {
        std::string text = "shown:";
        for (const std::string& id : Shown(16)) {
            text += " " + (id.empty() ? std::string("-") : id);
        }
        text += "; grid " + std::to_string(Wall()->Layout().GridSize()) + ", full screen " +
                std::to_string(Wall()->FullScreen()) + ", loop " +
                std::to_string(Loop()->Active()) + " at " +
                std::to_string(Loop()->Schedule().Position());
        return text;
    }
    bool AllRecording(int count) const {
        for (int slot = 0; slot < count; ++slot) {
            PaneChannel* channel = Wall()->Pane(slot)->Channel();
            if (!channel || !channel->Recording()) {
                return false;
            }
        }
        return true;
    }

    TempFolder dir_;
    AppSettings::Places places_;
    std::shared_ptr<FakeChannelLog> log_;
    std::unique_ptr<AppSettings> settings_;
    std::unique_ptr<CMyVelaExpertDlg> window_;
};

TEST_F(LoopWall, SixCamerasRotateThroughATwoByTwoWallWhichRefusesManualChanges) {
    ASSERT_NE(window_->Toolbar()->Button(CDlgDevAllCtrl::kLoopPlay), nullptr);
    for (int i = 0; i < 12; ++i) {
        Wall()->OpenDevice(Record("OLD" + std::to_string(i), "Old", true));
    }
    Wall()->SetLayout(3, true);
    Wall()->Page(WallLayout::PageCommand::kLast);
    ASSERT_GT(Wall()->Layout().CurrentPage(), 0);
    LoopOptions options;
    options.picturesPerScreen = 2;
    Loop()->Start(options, Cameras(6));
    EXPECT_EQ(Wall()->Layout().CurrentPage(), 0) << "the screens fill the first page";
    EXPECT_EQ(Wall()->Layout().GridSize(), 2) << "n x n, forced";
    EXPECT_TRUE(Wall()->Layout().LoopActive());
    ASSERT_TRUE(WaitShown({"CAM0", "CAM1", "CAM2", "CAM3"}));
    ASSERT_TRUE(WaitUntil([&] { return Loop()->SlideTimerActive(); }));
    EXPECT_EQ(Wall()->SelectedPane(), Wall()->Pane(0));
    EXPECT_FALSE(Wall()->SetLayout(3, false)) << "manual layouts wait for the loop to stop";
    window_->Command(CDlgDevAllCtrl::kConnectAll);

    Loop()->Step();  // the slide period is over
    ASSERT_TRUE(WaitShown({"CAM4", "CAM5", "CAM0", "CAM1"}));
    Loop()->Step();
    ASSERT_TRUE(WaitShown({"CAM2", "CAM3", "CAM4", "CAM5"}));
    EXPECT_EQ(Shown(5)[4], "") << "nothing beyond the screen";
    EXPECT_EQ(Wall()->Layout().CurrentPage(), 0);
}

TEST_F(LoopWall, ThreeCamerasOnAFourPaneWallStayOnOneScreen) {
    // What the user had open before goes.
    Wall()->OpenDevice(Record("OLD", "Old", true));
    Wall()->OpenDevice(Record("OLD2", "Old", true));
    Wall()->OpenDevice(Record("OLD3", "Old", true));
    Wall()->OpenDevice(Record("OLD4", "Old", true));
    LoopOptions options;
    Loop()->Start(options, Cameras(3));
    ASSERT_TRUE(WaitShown({"CAM0", "CAM1", "CAM2", ""}));
    ASSERT_TRUE(WaitUntil([&] { return Loop()->SnapTimerActive(); }));
    EXPECT_FALSE(Loop()->SlideTimerActive()) << "never rotated";
    EXPECT_TRUE(Loop()->Active());
}

TEST_F(LoopWall, AutoRecordRecordsEveryScreenAndAutoSnapTakesPictures) {
    LoopOptions options;
    options.autoRecord = true;
    options.autoSnap = true;
    options.snapSeconds = 1;
    Loop()->Start(options, Cameras(8));
    ASSERT_TRUE(WaitShown({"CAM0", "CAM1", "CAM2", "CAM3"}));
    ASSERT_TRUE(WaitUntil([&] { return AllRecording(4); })) << "recording after the first screen";
    Loop()->Step();
    ASSERT_TRUE(WaitShown({"CAM4", "CAM5", "CAM6", "CAM7"}));
    EXPECT_TRUE(WaitUntil([&] { return AllRecording(4); }))
        << "the second screen records too (a plain toggle would leave it off)";
    Loop()->Step();
    ASSERT_TRUE(WaitShown({"CAM0", "CAM1", "CAM2", "CAM3"}));
    EXPECT_TRUE(WaitUntil([&] { return AllRecording(4); }));
    EXPECT_TRUE(WaitUntil(
        [&] {
            std::lock_guard lock(log_->mutex);
            return log_->snapshots >= 8;
        },
        8000))
        << "snapshots every period";
}

TEST_F(LoopWall, EveryStopQuestionEndsLoopPlay) {
    LoopOptions options;
    auto start = [&] {
        Loop()->Start(options, Cameras(4));
        return WaitShown({"CAM0", "CAM1", "CAM2", "CAM3"});
    };
    ASSERT_TRUE(start());
    {
        MessageRecorder no(ui::MessageAnswer::kNo);
        window_->Command(CDlgDevAllCtrl::kLoopPlay);
        ASSERT_EQ(no.asked.size(), 1u);
        EXPECT_EQ(no.asked[0].text, "Do you want to  Stop loop playing?");
        EXPECT_EQ(no.asked[0].title, "Tips");
        EXPECT_TRUE(Loop()->Active()) << "No keeps it running";
    }
    {
        MessageRecorder yes;
        window_->Command(CDlgDevAllCtrl::kLoopPlay);
        EXPECT_FALSE(Loop()->Active());
        EXPECT_FALSE(Wall()->Layout().LoopActive());
        EXPECT_FALSE(Loop()->SlideTimerActive());
        EXPECT_EQ(Shown(4), (std::vector<std::string>{"CAM0", "CAM1", "CAM2", "CAM3"}))
            << "the wall keeps what it shows";
    }
    ASSERT_TRUE(start());
    {
        MessageRecorder yes;
        window_->Command(CDlgDevAllCtrl::kDisconnectAll);
        EXPECT_EQ(yes.asked.size(), 1u);
        EXPECT_FALSE(Loop()->Active());
        EXPECT_EQ(Shown(1)[0], "");
    }
    ASSERT_TRUE(start());
    {
        MessageRecorder yes;
        EXPECT_TRUE(Wall()->DisconnectOne(Wall()->Pane(1)));
        EXPECT_EQ(yes.asked.size(), 1u);
        EXPECT_FALSE(Loop()->Active());
        EXPECT_FALSE(Loop()->SnapTimerActive());
    }
}

TEST_F(LoopWall, FullScreenKeepsTheLayoutAndHidesTheSides) {
    Wall()->SetLayout(3, true);
    LoopOptions options;
    options.fullScreen = true;
    options.picturesPerScreen = 1;
    Loop()->Start(options, Cameras(12));
    EXPECT_TRUE(Wall()->FullScreen());
    EXPECT_EQ(Wall()->Layout().GridSize(), 3) << "the pictures per screen do not apply";
    EXPECT_FALSE(window_->DeviceTree()->isVisible());
    EXPECT_FALSE(window_->DevicePanel()->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return Shown(9)[8] == "CAM8"; }, 8000)) << State();
}

// The window's own start step (frame layout, first selection) may come
// after loop play has begun, on a slow machine or when a script starts the
// loop at once: it must not take the wall back to 2 x 2 under the loop.
TEST_F(LoopWall, TheWindowsStartStepLeavesARunningLoopsLayoutAlone) {
    MakeWindow();
    // The start step falls due before the loop's first screen.
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    Wall()->SetLayout(3, true);
    LoopOptions options;
    options.fullScreen = true;
    Loop()->Start(options, Cameras(12));
    ASSERT_TRUE(WaitUntil([&] { return Shown(9)[8] == "CAM8"; }, 8000));
    EXPECT_EQ(Wall()->Layout().GridSize(), 3);
    EXPECT_EQ(Wall()->SelectedPane(), Wall()->Pane(0));
    EXPECT_EQ(Wall()->Pane(8)->geometry(), QRect(932, 532, 468, 268))
        << "placed in the full-screen 3 x 3 wall";
}

TEST_F(LoopWall, PeriodsOfAGarbledSavedLoginNeverMakeATimerSpin) {
    LoopOptions options;
    options.slideMinutes = 0;
    options.snapSeconds = -3;
    Loop()->SetSlideOverrideMs(0);
    Loop()->Start(options, Cameras(4));
    EXPECT_EQ(Loop()->SlideMs(), 60000);
    EXPECT_EQ(Loop()->SnapMs(), 5000);
    options.slideMinutes = 30;
    options.snapSeconds = 1;
    Loop()->Start(options, Cameras(4));
    EXPECT_EQ(Loop()->SlideMs(), 30 * 60000);
    EXPECT_EQ(Loop()->SnapMs(), 1000) << "the smallest period that is not garbled";
}

TEST_F(LoopWall, AutoConnectListNeedsASavedLoginInUse) {
    CDlgSystemSetting settings(*settings_, &window_->Session()->Logins(), window_.get());
    settings.SetLoopLists(Lists, false);
    EXPECT_TRUE(settings.AutoConnectList()->isEnabled());
    {
        MessageRecorder messages;
        EXPECT_EQ(settings.MakeAutoConnectDialog(), nullptr);
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0].text, CDlgSystemSetting::kNoLoginText);
    }
    SavedLogins& logins = window_->Session()->Logins();
    UserLoginInfo& login = logins.Add("demo", "");
    logins.SetInUse(&login);
    std::unique_ptr<CDlgLoopPlaySetting> dialog = settings.MakeAutoConnectDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), CDlgLoopPlaySetting::kAutoConnectTitle);
    EXPECT_EQ(dialog->CheckedCount(), 0) << "nothing stored yet: nothing chosen";
    dialog->SelectAll();
    dialog->accept();
    settings.StoreAutoConnect();
    // Stored: a fresh read finds the selection.
    logins.Load();
    ASSERT_GE(logins.Count(), 1u);
    EXPECT_EQ(logins.At(0)->AutoConnectIds(), (std::vector<std::string>{"MY01", "MY03", "LO01"}));
    EXPECT_EQ(logins.At(0)->autoConnect, 1);
}

using LoopAutoConnect = AccountWindowFixture;

TEST_F(LoopAutoConnect, StartsOncePerLoginAndStatusPushesNeverSendItBack) {
    StartSim();
    Open();
    window_->Loop()->SetSlideOverrideMs(600000);
    SavedLogins& logins = Session()->Logins();
    UserLoginInfo& stored = logins.Add("demo", "");
    stored.SetAutoConnectIds({"srv000000001", "SRV000000002"});
    stored.autoConnect = 1;
    stored.loopPicturesPerScreen = 1;
    stored.loopSlideMinutes = 5;
    ASSERT_TRUE(logins.Save());
    settings_->Record().autoConnect = 1;

    int rebuilds = 0;
    QObject::connect(Tree(), &CDlgDeviceList::accountListShown, [&] { ++rebuilds; });
    ASSERT_TRUE(LoginAndFill());
    LoopPlay* loop = window_->Loop();
    ASSERT_TRUE(WaitUntil([&] { return loop->Active(); }));
    EXPECT_TRUE(loop->Schedule().AutoConnect());
    EXPECT_EQ(window_->Wall()->Layout().GridSize(), 1);
    // The on-line camera of the selection makes the first screen, whenever
    // it arrives.
    ASSERT_TRUE(WaitUntil(
        [&] {
            const DeviceInfo* d = window_->Wall()->Pane(0)->Device();
            return d && d->Id() == "SRV000000001";
        },
        8000));
    EXPECT_EQ(loop->Schedule().List().size(), 1u) << "Shed is off-line";

    // Shed comes on-line: a screenful more than one, so the loop rotates.
    sim_->PushStatus("SRV000000002", 2);
    ASSERT_TRUE(WaitUntil([&] { return loop->Schedule().Position() == 1; }, 8000));
    ASSERT_TRUE(WaitUntil([&] { return loop->SlideTimerActive(); }, 8000));
    // Later rebuilds bring nothing back to the start.
    int before = rebuilds;
    sim_->PushStatus("SRV000000001", 0);
    ASSERT_TRUE(WaitUntil([&] { return rebuilds > before; }, 8000));
    QTest::qWait(1500);
    EXPECT_TRUE(loop->Active());
    EXPECT_EQ(loop->Schedule().Position(), 1u) << "a status push restarted the loop";
    EXPECT_EQ(loop->Schedule().List().size(), 2u);

    // Logout stops it; the next login starts it again.
    {
        MessageRecorder yes;
        window_->Command(CMyVelaExpertDlg::kCmdLoginLogout);
    }
    EXPECT_FALSE(loop->Active());
    EXPECT_FALSE(window_->Wall()->Layout().LoopActive());
    ASSERT_TRUE(WaitUntil([&] { return MyRoot()->text(0) == "My cameras(0/0)"; }));
    CDlgMyVelaLogin* dialog = window_->OpenLoginDialog();
    dialog->TypeAccount("demo", "demo");
    ASSERT_TRUE(dialog->PressLogin());
    ASSERT_TRUE(WaitUntil([&] { return loop->Active(); }, 10000));
    EXPECT_EQ(loop->Schedule().Position(), 0u);
}

TEST_F(LoopAutoConnect, NothingStartsWithTheSettingOff) {
    StartSim();
    Open();
    SavedLogins& logins = Session()->Logins();
    UserLoginInfo& stored = logins.Add("demo", "");
    stored.SetAutoConnectIds({"SRV000000001"});
    stored.autoConnect = 1;
    ASSERT_TRUE(logins.Save());
    settings_->Record().autoConnect = 0;
    ASSERT_TRUE(LoginAndFill());
    QTest::qWait(1500);
    EXPECT_FALSE(window_->Loop()->Active());
}

}  // namespace
}  // namespace orbisight
