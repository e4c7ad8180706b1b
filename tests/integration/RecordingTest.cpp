// Recordings and snapshots of a live stream from the camera simulator.

#include <gtest/gtest.h>
#include <png.h>
#include <turbojpeg.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

#include "media/CXOMPPlayer.h"
#include "media/HeadlessVideoSink.h"
#include "media/RecordNames.h"
#include "sim/stream/StreamTestServer.h"
#include "tests/device/ProcessRunner.h"
#include "tests/media/ChannelTestSupport.h"
#include "tests/media/RecordFiles.h"

namespace orbisight {
namespace {

namespace fs = std::filesystem;
using test::Eventually;
using test::FilesBelow;
using test::ReadRecords;
using test::ScratchFolder;

constexpr int kWaitMs = 10000;
constexpr int kWidth = 320;
constexpr int kHeight = 180;

nlohmann::json Camera() {
    return {{"id", "ORBI00000001"},
            {"name", "Front Door"},
            {"user", "admin"},
            {"password", "admin"},
            {"stream",
             {{"main", {{"width", kWidth}, {"height", kHeight}, {"gop", 5}, {"bitrate", 300000}}},
              {"clip_seconds", 1},
              {"preset", "ultrafast"},
              {"audio", true}}}};
}

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    std::array<char, 256> buffer;
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) {
        out += buffer.data();
    }
    ::pclose(pipe);
    return out;
}

class LiveRecording : public ::testing::Test {
  protected:
    void SetUp() override {
        server = std::make_unique<sim::StreamTestServer>(Camera());
        ASSERT_TRUE(server->Start());
    }
    void Open(const fs::path& recordFolder) {
        LiveChannelOptions options;
        options.videoSink = &sink;
        options.recordFolder = recordFolder.string();
        channel = std::make_unique<CXOMPPlayer>(options);
        record = test::CameraRecord(test::Direct(server->Port()));
        ASSERT_EQ(channel->Open(record.get(), &owner), 1);
        ASSERT_TRUE(Eventually([&] { return channel->Stats().decoded >= 3; }, kWaitMs));
    }
    fs::path CameraFolder() const { return folder.Path() / "Front Door(ORBI00000001)"; }

    ScratchFolder folder;
    HeadlessVideoSink sink{HeadlessVideoSink::SizeMode::kNoPictures};
    NoticeQueue owner;
    std::unique_ptr<sim::StreamTestServer> server;
    std::unique_ptr<DeviceInfo> record;
    std::unique_ptr<CXOMPPlayer> channel;
};

TEST_F(LiveRecording, ARecordingOfTheStreamIsWellFormedH264OfItsSize) {
    Open(folder.Path());
    channel->SetListening(true);  // sound in the recording too
    ASSERT_TRUE(Eventually([&] { return channel->Stats().audioFrames >= 2; }, kWaitMs));
    ASSERT_EQ(channel->ToggleRecording(), 1);
    EXPECT_TRUE(channel->Recording());
    uint64_t from = channel->Stats().videoFrames;
    ASSERT_TRUE(Eventually([&] { return channel->Stats().videoFrames >= from + 40; }, kWaitMs));
    ASSERT_EQ(channel->ToggleRecording(), 1);
    EXPECT_FALSE(channel->Recording());

    std::vector<fs::path> files = FilesBelow(folder.Path());
    ASSERT_EQ(files.size(), 1u);  // no change of file on a steady stream
    EXPECT_EQ(files[0].parent_path().parent_path(), CameraFolder());
    EXPECT_EQ(files[0].extension(), ".264");
    bool whole = false;
    auto records = ReadRecords(files[0], &whole);
    EXPECT_TRUE(whole);
    ASSERT_GE(records.size(), 30u);
    EXPECT_EQ(records.front().header.mediaType, mediatype::kVideo);
    EXPECT_TRUE(records.front().header.KeyFrame());
    fs::path video = folder.Path() / "video.h264";
    std::ofstream out(video, std::ios::binary);
    size_t audio = 0;
    for (const auto& r : records) {
        ASSERT_TRUE(r.header.mediaType == mediatype::kVideo ||
                    r.header.mediaType == mediatype::kAudio);
        EXPECT_EQ(r.header.size, r.payload.size());
        if (r.header.mediaType == mediatype::kVideo) {
            EXPECT_EQ(r.header.rate, 25u);
            out.write(reinterpret_cast<const char*>(r.payload.data()),
                      static_cast<std::streamsize>(r.payload.size()));
        } else {
            EXPECT_GE(r.header.rate, 8000u);
            ++audio;
        }
    }
    out.close();
    EXPECT_GT(audio, 0u);
    if (!fs::exists("/usr/bin/ffprobe")) {
        GTEST_SKIP() << "ffprobe is not installed";
    }
    std::string probe = RunCommand(
        "/usr/bin/ffprobe -v error -f h264 -select_streams v:0 -count_frames -show_entries "
        "stream=codec_name,width,height,nb_read_frames -of csv=p=0 '" +
        video.string() + "' 2>&1");
    size_t videoRecords = records.size() - audio;
    EXPECT_EQ(probe, "h264," + std::to_string(kWidth) + "," + std::to_string(kHeight) + "," +
                         std::to_string(videoRecords) + "\n");
}

TEST_F(LiveRecording, ASnapshotIsTheNextPictureAtItsOwnSize) {
    Open(folder.Path());
    ASSERT_EQ(channel->TakeSnapshot(), 1);
    ASSERT_TRUE(Eventually([&] { return channel->SnapshotsSaved() == 1; }, kWaitMs));
    fs::path jpeg = channel->LastSnapshot();
    EXPECT_EQ(jpeg.parent_path().parent_path(), CameraFolder());
    EXPECT_EQ(jpeg.extension(), ".jpg");
    std::vector<fs::path> files = FilesBelow(folder.Path());
    ASSERT_EQ(files.size(), 1u);  // and nothing temporary beside it

    std::ifstream in(jpeg, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colours = 0;
    EXPECT_EQ(tjDecompressHeader3(handle, bytes.data(), bytes.size(), &width, &height, &subsampling,
                                  &colours),
              0);
    tjDestroy(handle);
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);

    // A second snapshot within the same second keeps the first.
    ASSERT_EQ(channel->TakeSnapshot(), 1);
    ASSERT_TRUE(Eventually([&] { return channel->SnapshotsSaved() == 2; }, kWaitMs));
    EXPECT_TRUE(fs::exists(jpeg));
    EXPECT_EQ(FilesBelow(folder.Path()).size(), 2u);
}

TEST_F(LiveRecording, SnapshotsInOtherFormatsReadBack) {
    Open(folder.Path());
    fs::path png = folder.Path() / "out" / "shot.png";
    fs::path bmp = folder.Path() / "out" / "shot.BMP";
    ASSERT_EQ(channel->TakeSnapshotTo(png.string()), 1);
    ASSERT_TRUE(Eventually([&] { return channel->SnapshotsSaved() == 1; }, kWaitMs));
    ASSERT_EQ(channel->TakeSnapshotTo(bmp.string()), 1);
    ASSERT_TRUE(Eventually([&] { return channel->SnapshotsSaved() == 2; }, kWaitMs));

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str()));
    EXPECT_EQ(image.width, static_cast<unsigned>(kWidth));
    EXPECT_EQ(image.height, static_cast<unsigned>(kHeight));
    png_image_free(&image);

    std::ifstream in(bmp, std::ios::binary);
    std::vector<uint8_t> head(54);
    in.read(reinterpret_cast<char*>(head.data()), 54);
    EXPECT_EQ(head[0], 'B');
    EXPECT_EQ(head[18] | head[19] << 8, kWidth);
    EXPECT_EQ(head[22] | head[23] << 8, kHeight);
    EXPECT_EQ(fs::file_size(bmp), 54u + kWidth * 3 * kHeight);
}

TEST_F(LiveRecording, AFolderThatCannotBeWrittenIsToldAndNothingRecords) {
    std::ofstream(folder.Path() / "taken") << "x";
    Open(folder.Path() / "taken");
    // Accepted at once (nothing waits for the disk); the next frame finds
    // that the file cannot be made.
    EXPECT_EQ(channel->ToggleRecording(), 1);
    Notice notice;
    ASSERT_TRUE(owner.WaitFor(notice::kMediaFileFailed, notice, kWaitMs));
    EXPECT_FALSE(channel->Recording());
    EXPECT_EQ(notice.wParam, CXOMPPlayer::kFailedRecording);
    EXPECT_EQ(notice.text.rfind("cannot write " + (folder.Path() / "taken").string(), 0), 0u)
        << notice.text;
    EXPECT_NE(notice.text.find("Not a directory"), std::string::npos) << notice.text;

    EXPECT_EQ(channel->TakeSnapshot(), 1);  // accepted; fails when the picture comes
    ASSERT_TRUE(owner.WaitFor(notice::kMediaFileFailed, notice, kWaitMs));
    EXPECT_EQ(notice.wParam, CXOMPPlayer::kFailedSnapshot);
    EXPECT_EQ(channel->SnapshotsSaved(), 0u);
}

// orbisight-cli watch --record / --snapshot against the same camera.
class WatchRecording : public LiveRecording {
  protected:
    testing::ProcessResult Watch(std::vector<std::string> words) {
        std::vector<std::string> argv = {std::string(ORBISIGHT_BIN_DIR) + "/orbisight-cli",
                                         "watch",
                                         "--address",
                                         "ssp://127.0.0.1:" + std::to_string(server->Port()),
                                         "--user",
                                         "admin",
                                         "--password",
                                         "admin",
                                         "--id",
                                         "ORBI00000001",
                                         "--name",
                                         "Front Door",
                                         "--no-pictures",
                                         "--seconds",
                                         "2"};
        argv.insert(argv.end(), words.begin(), words.end());
        return testing::RunProgram(argv);
    }
    static nlohmann::json Summary(const testing::ProcessResult& result) {
        std::string last = result.out.substr(result.out.rfind('{'));
        return nlohmann::json::parse(last, nullptr, false);
    }
};

TEST_F(WatchRecording, RecordsAndSnapsIntoThePathsItPrints) {
    fs::path shot = folder.Path() / "shots" / "door.jpg";
    auto result = Watch({"--record", folder.Path().string(), "--snapshot", shot.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    nlohmann::json summary = Summary(result);
    ASSERT_TRUE(summary.is_object()) << result.out;
    ASSERT_EQ(summary["record_files"].size(), 1u) << result.out;
    fs::path file = summary["record_files"][0].get<std::string>();
    EXPECT_EQ(file.parent_path().parent_path(), CameraFolder());
    auto records = ReadRecords(file);
    ASSERT_FALSE(records.empty());
    EXPECT_TRUE(records.front().header.KeyFrame());
    EXPECT_EQ(summary["snapshot"], shot.string());
    EXPECT_GT(fs::file_size(shot), 0u);
}

TEST_F(WatchRecording, WhatCannotBeWrittenEndsWithAReason) {
    std::ofstream(folder.Path() / "taken") << "x";
    auto record = Watch({"--record", (folder.Path() / "taken").string()});
    EXPECT_EQ(record.exitCode, 6);
    EXPECT_NE(record.err.find("recording stopped: cannot write"), std::string::npos) << record.err;
    EXPECT_NE(record.err.find("Not a directory"), std::string::npos) << record.err;

    auto snapshot = Watch({"--snapshot", (folder.Path() / "taken" / "a.jpg").string()});
    EXPECT_EQ(snapshot.exitCode, 6);
    EXPECT_NE(snapshot.err.find("snapshot not saved"), std::string::npos) << snapshot.err;

    auto gif = Watch({"--snapshot", (folder.Path() / "a.gif").string()});
    EXPECT_EQ(gif.exitCode, 2);
    EXPECT_NE(gif.err.find(".jpg, .jpeg, .png or .bmp"), std::string::npos) << gif.err;
}

}  // namespace
}  // namespace orbisight
