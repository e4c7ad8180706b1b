// The main window with a logged-in account session against the account
// simulator (in this process, ephemeral ports): "My cameras" fills, the
// account label names the user, and logging out asks first.

#include <gtest/gtest.h>

#include <QTreeWidget>
#include <fstream>

#include "FakePaneChannel.h"
#include "QtTestEnvironment.h"
#include "account/CXOMPWorker.h"
#include "app/AppSettings.h"
#include "app/CDlgDeviceList.h"
#include "app/CMyVelaExpertDlg.h"
#include "app/TitleBar.h"
#include "app/VideoWall.h"
#include "sim/account/AccountSimulator.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;
namespace fs = std::filesystem;

TEST(AccountTree, LoggedInListsShowAndLogoutAsksFirst) {
    nlohmann::json config = {
        {"account",
         {{"login_port", 0},
          {"register_port", 0},
          {"expire", 300},
          {"users", {{{"name", "demo"}, {"password", "demo"}, {"nickname", "Demo User"}}}},
          {"groups", {{{"id", 1}, {"name", "Home"}, {"parent", 0}, {"owner", "demo"}}}},
          {"devices",
           {{{"id", "SRV0000001"}, {"name", "Porch"}, {"owner", "demo"}, {"group", 1}},
            {{"id", "SRV0000002"}, {"name", ""}, {"owner", "demo"}, {"group", 0}}}}}}};
    sim::SimContext context;
    sim::SimServices services = sim::StartAccountSimulator(config, context);
    ASSERT_FALSE(services.empty());
    int loginPort = 0;
    int registerPort = 0;
    for (auto& service : services) {
        for (const auto& info : service->Describe()) {
            (info.kind == "account-login" ? loginPort : registerPort) = info.port;
        }
    }
    ASSERT_GT(loginPort, 0);

    TempFolder dir;
    AppSettings::Places places{dir.Path() / "data", dir.Path() / "autostart", dir.Path() / "record",
                               "/usr/bin/orbisight"};
    fs::create_directories(places.dataFolder);
    {
        std::ofstream ini(places.dataFolder / "CameraClient.ini");
        ini << "[CameraClient]\nLoginIP=127.0.0.1\nLoginIP1=127.0.0.1\nRegisterIP=127.0.0.1\n"
            << "Loginport=" << loginPort << "\nRegisterport=" << registerPort << "\n";
    }
    AppSettings settings(places);
    settings.Load();
    auto log = std::make_shared<FakeChannelLog>();
    CMyVelaExpertDlg::Options options;
    options.channelFactory = FakeFactory(log);
    options.updateListener = false;
    options.startDiskGuard = false;
    options.probeAtStart = false;
    auto window = std::make_unique<CMyVelaExpertDlg>(settings, options);
    window->resize(1400, 800);
    window->show();

    CXOMPWorker* session = window->Session();
    session->StoreCredentials("demo", "demo");
    session->StartLoginThread();
    CDlgDeviceList* tree = window->DeviceTree();
    QTreeWidgetItem* my = tree->RootItem(tree::Branch::kMy);
    ASSERT_TRUE(WaitUntil([&] { return my->text(0).endsWith("/2)"); }, 15000))
        << my->text(0).toStdString();
    ASSERT_TRUE(
        WaitUntil([&] { return window->Title()->AccountText() == "User: Demo User(demo)"; }));
    // Names and groups arrive with the detail fetch; the tree follows the
    // session's notices.
    ASSERT_TRUE(WaitUntil(
        [&] { return my->childCount() == 2 && my->child(0)->text(0).startsWith("Home("); }, 15000));
    ASSERT_EQ(my->childCount(), 2);
    EXPECT_TRUE(my->child(0)->text(0).startsWith("Home(")) << "groups first";
    EXPECT_EQ(my->child(1)->text(0), "MyCamera(SRV0000002)") << "an unnamed camera";

    {
        MessageRecorder messages(ui::MessageAnswer::kNo);
        window->Command(CMyVelaExpertDlg::kCmdLoginLogout);
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0].title, "Tips");
        EXPECT_EQ(messages.asked[0].text, QString::fromUtf8("Do you want to login out？"));
        EXPECT_TRUE(messages.asked[0].defaultNo);
        EXPECT_TRUE(session->IsLoggedIn());
    }
    MessageRecorder messages(ui::MessageAnswer::kYes);
    window->Command(CMyVelaExpertDlg::kCmdLoginLogout);
    EXPECT_FALSE(session->IsLoggedIn());
    EXPECT_EQ(window->Title()->AccountText(), "No user login");
    EXPECT_EQ(my->text(0), "My cameras(0/0)");
    window.reset();
    for (auto& service : services) {
        service->Stop();
    }
}

}  // namespace
}  // namespace orbisight
