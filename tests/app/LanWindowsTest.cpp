// The LAN windows: "Local Search", the network wizard, and the tree's and
// toolbar's ways to them.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <cstring>

#include "AccountWindowFixture.h"
#include "app/CDeviceInfoDlg.h"
#include "app/CDeviceInfoPage.h"
#include "app/CDlgDevAllCtrl.h"
#include "app/CLocalSearchDlg.h"
#include "app/CNetWizardDialog.h"
#include "app/LanParamLink.h"
#include "lan/LanListener.h"
#include "platform/Socket.h"
#include "ui/ImageButton.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;

CamNetParam Record(const std::string& id, int32_t type, const std::string& address,
                   const std::string& name) {
    CamNetParam r{};
    r.basic.code = 87;
    r.basic.SetDeviceId(id);
    r.basic.SetDeviceName(name);
    r.basic.SetDevicePassword("pw1");
    r.basic.SetFirmwareVersion("V3.2.1");
    r.basic.SetWiredIp(type == 0 ? address : "192.168.1.20");
    r.basic.SetWifiIp(type == 1 ? address : "192.168.1.21");
    CopyTextField(r.basic.wiredMask, "255.255.255.0");
    CopyTextField(r.basic.wiredGateway, "192.168.1.1");
    CopyTextField(r.basic.wiredDns, "192.168.1.1");
    CopyTextField(r.basic.wifiMask, "255.255.255.0");
    CopyTextField(r.basic.wifiGateway, "192.168.1.1");
    CopyTextField(r.basic.wifiDns, "192.168.1.1");
    CopyTextField(r.address, address);
    r.netType = type;
    return r;
}

Notice LanNotice(const CamNetParam& record, uintptr_t wParam, uint32_t message = 13330) {
    Notice n;
    n.message = message;
    n.wParam = wParam;
    n.object = std::make_shared<CamNetParam>(record);
    return n;
}

// A worker on a scratch folder (no server) and a listener whose sends go
// to a socket of the test.
class LocalSearchWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        sink_ = OpenDatagramListener(0);
        ASSERT_GE(sink_, 0);
        CXOMPWorkerOptions options;
        options.dataFolder = dir_.Path();
        worker_ = std::make_unique<CXOMPWorker>(nullptr, options);
        LanPorts ports;
        ports.setPort = LocalPort(sink_);
        ports.fixedSetPort = LocalPort(sink_);
        ports.getPort = 0;
        lan_ = std::make_unique<LanListener>(ports);
    }
    void TearDown() override { CloseSocket(sink_); }
    DevInfoBlock NextSent(int waitMs = 1000) {
        DevInfoBlock block{};
        block.code = -1;
        if (WaitReadable(sink_, waitMs) == 1) {
            recv(sink_, &block, sizeof block, 0);
        }
        return block;
    }

    TempFolder dir_;
    int sink_ = -1;
    std::unique_ptr<CXOMPWorker> worker_;
    std::unique_ptr<LanListener> lan_;
    MessageRecorder messages_;
};

TEST_F(LocalSearchWindow, AnswersFillRowsAndFoundCamerasGoToTheLocalList) {
    CLocalSearchDlg dialog(worker_.get(), lan_.get(), {});
    EXPECT_EQ(dialog.windowTitle(), "Local Search");
    ASSERT_EQ(dialog.List()->columnCount(), 6);
    EXPECT_EQ(dialog.List()->headerItem()->text(3), "Net Type");
    EXPECT_EQ(dialog.List()->columnWidth(0), 120);
    EXPECT_EQ(dialog.List()->columnWidth(3), 80);
    dialog.show();
    EXPECT_EQ(NextSent().code, 86);  // opening searches

    dialog.HandleNotice(LanNotice(Record("ORBI00000001", 1, "192.168.100.100", "Porch"), 0));
    ASSERT_EQ(dialog.List()->topLevelItemCount(), 1);
    QTreeWidgetItem* row = dialog.List()->topLevelItem(0);
    EXPECT_EQ(row->text(0), "192.168.100.100");
    EXPECT_EQ(row->text(1), "Porch");
    EXPECT_EQ(row->text(3), "WIFI");
    EXPECT_EQ(row->text(5), "V3.2.1");
    // A first answer is only listed; the next one of the camera updates the
    // local list, here from a wired answer that leaves the Wi-Fi row alone.
    EXPECT_TRUE(worker_->Lists().Snapshot(DeviceListKind::kLocal).empty());
    dialog.HandleNotice(LanNotice(Record("ORBI00000001", 0, "192.168.1.20", "Porch 2"), 0));
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 1);
    EXPECT_EQ(row->text(3), "WIFI");
    auto local = worker_->Lists().Snapshot(DeviceListKind::kLocal);
    ASSERT_EQ(local.size(), 1u);
    EXPECT_EQ(local[0].Url(), "ssp://192.168.100.100:5552");
    EXPECT_EQ(local[0].DisplayName(), "Porch");
    EXPECT_EQ(local[0].Password(), "pw1");

    // 600 ms after the search the first row is selected and the row
    // actions are there; editing is not wired up without the hook.
    ASSERT_TRUE(WaitUntil([&] { return dialog.WizardButton()->isEnabled(); }, 3000));
    EXPECT_FALSE(dialog.EditButton()->isEnabled());
    EXPECT_FALSE(dialog.EditButton()->toolTip().isEmpty());

    dialog.Refresh();
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 0);
    EXPECT_FALSE(dialog.WizardButton()->isEnabled());
    EXPECT_EQ(NextSent().code, 86);
}

TEST_F(LocalSearchWindow, EditHandsACopyOfTheRowToTheHookAndBindNeedsALogin) {
    CamNetParam edited{};
    int edits = 0;
    CLocalSearchDlg dialog(worker_.get(), lan_.get(), [&](QWidget*, const CamNetParam& record) {
        edited = record;
        ++edits;
    });
    dialog.HandleNotice(LanNotice(Record("ORBI00000002", 0, "192.168.1.30", "Shed"), 0));
    CamNetParam ext = Record("ORBI00000002", 0, "x", "Shed");
    ext.extended = ext.basic;
    ext.extended.code = 88;
    dialog.HandleNotice(LanNotice(ext, 1));
    dialog.List()->setCurrentItem(dialog.List()->topLevelItem(0));
    EXPECT_TRUE(dialog.EditButton()->isEnabled());
    dialog.EditButton()->click();
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(edited.Id(), "ORBI00000002");
    EXPECT_TRUE(edited.HasExtended());

    dialog.BindButton()->click();
    ASSERT_EQ(messages_.asked.size(), 1u);
    EXPECT_EQ(messages_.asked[0].text, "Please login first !");
}

TEST_F(LocalSearchWindow, TheWizardsWifiPathSendsDhcpAndTheLoadedAddresses) {
    CamNetParam record = Record("ORBI00000003", 0, "192.168.1.20", "Hall");
    CNetWizardDialog wizard(record, LocalPort(sink_), nullptr, [] {
        return std::vector<std::string>{"HomeNet", "HomeNet", "Cafe"};
    });
    EXPECT_EQ(wizard.windowTitle(), "Network Wizard");
    EXPECT_FALSE(wizard.PrevButton()->isEnabled());
    EXPECT_FALSE(wizard.FinishButton()->isEnabled());
    wizard.ChoosePath(CNetWizardDialog::Path::kWifi);
    wizard.Next();
    wizard.StartScan();
    ASSERT_TRUE(WaitUntil([&] { return wizard.Networks()->count() == 3; }));
    EXPECT_EQ(CNetWizardDialog::LastScan().size(), 3u);  // seen twice, listed twice
    wizard.Networks()->setCurrentRow(2);
    emit wizard.Networks()->itemClicked(wizard.Networks()->item(2));
    EXPECT_EQ(wizard.Essid()->text(), "Cafe");
    wizard.Key()->setText("secret");
    EXPECT_FALSE(wizard.FinishButton()->isEnabled());
    wizard.Next();
    EXPECT_FALSE(wizard.NextButton()->isEnabled());
    EXPECT_TRUE(wizard.FinishButton()->isEnabled());
    EXPECT_TRUE(wizard.WifiDhcp()->isChecked());
    EXPECT_FALSE(wizard.WifiField(0)->isEnabled());
    ASSERT_TRUE(wizard.Finish());

    DevInfoBlock sent = NextSent();
    EXPECT_EQ(sent.code, 135);
    EXPECT_EQ(sent.CommandName(), "VidxSetInfo");
    EXPECT_EQ(sent.DeviceId(), "ORBI00000003");
    EXPECT_EQ(FieldText(sent.wifiSsid), "Cafe");
    EXPECT_EQ(FieldText(sent.wifiKey), "secret");
    EXPECT_EQ(sent.wifiDhcp, 1);
    EXPECT_EQ(sent.wifiClientMode, 1);
    EXPECT_EQ(FieldText(sent.wifiIp), "192.168.1.21");
    EXPECT_EQ(FieldText(sent.wifiGateway), "192.168.1.1");
}

TEST_F(LocalSearchWindow, TheWizardRefusesABadFixedAddressAndSendsNothing) {
    CamNetParam record = Record("ORBI00000004", 0, "192.168.1.20", "Hall");
    CNetWizardDialog wizard(record, LocalPort(sink_), nullptr,
                            [] { return std::vector<std::string>{}; });
    wizard.Next();
    EXPECT_TRUE(wizard.FinishButton()->isEnabled());
    wizard.WiredField(0)->setText("192.168.1.300");
    EXPECT_FALSE(wizard.Finish());
    ASSERT_EQ(messages_.asked.size(), 1u);
    EXPECT_EQ(messages_.asked[0].title, "Error");
    EXPECT_EQ(NextSent(200).code, -1);
    wizard.WiredField(0)->setText("192.168.1.77");
    ASSERT_TRUE(wizard.Finish());
    DevInfoBlock sent = NextSent();
    EXPECT_EQ(FieldText(sent.wiredIp), "192.168.1.77");
    EXPECT_EQ(sent.wifiClientMode, 0);
}

// The settings dialog in LAN mode, over a listener that the test feeds
// with the camera's answers; its sets and searches come to the test's socket.
class LanSettingsDialog : public LocalSearchWindow {
  protected:
    static CamNetParam Camera() {
        CamNetParam row = Record("ORBI00000003", 0, "192.168.1.20", "Porch");
        row.extended = row.basic;
        row.extended.code = DevInfoBlock::kCodeExtendedAnswer;
        DevInfoExt ext{};
        ext.SetApn("old.apn");
        params::PutExtIntoLanBlock(row.extended, ext);
        return row;
    }
    template <typename T>
    T* Control(params::Page page, const char* name) {
        T* control = dialog_->PageWidget(page)->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    void Type(params::Page page, const char* name, const QString& text) {
        dialog_->Tabs()->setCurrentIndex(static_cast<int>(page));
        QLineEdit* line = Control<QLineEdit>(page, name);
        line->setText(text);
        emit line->textEdited(text);
    }
    void Answer(DevInfoBlock block, int32_t code, const char* sender = "192.168.1.20") {
        block.code = code;
        lan_->HandleDatagram(&block, sizeof block, sender);
    }

    std::unique_ptr<CDeviceInfoDlg> dialog_;
};

TEST_F(LanSettingsDialog, SetsGoOutAsBroadcastsAndTheNextSearchRefreshesWhatWasNotEdited) {
    // The camera answered the search that listed it.
    Answer(Camera().basic, DevInfoBlock::kCodeBasicAnswer);
    Answer(Camera().extended, DevInfoBlock::kCodeExtendedAnswer);
    ASSERT_EQ(NextSent().code, 129);  // the "3G" reply
    DeviceInfo camera{};
    camera.SetId("ORBI00000003");
    dialog_ = std::make_unique<CDeviceInfoDlg>(std::make_unique<LanParamLink>(Camera(), lan_.get()),
                                               camera);
    dialog_->SetLanSearch([this] { lan_->SearchAgain(); });
    dialog_->Start();
    using params::Page;
    EXPECT_EQ(Control<QLineEdit>(Page::kSystemInfo, "deviceName")->text(), "Porch");
    EXPECT_EQ(Control<QLineEdit>(Page::k3g, "apn")->text(), "old.apn");

    // System Info: the basic block with 135, the month flag, then a search.
    Type(Page::kSystemInfo, "deviceName", "Workshop");
    ASSERT_TRUE(dialog_->Submit());
    DevInfoBlock sent = NextSent();
    EXPECT_EQ(sent.code, DevInfoBlock::kCodeSet);
    EXPECT_EQ(sent.CommandName(), "VidxSetInfo");
    EXPECT_EQ(sent.DeviceId(), "ORBI00000003");
    EXPECT_EQ(sent.DeviceName(), "Workshop");
    EXPECT_NE(sent.month & 0x80, 0);
    EXPECT_EQ(NextSent().code, 86);
    ASSERT_FALSE(messages_.asked.empty());
    EXPECT_EQ(messages_.asked.back().text, "Device parameter setting success!");
    EXPECT_EQ(dialog_->Edited().basic.month & 0x80, 0);

    // The 3G/4G page: the extended answer with 128.
    Type(Page::k3g, "apn", "new.apn");
    ASSERT_TRUE(dialog_->Submit());
    sent = NextSent();
    EXPECT_EQ(sent.code, DevInfoBlock::kCodeSetExtended);
    EXPECT_EQ(sent.CommandName(), "VidxSetInfo");
    EXPECT_EQ(params::ExtFromLanBlock(sent).Apn(), "new.apn");
    EXPECT_EQ(NextSent().code, 86);

    // The user edits the LAN page; the camera answers the search with a new
    // mask and firmware. The edit stays, the other pages follow the camera.
    Type(Page::kLan, "lanIp", "192.168.1.99");
    CamNetParam now = Camera();
    now.basic.SetDeviceName("Workshop");
    CopyTextField(now.basic.wiredMask, "255.255.0.0");
    now.basic.SetFirmwareVersion("V3.2.2");
    Answer(now.basic, DevInfoBlock::kCodeBasicAnswer);
    auto* version = Control<QLineEdit>(Page::kSystemInfo, "firmwareVersion");
    ASSERT_TRUE(WaitUntil([&] { return version->text() == "V3.2.2"; }, 3000));
    EXPECT_EQ(dialog_->Edited().basic.WiredMask(), "255.255.0.0");
    EXPECT_EQ(Control<QLineEdit>(Page::kLan, "lanIp")->text(), "192.168.1.99");
    EXPECT_EQ(Control<QLineEdit>(Page::kLan, "lanMask")->text(), "255.255.255.0");
    EXPECT_EQ(Control<QLineEdit>(Page::kSystemInfo, "deviceName")->text(), "Workshop");

    // The extended answer that follows refreshes too (the 3G page keeps
    // what was sent: the camera's answer carries it).
    DevInfoExt ext{};
    ext.SetApn("new.apn");
    params::PutExtIntoLanBlock(now.extended, ext);
    Answer(now.extended, DevInfoBlock::kCodeExtendedAnswer);
    ASSERT_TRUE(WaitUntil([&] { return dialog_->Ext().Apn() == "new.apn"; }, 3000));
    EXPECT_EQ(Control<QLineEdit>(Page::k3g, "apn")->text(), "new.apn");

    // Closed, the dialog is no longer told; answers go on without it.
    dialog_.reset();
    Answer(now.basic, DevInfoBlock::kCodeBasicAnswer);
    Answer(now.extended, DevInfoBlock::kCodeExtendedAnswer);
    QCoreApplication::processEvents();
    EXPECT_EQ(lan_->NoticesDropped(), 0u);
}

TEST_F(LanSettingsDialog, OnlyAnswersOfItsOwnCameraReachTheDialog) {
    CamNetParam row = Camera();
    LanParamLink link(row, nullptr);
    std::vector<std::string> names;
    DeviceParamLink::Handlers handlers;
    handlers.parameters = [&](const params::DeviceParamRecord& record, const DevInfoExt& ext) {
        names.emplace_back(record.basic.DeviceName());
        EXPECT_EQ(ext.Apn(), "old.apn");
    };
    link.Start(handlers);
    ASSERT_EQ(names.size(), 1u);  // the row at once

    auto refresh = [](CamNetParam record) {
        return LanNotice(record, LanListener::kSettingsRefreshCommand, notice::kCommand);
    };
    CamNetParam other = Record("ORBI00000004", 0, "192.168.1.30", "Shed");
    link.HandleNotice(refresh(other));
    link.HandleNotice(LanNotice(row, 1));  // 13330, not the refresh
    EXPECT_EQ(names.size(), 1u);

    // Its own camera, the ID in other letters and without an extended
    // answer yet: the 3G settings already known stay.
    CamNetParam again = Record("orbi00000003", 0, "192.168.1.20", "Porch 2");
    link.HandleNotice(refresh(again));
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1], "Porch 2");
    EXPECT_TRUE(link.Record().HasExtended());
}

class LanTree : public AccountWindowFixture {};

TEST_F(LanTree, LocalSearchEditOpensTheSettingsDialogInLanMode) {
    StartSim();
    Open();
    ASSERT_TRUE(window_->LanEdit());
    CLocalSearchDlg search(Session(), window_->Lan(), window_->LanEdit(), window_.get());
    search.HandleNotice(LanNotice(Record("ORBI00000006", 0, "192.168.1.60", "Attic"), 0));
    search.List()->setCurrentItem(search.List()->topLevelItem(0));
    ASSERT_TRUE(search.EditButton()->isEnabled());
    EXPECT_TRUE(search.EditButton()->toolTip().isEmpty());
    search.EditButton()->click();
    auto* dialog = search.findChild<CDeviceInfoDlg*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Edited().basic.DeviceName(), "Attic");
    EXPECT_EQ(
        dialog->PageWidget(params::Page::kSystemInfo)->findChild<QLineEdit*>("deviceName")->text(),
        "Attic");
    // The record plan editor is there in LAN mode too.
    EXPECT_TRUE(dialog->findChild<QPushButton*>("scheduleSettings")->isEnabled());
    dialog->close();
}

TEST_F(LanTree, AnAccountCameraRenamedOnTheLanIsRenamedOnTheAccountToo) {
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill());
    // The ID as the camera spells it may differ in case from the account's.
    CamNetParam row = Record("srv000000001", 0, "192.168.1.61", "Porch");
    CDeviceInfoDlg* dialog = Tree()->EditLanParameters(nullptr, row);
    ASSERT_NE(dialog, nullptr);
    QStringList renamed;
    QObject::connect(dialog, &CDeviceInfoDlg::deviceRenamed,
                     [&](const QString&, const QString& name) { renamed << name; });
    MessageRecorder messages;
    dialog->Tabs()->setCurrentIndex(static_cast<int>(params::Page::kSystemInfo));
    auto* name = dialog->PageWidget(params::Page::kSystemInfo)->findChild<QLineEdit*>("deviceName");
    name->setText("Porch light");
    emit name->textEdited(name->text());
    ASSERT_TRUE(dialog->Submit());
    ASSERT_TRUE(WaitUntil([&] { return !renamed.isEmpty(); }, 10000));
    EXPECT_EQ(renamed.value(0), "Porch light");
    EXPECT_TRUE(WaitUntil(
        [&] {
            auto found =
                Session()->FindDevice(DeviceListKind::kMy, "SRV000000001", IdMatch::kExact);
            return found && found->Name() == "Porch light";
        },
        10000));
    dialog->close();
}

TEST_F(LanTree, AnAnswerAddsTheCameraUnderLocalCamerasAndTheWaysInAreOpen) {
    StartSim();
    Open();
    ASSERT_NE(window_->Lan(), nullptr);
    EXPECT_TRUE(window_->Lan()->Running());
    EXPECT_TRUE(window_->Toolbar()->Button(CDlgDevAllCtrl::kDevScan)->isEnabled());

    Tree()->HandleLanNotice(
        LanNotice(Record("ORBI00000005", 0, "192.168.1.50", "Garage"), 0, 13331));
    QTreeWidgetItem* localRoot = Tree()->RootItem(tree::Branch::kLocal);
    ASSERT_TRUE(WaitUntil([&] { return localRoot->childCount() == 1; }, 3000));
    EXPECT_EQ(localRoot->child(0)->text(0), "Garage(ORBI00000005)");
    auto local = Session()->Lists().Snapshot(DeviceListKind::kLocal);
    ASSERT_EQ(local.size(), 1u);
    EXPECT_EQ(local[0].HostAddress(), "192.168.1.50");

    auto menu = Tree()->BuildMenu(localRoot);
    bool hasSearch = false;
    for (QAction* a : menu->actions()) {
        hasSearch = hasSearch || a->text() == "Local search(&S)";
    }
    EXPECT_TRUE(hasSearch);
}

}  // namespace
}  // namespace orbisight
