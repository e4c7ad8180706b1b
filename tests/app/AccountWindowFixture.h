#pragma once

// The main window on a temporary data folder whose "CameraClient.ini" points
// at the account simulator, run in this process on ephemeral ports; fake
// live channels; the session's short waits.

#include <gtest/gtest.h>

#include <QTreeWidget>
#include <fstream>
#include <memory>

#include <nlohmann/json.hpp>

#include "FakePaneChannel.h"
#include "QtTestEnvironment.h"
#include "account/CXOMPWorker.h"
#include "app/AppSettings.h"
#include "app/CDlgDeviceList.h"
#include "app/CDlgMyVelaLogin.h"
#include "app/CMyVelaExpertDlg.h"
#include "sim/account/SimAccountServer.h"

namespace orbisight::testing {

class AccountWindowFixture : public ::testing::Test {
  protected:
    // One user with a group, two cameras (one on-line), and an unbound
    // camera to bind.
    static nlohmann::json Account() {
        using nlohmann::json;
        return {
            {"login_port", 0},
            {"register_port", 0},
            {"expire", 300},
            {"users", json::array({{{"name", "demo"},
                                    {"password", "demo"},
                                    {"nickname", "Demo User"},
                                    {"type", 1}}})},
            {"groups", json::array({{{"id", 1}, {"name", "Home"}, {"owner", "demo"}}})},
            {"devices", json::array({{{"id", "SRV000000001"},
                                      {"name", "Porch"},
                                      {"owner", "demo"},
                                      {"group", 1},
                                      {"type", 1},
                                      {"status", 2},
                                      {"url", "ssp://127.0.0.1:6001"}},
                                     {{"id", "SRV000000002"},
                                      {"name", "Shed"},
                                      {"owner", "demo"},
                                      {"group", 1},
                                      {"type", 1},
                                      {"status", 0}},
                                     {{"id", "FREE00000001"}, {"name", "Spare"}, {"owner", ""}}})}};
    }

    void SetUp() override {
        log_ = std::make_shared<FakeChannelLog>();
        places_ = {dir_.Path() / "data", dir_.Path() / "autostart", dir_.Path() / "record",
                   "/opt/orbisight/bin/orbisight"};
        std::filesystem::create_directories(places_.dataFolder);
    }
    void TearDown() override {
        log_->Release();
        window_.reset();
        if (sim_) {
            EXPECT_EQ(sim_->ViolationCount(), 0) << ::testing::PrintToString(sim_->Violations());
            sim_->Stop();
        }
    }

    void StartSim(const nlohmann::json& account = Account()) {
        sim_ = sim::SimAccountServer::Start(account, context_);
        std::ofstream(places_.dataFolder / "CameraClient.ini")
            << "[CameraClient]\nLoginIP=127.0.0.1\nLoginIP1=127.0.0.1\nRegisterIP=127.0.0.1\n"
            << "RegisterIP1=127.0.0.1\nLoginport=" << sim_->LoginPort()
            << "\nRegisterport=" << sim_->RegisterPort() << "\n";
    }
    void Open(bool loginAtStart = false) {
        settings_ = std::make_unique<AppSettings>(places_);
        settings_->Load();
        CMyVelaExpertDlg::Options options;
        options.channelFactory = FakeFactory(log_);
        options.updateListener = false;
        options.startDiskGuard = false;
        options.probeAtStart = false;
        options.loginAtStart = loginAtStart;
        options.accountTimings = AccountTimings::Fast();
        window_ = std::make_unique<CMyVelaExpertDlg>(*settings_, options);
        window_->resize(1400, 800);
        window_->show();
    }
    // Logs in through the login dialog; true once "My cameras" shows the
    // account's two cameras with their names.
    bool LoginAndFill(const QString& user = "demo", const QString& password = "demo") {
        CDlgMyVelaLogin* dialog = window_->OpenLoginDialog();
        dialog->TypeAccount(user, password);
        if (!dialog->PressLogin()) {
            return false;
        }
        return WaitUntil(
            [&] {
                return Session()->IsLoggedIn() && MyRoot()->childCount() == 1 &&
                       MyRoot()->child(0)->text(0) == "Home(1/2)";
            },
            10000);
    }

    CXOMPWorker* Session() const { return window_->Session(); }
    CDlgDeviceList* Tree() const { return window_->DeviceTree(); }
    QTreeWidgetItem* MyRoot() const { return Tree()->RootItem(tree::Branch::kMy); }

    TempFolder dir_;
    AppSettings::Places places_;
    std::shared_ptr<FakeChannelLog> log_;
    sim::SimContext context_;
    std::unique_ptr<sim::SimAccountServer> sim_;
    std::unique_ptr<AppSettings> settings_;
    std::unique_ptr<CMyVelaExpertDlg> window_;
};

}  // namespace orbisight::testing
