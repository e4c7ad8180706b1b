// The device tree as the account session's notification window, with the
// account simulator in this process: "My cameras" fills, status pushes and
// alarms arrive, bind and unbind change the tree, the menu's account
// commands reach the server, and the progress window counts the details.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>

#include "AccountWindowFixture.h"
#include "app/CDeviceSyncDlg.h"
#include "app/CDlgDeviceBind.h"
#include "app/TitleBar.h"
#include "app/VideoWall.h"
#include "ui/SkinImages.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;

QStringList MenuTexts(QMenu& menu) {
    QStringList out;
    for (QAction* a : menu.actions()) {
        out << (a->isSeparator() ? QString("-") : a->text());
    }
    return out;
}

QAction* MenuAction(QMenu& menu, const QString& text) {
    for (QAction* a : menu.actions()) {
        if (a->text() == text) {
            return a;
        }
    }
    return nullptr;
}

bool ShowsImage(QTreeWidgetItem* item, const char* image) {
    return item->icon(0).pixmap(16).toImage() ==
           QIcon(ui::SkinImages::Get(image)).pixmap(16).toImage();
}

using AccountTree = AccountWindowFixture;

TEST_F(AccountTree, LoggedInListsShowAndLogoutAsksFirst) {
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill()) << MyRoot()->text(0).toStdString();
    EXPECT_EQ(MyRoot()->text(0), "My cameras(1/2)");
    QTreeWidgetItem* home = MyRoot()->child(0);
    ASSERT_EQ(home->childCount(), 2);
    EXPECT_EQ(home->child(0)->text(0), "Porch(SRV000000001)") << "on-line first";
    EXPECT_EQ(home->child(1)->text(0), "Shed(SRV000000002)");
    EXPECT_TRUE(ShowsImage(home, "Tree-Group.png"));
    EXPECT_TRUE(ShowsImage(home->child(0), "Tree-Online.png"));
    EXPECT_TRUE(ShowsImage(home->child(1), "Tree-Offline.png"));
    ASSERT_TRUE(
        WaitUntil([&] { return window_->Title()->AccountText() == "User: Demo User(demo)"; }));

    // The progress window counted the details and, when done, asked for
    // the on-line states once more.
    CDeviceSyncDlg* sync = Tree()->SyncProgress();
    ASSERT_TRUE(WaitUntil([&] { return sim_->Count("get online-dev") >= 2; }));
    EXPECT_FALSE(sync->isVisible());
    EXPECT_TRUE(sync->Text().startsWith(QString::fromUtf8("Synchronization Progress： ")))
        << sync->Text().toStdString();

    {
        MessageRecorder messages(ui::MessageAnswer::kNo);
        window_->Command(CMyVelaExpertDlg::kCmdLoginLogout);
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0].title, "Tips");
        EXPECT_EQ(messages.asked[0].text, QString::fromUtf8("Do you want to login out？"));
        EXPECT_TRUE(messages.asked[0].defaultNo);
        EXPECT_TRUE(Session()->IsLoggedIn());
    }
    MessageRecorder messages(ui::MessageAnswer::kYes);
    window_->Command(CMyVelaExpertDlg::kCmdLoginLogout);
    EXPECT_FALSE(Session()->IsLoggedIn());
    EXPECT_EQ(window_->Title()->AccountText(), "No user login");
    EXPECT_EQ(MyRoot()->text(0), "My cameras(0/0)");
}

TEST_F(AccountTree, StatusPushesMoveTheItemAndItsCountersEvenWhileChangesKeepComing) {
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill());
    QTreeWidgetItem* home = MyRoot()->child(0);
    home->setExpanded(true);

    sim_->PushStatus("SRV000000002", 2);
    ASSERT_TRUE(WaitUntil([&] { return MyRoot()->text(0) == "My cameras(2/2)"; }, 5000));
    home = MyRoot()->child(0);
    EXPECT_EQ(home->text(0), "Home(2/2)");
    EXPECT_TRUE(home->isExpanded()) << "open groups stay open";
    QTreeWidgetItem* shed = Tree()->FindItem(tree::Branch::kMy, "SRV000000002");
    ASSERT_NE(shed, nullptr);
    EXPECT_TRUE(ShowsImage(shed, "Tree-Online.png"));

    // Porch goes off-line: on-line cameras sort first, so Shed moves up.
    // Changes that keep coming (Shed's state again and again, every 200 ms)
    // do not hold the rebuild back: it follows the first change, a second
    // later, while the others are still arriving.
    sim_->PushStatus("SRV000000001", 0);
    bool rebuiltMeanwhile = false;
    for (int i = 0; i < 25 && !rebuiltMeanwhile; ++i) {
        sim_->PushStatus("SRV000000002", 2);
        rebuiltMeanwhile = WaitUntil([&] { return MyRoot()->text(0) == "My cameras(1/2)"; }, 200);
    }
    ASSERT_TRUE(rebuiltMeanwhile) << "a stream of changes postponed the rebuild";
    home = MyRoot()->child(0);
    EXPECT_EQ(home->child(0)->text(0), "Shed(SRV000000002)");
    EXPECT_TRUE(ShowsImage(home->child(1), "Tree-Offline.png"));
}

TEST_F(AccountTree, AlarmsAreAnnouncedAndOpenTheCameraWhenTheAlarmWindowIsOn) {
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill());
    QSignalSpy alarms(Tree(), &CDlgDeviceList::alarmArrived);
    sim_->PushAlarm("SRV000000001", "Alarm", "Motion detected");
    ASSERT_TRUE(WaitUntil([&] { return alarms.count() == 1; }));
    EXPECT_EQ(alarms.at(0).at(0).toString(), "SRV000000001");
    EXPECT_EQ(alarms.at(0).at(1).toString(), "Alarm");
    EXPECT_EQ(alarms.at(0).at(2).toString(), "SRV000000001\r\nMotion detected");
    EXPECT_EQ(Session()->Alarms().size(), 1u);
    EXPECT_EQ(window_->Wall()->PaneShowing("SRV000000001"), nullptr) << "alarm window off";

    settings_->SetShowAlarm(true);
    sim_->PushAlarm("SRV000000001", "Alarm", "Motion detected");
    ASSERT_TRUE(WaitUntil([&] { return window_->Wall()->PaneShowing("SRV000000001"); }));
    EXPECT_EQ(Session()->Alarms().size(), 2u);
}

TEST_F(AccountTree, AccountCamerasOpenWithACameraLoginAndConnectAllTakesEachCameraOnce) {
    StartSim();
    Open();
    // The same camera kept in the local list, with its own password.
    Session()->AddLocalDevice("srv000000001", "127.0.0.1:6001", "Porch here", "pw1", 0);
    Tree()->RebuildLocal();
    ASSERT_TRUE(LoginAndFill());

    std::vector<DeviceInfo> all = Tree()->DevicesForConnectAll();
    ASSERT_EQ(all.size(), 1u) << "one camera, though in two lists";
    EXPECT_EQ(all[0].local, 0) << "the account's record comes first";

    Tree()->Activate(Tree()->FindItem(tree::Branch::kMy, "SRV000000001"));
    CDlgVedioShow* pane = window_->Wall()->PaneShowing("SRV000000001");
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->Device()->User(), "admin");
    EXPECT_EQ(pane->Device()->Password(), "pw1") << "the local list's login of that camera";

    sim_->PushStatus("SRV000000002", 2);
    ASSERT_TRUE(WaitUntil([&] {
        QTreeWidgetItem* item = Tree()->FindItem(tree::Branch::kMy, "SRV000000002");
        return item && Tree()->RecordOf(item)->IsOnline();
    }));
    Tree()->Activate(Tree()->FindItem(tree::Branch::kMy, "SRV000000002"));
    pane = window_->Wall()->PaneShowing("SRV000000002");
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->Device()->User(), "admin");
    EXPECT_EQ(pane->Device()->Password(), "");
}

TEST_F(AccountTree, MenuOffersTheAccountCommandsWhereTheyApply) {
    StartSim();
    Open();
    Session()->AddLocalDevice("LOC000000001", "127.0.0.1:6001", "Desk", "", 0);
    Tree()->RebuildLocal();
    ASSERT_TRUE(LoginAndFill());
    QTreeWidgetItem* porch = Tree()->FindItem(tree::Branch::kMy, "SRV000000001");
    QTreeWidgetItem* desk = Tree()->FindItem(tree::Branch::kLocal, "LOC000000001");
    ASSERT_TRUE(porch && desk);

    auto rootMenu = Tree()->BuildMenu(MyRoot());
    QStringList rootTexts = MenuTexts(*rootMenu);
    ASSERT_GE(rootTexts.size(), 2);
    EXPECT_EQ(rootTexts.mid(rootTexts.size() - 2), QStringList({"-", "Bind device(&B)"}));
    EXPECT_FALSE(rootTexts.contains("Unbind device(&U)"));

    auto porchMenu = Tree()->BuildMenu(porch);
    EXPECT_TRUE(MenuTexts(*porchMenu).contains("Unbind device(&U)"));
    EXPECT_FALSE(MenuTexts(*porchMenu).contains("Bind device(&B)"));

    auto deskMenu = Tree()->BuildMenu(desk);
    EXPECT_TRUE(MenuTexts(*deskMenu).contains("Bind device(&B)"));
    EXPECT_FALSE(MenuTexts(*deskMenu).contains("Unbind device(&U)"));

    // Every camera, of the account or local, offers its RF sensors and
    // record plan; a root does not.
    for (QMenu* menu : {porchMenu.get(), deskMenu.get()}) {
        EXPECT_TRUE(MenuTexts(*menu).contains("RF sensors(&F)"));
        EXPECT_TRUE(MenuTexts(*menu).contains("Record plan(&T)"));
    }
    EXPECT_FALSE(rootTexts.contains("RF sensors(&F)"));
    EXPECT_FALSE(rootTexts.contains("Record plan(&T)"));
    // The recordings follow the settings entry on every camera, and ask for
    // the record manager with a copy of the camera.
    std::vector<std::string> asked;
    QObject::connect(Tree(), &CDlgDeviceList::recordsRequested, Tree(),
                     [&](const DeviceInfo& camera) { asked.emplace_back(camera.Id()); });
    for (QMenu* menu : {porchMenu.get(), deskMenu.get()}) {
        QStringList texts = MenuTexts(*menu);
        int edit = texts.indexOf("Edit device paras(&E)");
        ASSERT_GE(edit, 0);
        EXPECT_EQ(texts.value(edit + 1), "SD/Cloud Storage(&C)");
    }
    EXPECT_FALSE(rootTexts.contains("SD/Cloud Storage(&C)"));
    MenuAction(*deskMenu, "SD/Cloud Storage(&C)")->trigger();
    EXPECT_EQ(asked, std::vector<std::string>{"LOC000000001"});

    // "Refresh list" on a server camera refreshes the list entries; on the
    // root it is the update (all devices, then their states).
    int devList = sim_->Count("get dev-list");
    MenuAction(*porchMenu, "Refresh list(&R)")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return sim_->Count("get dev-list") > devList; }));
    int allDev = sim_->Count("get all-dev");
    MenuAction(*rootMenu, "Refresh list(&R)")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return sim_->Count("get all-dev") > allDev; }));
}

TEST_F(AccountTree, UnbindDropsTheItemAndBindBringsTheCameraIn) {
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill());
    QTreeWidgetItem* shed = Tree()->FindItem(tree::Branch::kMy, "SRV000000002");
    ASSERT_NE(shed, nullptr);
    MessageRecorder messages;
    {
        CDlgDeviceBind unbind(Session(), CDlgDeviceBind::Mode::kUnbind, "SRV000000002",
                              Tree()->HandleOf(shed), window_.get());
        EXPECT_EQ(unbind.windowTitle(), "Orbisight Cloud System - Device unbind");
        EXPECT_EQ(unbind.OkButton()->text(), "unbind");
        EXPECT_EQ(unbind.AccountEdit()->text(), "demo") << "the session's account";
        EXPECT_EQ(unbind.PasswordEdit()->text(), "demo");
        EXPECT_TRUE(unbind.Submit());
    }
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].title, "Note");
    EXPECT_EQ(messages.asked[0].text, "Device unbind success!");
    EXPECT_EQ(messages.asked[0].icon, ui::MessageIcon::kInformation);
    ASSERT_TRUE(WaitUntil([&] { return !Tree()->FindItem(tree::Branch::kMy, "SRV000000002"); }));
    ASSERT_TRUE(WaitUntil([&] { return MyRoot()->text(0) == "My cameras(1/1)"; }));

    // A bind dialog opened without an ID offers the last one used.
    CDlgDeviceBind bind(Session(), CDlgDeviceBind::Mode::kBind, "", 0, window_.get());
    EXPECT_EQ(bind.DeviceIdEdit()->text(), "SRV000000002");
    bind.DeviceIdEdit()->setText(" FREE00000001 ");
    EXPECT_TRUE(bind.Submit());
    EXPECT_EQ(messages.asked.back().text, "Device bind success!");
    ASSERT_TRUE(
        WaitUntil([&] { return Tree()->FindItem(tree::Branch::kMy, "FREE00000001"); }, 10000));
}

TEST_F(AccountTree, AnUnboundCameraLeavesItsPane) {
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill());
    QTreeWidgetItem* porch = Tree()->FindItem(tree::Branch::kMy, "SRV000000001");
    ASSERT_NE(porch, nullptr);
    Tree()->Activate(porch);
    ASSERT_NE(window_->Wall()->PaneShowing("SRV000000001"), nullptr);
    MessageRecorder messages;
    auto unbind = Tree()->MakeBindDialog(porch, true);
    unbind->DeviceIdEdit()->setText("srv000000001");  // any letter case names it
    ASSERT_TRUE(unbind->Submit());
    EXPECT_EQ(window_->Wall()->PaneShowing("SRV000000001"), nullptr);
}

TEST_F(AccountTree, MenuActionsFindTheirItemAgainAfterARebuild) {
    StartSim();
    Open();
    Session()->AddLocalDevice("LOC000000001", "127.0.0.1:6001", "Desk", "", 0);
    Session()->AddLocalDevice("LOC000000002", "127.0.0.1:6002", "Hall", "", 0);
    Session()->AddLocalDevice("LOC000000003", "127.0.0.1:6003", "Attic", "", 0);
    Tree()->RebuildLocal();
    auto menuFor = [&](const char* id) {
        QTreeWidgetItem* item = Tree()->FindItem(tree::Branch::kLocal, id);
        EXPECT_NE(item, nullptr) << id;
        return Tree()->BuildMenu(item);
    };
    auto hallMenu = menuFor("LOC000000002");
    auto atticMenu = menuFor("LOC000000003");

    // A status notice rebuilds the tree while the menus are open: their
    // items and records are freed (an ASan build catches any use).
    Tree()->RebuildAll();
    MenuAction(*hallMenu, "Delete device(&O)")->trigger();
    EXPECT_FALSE(
        Session()->FindDevice(DeviceListKind::kLocal, "LOC000000002", IdMatch::kExact).has_value());
    EXPECT_EQ(Session()->SnapshotList(DeviceListKind::kLocal).size(), 2u) << "that one only";

    // A device gone meanwhile: the action does nothing.
    Session()->DeleteLocalEntry(LocalEntryRef{false, 0, "LOC000000003"});
    Tree()->RebuildAll();
    MenuAction(*atticMenu, "Delete device(&O)")->trigger();
    MenuAction(*atticMenu, "Edit device(&Q)")->trigger();  // would open a dialog
    MenuAction(*atticMenu, "Bind device(&B)")->trigger();  // would open a dialog
    auto local = Session()->SnapshotList(DeviceListKind::kLocal);
    ASSERT_EQ(local.size(), 1u);
    EXPECT_EQ(local[0].Id(), "LOC000000001");
}

TEST_F(AccountTree, BindDialogRefusesBadInputBeforeAnyRequestAndReportsFailures) {
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill());
    MessageRecorder messages;
    CDlgDeviceBind bind(Session(), CDlgDeviceBind::Mode::kBind, "", 0, window_.get());
    EXPECT_EQ(bind.OkButton()->text(), "bind");
    int binds = sim_->Count("bind reg-s");
    bind.DeviceIdEdit()->setText("FREE0000000");  // 11 characters
    EXPECT_FALSE(bind.Submit());
    bind.DeviceIdEdit()->setText("FREE0000000100000");  // 17 characters
    EXPECT_FALSE(bind.Submit());
    bind.DeviceIdEdit()->setText("FREE00000001");
    bind.PasswordEdit()->setText("   ");
    EXPECT_FALSE(bind.Submit());
    EXPECT_EQ(sim_->Count("bind reg-s"), binds) << "nothing sent";
    bind.PasswordEdit()->setText("demo");
    bind.DeviceIdEdit()->setText("SRV000000001");  // bound already
    EXPECT_FALSE(bind.Submit());
    EXPECT_EQ(Session()->LastStatusText(), "Dev already bind");
    ASSERT_EQ(messages.asked.size(), 4u);
    EXPECT_EQ(messages.asked[0].text, "Device ID should be 16 bit or 12 bit");
    EXPECT_EQ(messages.asked[1].text, "Device ID should be 16 bit or 12 bit");
    EXPECT_EQ(messages.asked[2].text, "Please input user name and password! ");
    EXPECT_EQ(messages.asked[3].text, "Sorry, device bind failed!");
    for (const auto& m : messages.asked) {
        EXPECT_EQ(m.title, "Note");
        EXPECT_EQ(m.icon, ui::MessageIcon::kCritical);
    }
}

TEST_F(AccountTree, ADeleteNoticeForAnItemGoneSinceChangesNothing) {
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill());
    QTreeWidgetItem* porch = Tree()->FindItem(tree::Branch::kMy, "SRV000000001");
    intptr_t handle = Tree()->HandleOf(porch);
    ASSERT_NE(handle, 0);
    Tree()->RebuildAll();  // the item is replaced; its handle names nothing now
    Tree()->HandleSessionNotice(
        {notice::kAccountSession, CXOMPWorker::kDeleteTreeItem, handle, {}, nullptr});
    EXPECT_NE(Tree()->FindItem(tree::Branch::kMy, "SRV000000001"), nullptr);
    EXPECT_EQ(MyRoot()->child(0)->childCount(), 2);
}

TEST(DeviceSyncProgress, CountsTheDetailsAndReportsTheEndOncePerRound) {
    QWidget parent;
    parent.resize(800, 600);
    parent.show();
    CDeviceSyncDlg sync(&parent);
    QSignalSpy done(&sync, &CDeviceSyncDlg::done);
    sync.Update(0, 0);
    EXPECT_FALSE(sync.isVisible()) << "no total, nothing to show";
    sync.Update(3, 4);
    EXPECT_TRUE(sync.isVisible());
    EXPECT_EQ(sync.Text(), QString::fromUtf8("Synchronization Progress： 3/4,   75.00%"));
    EXPECT_EQ(sync.Value(), 3);
    EXPECT_EQ(sync.Maximum(), 4);
    sync.Update(4, 4);
    EXPECT_FALSE(sync.isVisible());
    EXPECT_EQ(done.count(), 1);
    sync.Update(5, 4);  // counted twice by the server's order: still over
    EXPECT_EQ(done.count(), 1);

    // A round that stops short ends a quiet second after its last count.
    sync.Update(1, 3);
    EXPECT_EQ(sync.Text(), QString::fromUtf8("Synchronization Progress： 1/3,   33.33%"));
    EXPECT_TRUE(sync.isVisible());
    ASSERT_TRUE(WaitUntil([&] { return done.count() == 2; }, 5000));
    EXPECT_FALSE(sync.isVisible());
}

}  // namespace
}  // namespace orbisight
