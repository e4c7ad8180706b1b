#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/device/ProcessRunner.h"
#include "tests/media/ClipRecording.h"

namespace orbisight {
namespace {

using testing::RunProgram;

const std::string kCli = std::string(ORBISIGHT_BIN_DIR) + "/orbisight-cli";

class CliPlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("orbisight-cliplay-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    std::string File(const std::string& name) const { return (folder_ / name).string(); }

    // The last stdout line, parsed.
    static nlohmann::json Summary(const std::string& out) {
        std::istringstream lines(out);
        std::string line;
        std::string last;
        while (std::getline(lines, line)) {
            if (!line.empty()) {
                last = line;
            }
        }
        return nlohmann::json::parse(last, nullptr, false);
    }

    std::filesystem::path folder_;
};

test::RecordFileMaker ClipRecording() {
    return test::ClipRecording("Cli", 1000);
}

TEST_F(CliPlayTest, PlaysARecordingAndSumsItUp) {
    test::RecordFileMaker maker = ClipRecording();
    ASSERT_TRUE(maker.WriteTo(File("clip.264")));
    auto result = RunProgram({kCli, "play", File("clip.264")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    nlohmann::json summary = Summary(result.out);
    ASSERT_TRUE(summary.is_object()) << result.out;
    EXPECT_EQ(summary["pictures"], 25);
    EXPECT_EQ(summary["key_frames"], 5);
    EXPECT_EQ(summary["entries"], 50);
    EXPECT_EQ(summary["audio_played"], 25);
    EXPECT_EQ(summary["position"], 100);
    EXPECT_EQ(summary["damaged"], false);
    // Paced at the recording's own speed: 40 ms for the first picture,
    // then each 40 ms step (25 pictures of a 1 s clip).
    EXPECT_GE(summary["seconds"].get<double>(), 0.95);

    // Fast forward: key frames only, no sound.
    result = RunProgram({kCli, "play", File("clip.264"), "--speed", "8"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    summary = Summary(result.out);
    EXPECT_EQ(summary["pictures"], 5);
    EXPECT_EQ(summary["audio_played"], 0);
}

TEST_F(CliPlayTest, ACutRecordingPlaysToTheCutAndSaysSo) {
    test::RecordFileMaker maker = ClipRecording();
    maker.Bytes().resize(maker.Size() - 60);  // into the last picture
    ASSERT_TRUE(maker.WriteTo(File("cut.264")));
    auto result = RunProgram({kCli, "play", File("cut.264"), "--seek", "50"});
    EXPECT_EQ(result.exitCode, 7);
    nlohmann::json summary = Summary(result.out);
    EXPECT_EQ(summary["damaged"], true);
    // Entry 24 of 49 is picture 12; decoding starts at the key frame 15.
    EXPECT_EQ(summary["pictures"], 10);
    EXPECT_NE(result.err.find("damaged"), std::string::npos);
}

TEST_F(CliPlayTest, RefusesWhatIsNotARecording) {
    test::RecordFileMaker empty;
    ASSERT_TRUE(empty.WriteTo(File("empty.264")));
    test::RecordFileMaker text;
    text.RawBytes(200, 'x');
    ASSERT_TRUE(text.WriteTo(File("text.264")));
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    };
    const Case cases[] = {
        {{File("missing.264")}, 6, "No such file"},
        {{File("empty.264")}, 6, "empty"},
        {{File("text.264")}, 6, "not a recording"},
        {{folder_.string()}, 6, "not a file"},
        {{}, 2, "required"},
        {{File("text.264"), "--speed", "3"}, 2, "--speed"},
        {{File("text.264"), "--seek", "100"}, 2, "--seek"},
        {{File("text.264"), "--loud", "1"}, 2, "unknown option"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {kCli, "play"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        auto result = RunProgram(argv);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.says;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace orbisight
