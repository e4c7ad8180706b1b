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
#include "app/CDlgDevAllCtrl.h"
#include "app/CLocalSearchDlg.h"
#include "app/CNetWizardDialog.h"
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

class LanTree : public AccountWindowFixture {};

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
