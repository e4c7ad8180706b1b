#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "ChannelTestSupport.h"
#include "ProcessRunner.h"
#include "device/DeviceParamMembers.h"

namespace orbisight {
namespace {

using namespace orbisight::testing;

const std::string kBin = ORBISIGHT_BIN_DIR;

// orbisight-cli against an orbisight-sim process started with a temporary
// configuration of three cameras on ephemeral ports.
class CliCameraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recording_ = RandomBytes(150000, 3);
        WriteFile(folder_.Path() / "sd/20141108/20141108093000.264", recording_);
        WriteFile(folder_.Path() / "sd/20141108/20141108120000.264", RandomBytes(99, 4));
        nlohmann::json config = {
            {"cameras",
             {{{"id", "CLI000000001"},
               {"name", "Porch"},
               {"password", "pw"},
               {"port", 0},
               {"sd_folder", "sd"},
               {"persist", "porch.json"},
               {"rf", "MYVELARFID:0301;name:Hall;status:on;####"}},
              {{"id", "CLI000000002"}, {"password", "pw"}, {"port", 0}, {"fault", "stall"}},
              {{"id", "CLI000000003"}, {"password", "pw"}, {"port", 0}}}}};
        std::ofstream(folder_.Path() / "sim.json") << config.dump();
        sim_ = std::make_unique<BackgroundProcess>(std::vector<std::string>{
            kBin + "/orbisight-sim", "--config", (folder_.Path() / "sim.json").string()});
        std::string line;
        while (sim_->ReadLine(line)) {
            auto info = nlohmann::json::parse(line, nullptr, false);
            if (info.contains("ready")) {
                break;
            }
            if (info.value("kind", "") == "camera") {
                ports_[info["id"].get<std::string>()] = info["port"].get<int>();
            }
        }
        ASSERT_EQ(ports_.size(), 3u) << "the simulator did not start";
    }

    ProcessResult Cli(std::vector<std::string> words, const std::string& id = "CLI000000001",
                      const std::string& password = "pw") {
        std::vector<std::string> argv = {kBin + "/orbisight-cli"};
        argv.insert(argv.end(), words.begin(), words.end());
        if (!id.empty()) {
            argv.insert(argv.end(), {"--address", "ssp://127.0.0.1:" + std::to_string(ports_[id]),
                                     "--id", id, "--password", password});
        }
        return RunProgram(argv);
    }
    static nlohmann::json Json(const ProcessResult& result) {
        return nlohmann::json::parse(result.out, nullptr, false);
    }

    TempFolder folder_;
    std::vector<char> recording_;
    std::unique_ptr<BackgroundProcess> sim_;
    std::map<std::string, int> ports_;
};

TEST_F(CliCameraTest, ParamsPrintsEveryNamedMemberOfBothBlocks) {
    auto result = Cli({"params"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto params = Json(result);
    ASSERT_TRUE(params.is_object()) << result.out;
    EXPECT_EQ(params.size(), ParamMembers().size());
    EXPECT_EQ(params["device_name"], "Porch");
    EXPECT_EQ(params["device_id"], "CLI000000001");
    EXPECT_EQ(params["sd_card_state"], 3);
    EXPECT_EQ(params["apn"], "");
}

TEST_F(CliCameraTest, SetParamChangesTheCameraAndReadsItBack) {
    auto result = Cli({"set-param", "device_name=Back Porch", "resolution_code=12",
                       "apn=net.example", "motion_zones=f0a"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto params = Json(result);
    EXPECT_EQ(params["device_name"], "Back Porch");
    EXPECT_EQ(params["resolution_code"], 12);
    EXPECT_EQ(params["apn"], "net.example");
    EXPECT_EQ(params["motion_zones"], "F0A");
    // A second process sees the change; the camera persisted it.
    EXPECT_EQ(Json(Cli({"params"}))["device_name"], "Back Porch");
    EXPECT_TRUE(std::filesystem::exists(folder_.Path() / "porch.json"));
}

TEST_F(CliCameraTest, SetParamRefusesBadInputBeforeConnecting) {
    struct Case {
        std::vector<std::string> words;
        const char* message;
    } cases[] = {{{"set-param", "device_name=" + std::string(19, 'n')}, "device_name"},
                 {{"set-param", "no_such=1"}, "no_such"},
                 {{"set-param", "device_id=X"}, "read-only"},
                 {{"set-param", "alarm_duration=999"}, "alarm_duration"},
                 {{"set-param"}, "FIELD=VALUE"}};
    for (const auto& c : cases) {
        auto result = Cli(c.words, "CLI000000002");  // the stalled camera: never reached
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
}

TEST_F(CliCameraTest, SetPlanIsSavedAndReadsBackExactlyAsSet) {
    auto set = Cli({"set-plan", "--json", "1=schedule,monday,08:00:00,10:00:00",
                    "8=alarm,workday,00:00:00,23:59:59"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    auto plans = Json(set)["plans"];
    ASSERT_EQ(plans.size(), 8u);
    EXPECT_EQ(plans[0]["mode"], "schedule");
    EXPECT_EQ(plans[0]["day"], "monday");
    EXPECT_EQ(plans[0]["start"], "08:00:00");
    EXPECT_EQ(plans[0]["end"], "10:00:00");
    EXPECT_EQ(plans[0]["stored"], "0101080000020001");  // 2 h 0 min 1 s: the end is inclusive
    EXPECT_EQ(plans[7]["stored"], "0209000000180000");  // a whole day is 24 h
    EXPECT_EQ(plans[7]["end"], "23:59:59");
    // Another process reads exactly what was set, and changing the mode
    // alone moves no time by a second.
    auto read = Cli({"plan", "--json"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(Json(read), Json(set));
    ASSERT_EQ(Cli({"set-plan", "1=off"}).exitCode, 0);
    auto text = Cli({"plan"});
    EXPECT_NE(text.out.find("Plan 1: off       monday     08:00:00 - 10:00:00 (interval 02:00:00)"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Plan 2: off       day 0      00:00:00 - 00:00:00"), std::string::npos)
        << text.out;
}

TEST_F(CliCameraTest, SetPlanRefusesBadValuesBeforeConnecting) {
    for (const char* bad :
         {"0=off", "9=off", "1=record", "1=schedule,monday,08:00:00,24:00:00",
          "1=schedule,monday,10:00:00,09:59:59", "1=schedule,funday,1:00:00,2:00:00"}) {
        auto result = Cli({"set-plan", "2=off", bad}, "CLI000000002");  // stalled: never reached
        EXPECT_EQ(result.exitCode, 2) << bad;
        EXPECT_NE(result.err.find(bad), std::string::npos) << result.err;
    }
    EXPECT_EQ(Cli({"set-plan"}, "CLI000000002").exitCode, 2);
}

TEST_F(CliCameraTest, RfListIsShownEditedAndWrittenBack) {
    auto result = Cli({"rf", "--name", "0301=Hall PIR", "--disable", "0301"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Json(result)["text"], "MYVELARFID:0301;name:Hall PIR;status:off;####");
    auto shown = Json(Cli({"rf"}));
    ASSERT_EQ(shown["devices"].size(), 1u);
    EXPECT_EQ(shown["devices"][0]["group"], "PIR");
    EXPECT_EQ(shown["devices"][0]["enabled"], false);
    EXPECT_EQ(Cli({"rf", "--delete", "0999"}).exitCode, 2);
    EXPECT_EQ(Json(Cli({"rf", "--clear"}))["devices"].size(), 0u);
}

TEST_F(CliCameraTest, SdListAndADownloadEqualToTheRecording) {
    auto result = Cli({"sd-list", "--date", "20141108", "--from", "090000", "--to", "100000"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto files = Json(result)["files"];
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]["name"], "20141108093000.264");
    EXPECT_EQ(files[0]["size"], recording_.size());

    auto out = folder_.Path() / "downloads";
    result = Cli({"sd-get", "--file", "20141108093000.264", "--out", out.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Json(result)["size"], recording_.size());
    EXPECT_EQ(ReadFile(out / "20141108093000.264"), recording_);

    result = Cli({"sd-get", "--file", "20141108000000.264", "--out", out.string()});
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_NE(result.err.find("no such file"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(out / "20141108000000.264"));
    EXPECT_EQ(Cli({"sd-get", "--file", "../x", "--out", out.string()}).exitCode, 2);

    // A camera without a card refuses the list.
    EXPECT_EQ(Cli({"sd-list", "--date", "20141108"}, "CLI000000003").exitCode, 5);
}

TEST_F(CliCameraTest, ExitCodesTellTheFailuresApart) {
    EXPECT_EQ(Cli({"params"}, "").exitCode, 2);  // no --address
    EXPECT_EQ(Cli({"params", "--bogus", "1"}).exitCode, 2);
    EXPECT_EQ(Cli({"sd-list", "--date", "2014-11-08"}).exitCode, 2);

    auto result = RunProgram({kBin + "/orbisight-cli", "params", "--address", "ssp://127.0.0.1:1",
                              "--id", "CLI000000001"});
    EXPECT_EQ(result.exitCode, 3) << result.err;

    result = Cli({"params"}, "CLI000000001", "wrong");
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("login refused"), std::string::npos) << result.err;

    result = Cli({"params", "--timeout-ms", "300"}, "CLI000000002");
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("did not answer"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace orbisight
