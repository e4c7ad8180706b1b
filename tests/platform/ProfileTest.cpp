#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Profile.h"

namespace orbisight {
namespace {

class ProfileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("profile-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
        file_ = folder_ / "CameraClient.ini";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    void Write(const std::string& text) { std::ofstream(file_) << text; }
    std::string Read() {
        std::ifstream in(file_);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::filesystem::path folder_;
    std::filesystem::path file_;
};

TEST_F(ProfileTest, ReadsValuesCaseInsensitivelyTrimmedAndUnquoted) {
    Write(
        "; comment\r\n[CameraClient]\r\n  LoginPort = 6000 \r\nLoginIP=\"example.test\"\r\n"
        "[Other]\r\nLoginPort=1\r\n");
    Profile profile(file_);
    EXPECT_EQ(profile.GetInt("cameraclient", "loginport", 5590), 6000);
    EXPECT_EQ(profile.GetString("CameraClient", "LoginIP", "x"), "example.test");
    EXPECT_EQ(profile.GetInt("Other", "LoginPort", 0), 1);
}

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
    Profile profile(file_);
    EXPECT_EQ(profile.GetInt("CameraClient", "Loginport", 5590), 5590);
    EXPECT_EQ(profile.GetString("CameraClient", "LoginIP", "127.0.0.1"), "127.0.0.1");
    EXPECT_FALSE(profile.Find("CameraClient", "LoginIP").has_value());
}

TEST_F(ProfileTest, PresentButEmptyKeyIsFoundEmpty) {
    Write("[CameraClient]\nLoginIP=\n");
    Profile profile(file_);
    auto value = profile.Find("CameraClient", "LoginIP");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, "");
}

TEST_F(ProfileTest, BufferFormCutsToTheBufferSize) {
    Write("[S]\nK=abcdef\n");
    Profile profile(file_);
    char buffer[4];
    EXPECT_EQ(profile.GetString("S", "K", "", buffer, sizeof buffer), 3u);
    EXPECT_STREQ(buffer, "abc");
}

TEST_F(ProfileTest, WritesKeepOtherLinesAndReplaceInPlace) {
    Write("; keep me\n[CameraClient]\nLoginport=5590\nRegisterport=5560\n\n[Other]\nX=1\n");
    Profile profile(file_);
    ASSERT_TRUE(profile.WriteString("cameraclient", "LOGINPORT", "7000"));
    ASSERT_TRUE(profile.WriteString("CameraClient", "LoginIP", "10.1.1.1"));
    ASSERT_TRUE(profile.WriteString("New", "A", "b"));
    EXPECT_EQ(Read(),
              "; keep me\n[CameraClient]\nLoginport=7000\nRegisterport=5560\nLoginIP=10.1.1.1\n\n"
              "[Other]\nX=1\n[New]\nA=b\n");
    ASSERT_TRUE(profile.DeleteKey("Other", "X"));
    EXPECT_FALSE(profile.Find("Other", "X").has_value());
}

TEST_F(ProfileTest, InMemoryProfileEditsItsTextLikeAFile) {
    const std::string text =
        "; keep me\n[CameraClient]\nLoginport=5590\r\nRegisterport=5560\n\n[Other]\nX=1\n";
    Write(text);
    Profile onDisk(file_);
    Profile inMemory = Profile::InMemory(text);
    for (Profile* profile : {&onDisk, &inMemory}) {
        EXPECT_EQ(profile->GetInt("cameraclient", "loginport", 0), 5590);
        ASSERT_TRUE(profile->WriteString("CameraClient", "LoginIP", "10.1.1.1"));
        ASSERT_TRUE(profile->DeleteKey("Other", "X"));
    }
    EXPECT_EQ(inMemory.Text(), Read());
    EXPECT_FALSE(std::filesystem::exists(folder_ / "CameraClient.ini.tmp"));
}

TEST_F(ProfileTest, NonNumericIntegerReadsAsZero) {
    Write("[S]\nPort=abc\nNeg=-12x\n");
    Profile profile(file_);
    EXPECT_EQ(profile.GetInt("S", "Port", 5), 0);
    EXPECT_EQ(profile.GetInt("S", "Neg", 5), -12);
}

}  // namespace
}  // namespace orbisight
