// The cloud page's rules without a server: the camera's cloud address, the
// record names and sizes, the list the server returns, the local path.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "records/CloudRecords.h"

namespace orbisight {
namespace {

class UtcClock : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST(CloudAddress, CloudEntryGivesItsHostOnTheFixedPort) {
    // An "ssp://" entry first, then the cloud entry with another port.
    EXPECT_EQ(CloudServerFromAddressList("ssp://10.1.1.1:5552;cloud://b:6000"), "b:5557");
    EXPECT_EQ(ConnectParamForCamera("ssp://10.1.1.1:5552;cloud://b:6000", "127.0.0.1:5557"),
              "AddrRemote[=]b:5557[|]TOConnect[=]60[|]TORW[=]60[|]");
    // Cut at the last ":"; without one the whole text is the host.
    EXPECT_EQ(CloudServerFromAddressList("cloud://host.example:1:2"), "host.example:1:5557");
    EXPECT_EQ(CloudServerFromAddressList("cloud://lonely"), "lonely:5557");
}

TEST(CloudAddress, WithoutCloudEntryTheDefaultServerIsUsed) {
    EXPECT_EQ(CloudServerFromAddressList("ssp://1.2.3.4:5552;ddns://x.example:80;tutkid://ABC"),
              "");
    EXPECT_EQ(CloudServerFromAddressList(""), "");
    EXPECT_EQ(ConnectParamForCamera("ssp://1.2.3.4:5552", kDefaultCloudServer),
              "AddrRemote[=]127.0.0.1:5557[|]TOConnect[=]60[|]TORW[=]60[|]");
}

TEST(CloudAddress, LastCloudEntryWinsAndEmptyHostsAreSkipped) {
    EXPECT_EQ(CloudServerFromAddressList("cloud://first:1;ssp://a:2;cloud://second:3"),
              "second:5557");
    // An entry without a host does not undo the one before it.
    EXPECT_EQ(CloudServerFromAddressList("cloud://first:1;cloud://:9"), "first:5557");
    EXPECT_EQ(CloudServerFromAddressList("cloud://"), "");
}

TEST(CloudNames, ExtensionOfEveryType) {
    EXPECT_STREQ(VideoExtension(1), ".264");
    EXPECT_STREQ(VideoExtension(2), ".avi");
    EXPECT_STREQ(VideoExtension(3), ".jpg");
    EXPECT_STREQ(VideoExtension(4), ".mp4");
    EXPECT_STREQ(VideoExtension(5), ".ts");
    EXPECT_STREQ(VideoExtension(0), ".264");
    EXPECT_STREQ(VideoExtension(6), ".264");
    EXPECT_STREQ(VideoExtension(-1), ".264");
}

TEST_F(UtcClock, RecordNameSizeAndCondition) {
    // 2024-03-05 07:08:09 UTC
    VideoInfo jpg{1709622489, 3, 1, 1536};
    EXPECT_EQ(VideoRecordName(jpg), "20240305070809.jpg");
    VideoInfo h264{1709622489, 1, 1, 0};
    EXPECT_EQ(VideoRecordName(h264), "20240305070809.264");
    EXPECT_EQ(VideoSizeText(1536), "1.50 KB");
    EXPECT_EQ(VideoSizeText(0), "0.00 KB");
    EXPECT_EQ(VideoSizeText(1023), "1.00 KB");  // rounded, as "%.2f" does
    EXPECT_EQ(TimeCondition(100, 200), "video_time >= 100 and video_time <= 200");
    EXPECT_EQ(LocalTimeOf(2024, 3, 5, 7 * 3600 + 8 * 60 + 9), 1709622489);
}

TEST_F(UtcClock, LocalPathFollowsTheRecordingNamingRule) {
    VideoInfo video{1709622489, 4, 1, 10};
    EXPECT_EQ(LocalVideoPath("/rec", "Door", "ABC", video).string(),
              "/rec/Door(ABC)/2024-03-05/Door(ABC)_2024-03-05-07-08-09.mp4");
}

TEST(CloudList, ParsesVideoElementsAndMissingChildrenReadAsZero) {
    std::string xml =
        "<videos>"
        "<video><video_time>100</video_time><video_type>3</video_type>"
        "<video_status>1</video_status><video_size>2048</video_size></video>"
        "<video><video_time>50</video_time><video_size>7</video_size></video>"
        "<video><video_time>x</video_time><video_type>4</video_type></video>"
        "</videos>";
    bool ok = false;
    auto list = ParseVideoList(xml.data(), xml.size(), &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], (VideoInfo{100, 3, 1, 2048}));
    EXPECT_EQ(list[1], (VideoInfo{50, 0, 0, 7}));
    EXPECT_EQ(list[2], (VideoInfo{0, 4, 0, 0}));

    // Elements at the top level count too.
    std::string bare = "<video><video_time>9</video_time></video><video/>";
    EXPECT_EQ(ParseVideoList(bare.data(), bare.size()).size(), 2u);

    // Not XML: nothing, and said so.
    std::string broken = "<videos><video>";
    EXPECT_TRUE(ParseVideoList(broken.data(), broken.size(), &ok).empty());
    EXPECT_FALSE(ok);
    EXPECT_TRUE(ParseVideoList(nullptr, 0, &ok).empty());
}

TEST(CloudList, SortsByTimeThenType) {
    std::vector<VideoInfo> list = {{20, 4, 1, 0}, {10, 3, 1, 0}, {20, 1, 1, 0}, {5, 9, 1, 0}};
    SortVideoList(list);
    EXPECT_EQ(list[0].videoTime, 5);
    EXPECT_EQ(list[1].videoTime, 10);
    EXPECT_EQ(list[2], (VideoInfo{20, 1, 1, 0}));
    EXPECT_EQ(list[3], (VideoInfo{20, 4, 1, 0}));
}

TEST(CloudList, LocalCopyMustHaveExactlyTheListedSize) {
    auto folder =
        std::filesystem::temp_directory_path() / ("cloud-records-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto file = folder / "f.264";
    std::ofstream(file) << "12345";
    EXPECT_TRUE(LocalCopyComplete(file, 5));
    EXPECT_FALSE(LocalCopyComplete(file, 4));
    EXPECT_FALSE(LocalCopyComplete(file, 6));
    EXPECT_FALSE(LocalCopyComplete(folder / "missing.264", 0));
    EXPECT_FALSE(LocalCopyComplete(folder, 0));  // a folder is no copy
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace orbisight
