#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "account/CXOMPWorker.h"
#include "platform/Clock.h"
#include "platform/Notice.h"
#include "sim/account/SimAccountServer.h"
#include "tests/account/TempFolder.h"

namespace orbisight::test {

// The account simulator in-process on ephemeral ports, a data folder whose
// "CameraClient.ini" points at it, and sessions with short waits.
class SimAccountFixture : public ::testing::Test {
  protected:
    // 3 groups, 4 named devices, 130 generated ones: 137 entries, two pages.
    static nlohmann::json Account() {
        using nlohmann::json;
        return {
            {"login_port", 0},
            {"register_port", 0},
            {"expire", 2},
            {"users", json::array({{{"name", "alice"},
                                    {"password", "secret"},
                                    {"nickname", "Alice A."},
                                    {"type", 2}},
                                   {{"name", "bob"}, {"password", "builder"}}})},
            {"groups",
             json::array({{{"id", 1}, {"name", "Home"}, {"owner", "alice"}},
                          {{"id", 2}, {"name", "Garden"}, {"parent", 1}, {"owner", "alice"}},
                          {{"id", 3}, {"name", "Shop"}, {"owner", "alice"}}})},
            {"devices",
             json::array(
                 {{{"id", "CAM00000001"},
                   {"name", "Porch"},
                   {"owner", "alice"},
                   {"group", 1},
                   {"status", 2},
                   {"url", "ssp://127.0.0.1:6001"}},
                  {{"id", "CAM00000002"},
                   {"name", "Apple tree"},
                   {"owner", "alice"},
                   {"group", 2},
                   {"status", 0}},
                  {{"id", "CAM00000003"},
                   {"name", "Till"},
                   {"owner", "alice"},
                   {"group", 3},
                   {"status", 2}},
                  {{"id", "CAM00000004"}, {"name", "Back door"}, {"owner", "alice"}, {"status", 1}},
                  {{"id", "FREE00000001"}, {"name", "Unbound"}, {"owner", ""}},
                  {{"id", "BOB000000001"}, {"name", "Bob's"}, {"owner", "bob"}}})},
            {"generated_devices",
             {{"owner", "alice"}, {"count", 130}, {"prefix", "GEN"}, {"group", 3}}},
        };
    }
    static constexpr int kAliceEntries = 137;

    void StartSim(nlohmann::json account = Account()) {
        sim_ = sim::SimAccountServer::Start(account, context_);
        WriteIni(sim_->LoginPort(), sim_->RegisterPort());
    }
    void WriteIni(int loginPort, int registerPort, const std::string& extra = "") {
        std::ofstream(folder_.Path() / "CameraClient.ini")
            << "[CameraClient]\nLoginport=" << loginPort << "\nRegisterport=" << registerPort
            << "\n"
            << extra;
    }
    std::unique_ptr<CXOMPWorker> MakeWorker(AccountTimings timings = AccountTimings::Fast()) {
        CXOMPWorkerOptions options;
        options.dataFolder = folder_.Path();
        options.timings = timings;
        return std::make_unique<CXOMPWorker>(&notices_, options);
    }
    // The next session notice with this code, skipping others.
    bool WaitSession(uintptr_t code, Notice& out, int timeoutMs = 5000) {
        uint64_t deadline = TickCountMs() + static_cast<uint64_t>(timeoutMs);
        while (TickCountMs() < deadline) {
            Notice notice;
            int left = static_cast<int>(deadline - TickCountMs());
            if (!notices_.WaitFor(notice::kAccountSession, notice, left > 0 ? left : 1)) {
                return false;
            }
            if (notice.wParam == code) {
                out = std::move(notice);
                return true;
            }
        }
        return false;
    }
    // Logs in and returns the login result notice value (-1: none).
    intptr_t Login(CXOMPWorker& worker, const std::string& user = "alice",
                   const std::string& password = "secret") {
        worker.StoreCredentials(user, password);
        worker.StartLogin();
        Notice notice;
        while (WaitSession(CXOMPWorker::kLoginResult, notice)) {
            if (notice.lParam != CXOMPWorker::kConnectFailed ||
                worker.LoginAttempt() >= CXOMPWorker::kLoginAttempts) {
                return notice.lParam;
            }
        }
        return -1;
    }
    template <typename Predicate>
    static bool Eventually(Predicate predicate, int timeoutMs = 5000) {
        uint64_t deadline = TickCountMs() + static_cast<uint64_t>(timeoutMs);
        while (!predicate()) {
            if (TickCountMs() > deadline) {
                return false;
            }
            SleepMs(5);
        }
        return true;
    }
    void TearDown() override {
        if (sim_) {
            EXPECT_EQ(sim_->ViolationCount(), 0) << ::testing::PrintToString(sim_->Violations());
        }
    }

    TempFolder folder_;
    sim::SimContext context_;
    std::unique_ptr<sim::SimAccountServer> sim_;
    NoticeQueue notices_;
};

}  // namespace orbisight::test
