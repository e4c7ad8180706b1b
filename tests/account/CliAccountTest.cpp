#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/account/SimAccountFixture.h"

namespace orbisight {
namespace {

// orbisight-cli account ... against the in-process simulator.
class CliAccount : public test::SimAccountFixture {
  protected:
    void SetUp() override {
        cli_ = std::filesystem::path(ORBISIGHT_BIN_DIR) / "orbisight-cli";
        if (!std::filesystem::exists(cli_)) {
            GTEST_SKIP() << "orbisight-cli is not built";
        }
    }
    // Runs the tool; returns its exit code and fills out with its output.
    int Run(const std::string& arguments, std::string& out) {
        std::string command = cli_.string() + " account " + arguments + " --data-dir " +
                              folder_.Path().string() + " 2>/dev/null";
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return -1;
        }
        out.clear();
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        int status = ::pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::filesystem::path cli_;
};

TEST_F(CliAccount, ListPrintsTheUserAndTheWholeListAndExitCodesTellFailures) {
    auto account = Account();
    account["generated_devices"]["count"] = 0;  // one batch: a short run
    StartSim(account);
    std::string out;
    ASSERT_EQ(Run("list --user alice --password secret", out), 0) << out;
    auto printed = nlohmann::json::parse(out);
    EXPECT_EQ(printed["user"]["name"], "alice");
    EXPECT_EQ(printed["user"]["display_name"], "Alice A.");
    ASSERT_EQ(printed["devices"].size(), 7u);
    const auto& first = printed["devices"][0];
    EXPECT_EQ(first["status"], 2);  // on-line first
    for (const char* key : {"id", "name", "status", "is_group", "group", "parent", "url"}) {
        EXPECT_TRUE(first.contains(key)) << key;
    }

    EXPECT_EQ(Run("login --user alice --password nope", out), 4);
    EXPECT_EQ(Run("register --user ' Alice ' --password x", out), 4);  // the name exists
    EXPECT_EQ(Run("register --user Gina --password x --nickname G", out), 0);
    EXPECT_EQ(nlohmann::json::parse(out)["registered"], "gina");
    // No LAN step here (tests/lan covers it): nothing is broadcast.
    EXPECT_EQ(Run("bind --user gina --password x --id FREE00000001 --lan-seconds 0", out), 0);
    EXPECT_EQ(nlohmann::json::parse(out)["lan"], false);
    EXPECT_EQ(Run("unbind --user gina --password x --id FREE00000001 --lan-seconds 0", out), 0);
    EXPECT_EQ(Run("bind --user gina --password x --id FREE00000001 --lan-seconds 601", out), 2);
    EXPECT_EQ(Run("bind --user gina --password x", out), 2);  // no --id
    EXPECT_EQ(Run("frobnicate --user gina --password x", out), 2);

    EXPECT_EQ(sim_->ViolationCount(), 0);
    int port = sim_->LoginPort();
    sim_.reset();
    WriteIni(port, port);
    EXPECT_EQ(Run("login --user alice --password secret", out), 3);
}

}  // namespace
}  // namespace orbisight
