#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <vector>

#include "media/CHalvexDecoder.h"
#include "media/MediaFrame.h"
#include "sim/stream/ClipCache.h"
#include "sim/stream/ClipStore.h"

namespace orbisight {
namespace {

using sim::ClipCache;
using sim::ClipPriority;
using sim::ClipStore;
using sim::VideoClip;
using sim::VideoClipParams;

VideoClipParams SmallParams(const std::string& name = "Store test", int width = 160,
                            int height = 90) {
    VideoClipParams params;
    params.name = name;
    params.width = width;
    params.height = height;
    params.fps = 25;
    params.gop = 5;
    params.bitRate = 200000;
    params.seconds = 1;
    params.preset = "ultrafast";
    return params;
}

class Folder {
  public:
    Folder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("orbisight-clips-" + std::to_string(::getpid()) + "-" + info->name());
        std::filesystem::remove_all(path_);
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

bool SameFrames(const VideoClip& a, const VideoClip& b) {
    if (a.frames.size() != b.frames.size()) {
        return false;
    }
    for (size_t i = 0; i < a.frames.size(); ++i) {
        if (a.frames[i].data != b.frames[i].data || a.frames[i].key != b.frames[i].key) {
            return false;
        }
    }
    return true;
}

bool Ready(const sim::ClipFuture& future) {
    return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

TEST(ClipStore, KeepsAClipExactlyAndRefusesDamagedOrForeignFiles) {
    VideoClipParams params = SmallParams();
    auto clip = sim::EncodeVideoClip(params);
    ASSERT_EQ(clip->frames.size(), params.FrameCount());
    std::vector<uint8_t> bytes = ClipStore::Serialize(*clip);
    auto back = ClipStore::Parse(params, bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(SameFrames(*clip, *back));
    EXPECT_EQ(back->largestFrame, clip->largestFrame);

    // Torn files, at the header, inside the sizes and one byte short.
    for (size_t keep : {size_t{0}, size_t{11}, size_t{60}, bytes.size() / 2, bytes.size() - 1}) {
        std::vector<uint8_t> torn(bytes.begin(), bytes.begin() + static_cast<long>(keep));
        EXPECT_EQ(ClipStore::Parse(params, torn), nullptr) << keep;
    }
    // A changed byte anywhere in the pictures.
    std::vector<uint8_t> flipped = bytes;
    flipped[bytes.size() - 100] ^= 0x20;
    EXPECT_EQ(ClipStore::Parse(params, flipped), nullptr);
    // Another camera's clip, or the same camera at another bit rate.
    VideoClipParams other = params;
    other.name = "Elsewhere";
    EXPECT_EQ(ClipStore::Parse(other, bytes), nullptr);
    other = params;
    other.bitRate = 100000;
    EXPECT_EQ(ClipStore::Parse(other, bytes), nullptr);

    // Sound checksums, unsound content: a frame that is no Annex B access
    // unit, a "key frame" without parameter sets, a frame missing.
    VideoClip broken = *clip;
    broken.frames[2].data[2] = 0x7F;
    broken.frames[2].data[3] = 0x7F;
    EXPECT_EQ(ClipStore::Parse(params, ClipStore::Serialize(broken)), nullptr);
    broken = *clip;
    broken.frames[1].key = true;
    EXPECT_EQ(ClipStore::Parse(params, ClipStore::Serialize(broken)), nullptr);
    broken = *clip;
    broken.frames.pop_back();
    EXPECT_EQ(ClipStore::Parse(params, ClipStore::Serialize(broken)), nullptr);
}

TEST(ClipCache, ClipsComeBackFromDiskAndDamagedFilesAreEncodedAgain) {
    Folder folder;
    VideoClipParams params = SmallParams("Disk test");
    std::shared_ptr<const VideoClip> first;
    {
        ClipCache cache(1);
        cache.SetDiskFolder(folder.Path());
        first = cache.Get(params);
        EXPECT_EQ(cache.Read().encoded, 1u);
        EXPECT_EQ(cache.Read().fromDisk, 0u);
    }
    ClipStore store(folder.Path());
    ASSERT_TRUE(std::filesystem::exists(store.FileFor(params)));
    {
        ClipCache cache(1);
        cache.SetDiskFolder(folder.Path());
        sim::ClipFuture future = cache.GetAsync(params);
        ASSERT_TRUE(Ready(future));  // read on the asking thread, no waiting
        EXPECT_TRUE(SameFrames(*future.get(), *first));
        EXPECT_EQ(cache.Read().encoded, 0u);
        EXPECT_EQ(cache.Read().fromDisk, 1u);
    }
    std::filesystem::resize_file(store.FileFor(params), 1000);
    {
        ClipCache cache(1);
        cache.SetDiskFolder(folder.Path());
        EXPECT_TRUE(SameFrames(*cache.Get(params), *first));
        EXPECT_EQ(cache.Read().encoded, 1u);
    }
    auto repaired = store.Load(params);
    ASSERT_NE(repaired, nullptr);
    EXPECT_TRUE(SameFrames(*repaired, *first));
}

TEST(ClipCache, AClipAConnectionWaitsForGoesAheadOfTheBackground) {
    ClipCache cache(1);
    std::vector<sim::ClipFuture> background;
    for (int i = 0; i < 8; ++i) {
        VideoClipParams params = SmallParams("Background " + std::to_string(i), 640, 360);
        params.seconds = 2;
        background.push_back(cache.GetAsync(params, ClipPriority::kBackground));
    }
    // The last one queued is asked for by a connection: it is next.
    VideoClipParams wanted = SmallParams("Background 7", 640, 360);
    wanted.seconds = 2;
    EXPECT_FALSE(cache.GetAsync(wanted).get()->frames.empty());
    int waiting = 0;
    for (int i = 1; i < 7; ++i) {
        waiting += Ready(background[static_cast<size_t>(i)]) ? 0 : 1;
    }
    EXPECT_GE(waiting, 3);
}

TEST(ClipCache, StoppingGivesWaitersAnEmptyClipInsteadOfHangingThem) {
    auto cache = std::make_unique<ClipCache>(1);
    VideoClipParams big = SmallParams("Big", 1280, 720);
    big.seconds = 30;
    sim::ClipFuture encoding = cache->GetAsync(big);
    sim::ClipFuture queued = cache->GetAsync(SmallParams("Queued"));
    cache.reset();
    EXPECT_TRUE(encoding.get()->frames.empty());
    EXPECT_TRUE(queued.get()->frames.empty());
}

TEST(ClipCache, TheStillStandInIsOneGopOfTheStreamsSizeMadeOnce) {
    ClipCache cache(1);
    VideoClipParams params = SmallParams("Still test", 320, 180);
    auto still = cache.Still(params);
    ASSERT_EQ(still->frames.size(), 5u);
    EXPECT_TRUE(still->still);
    for (size_t i = 0; i < still->frames.size(); ++i) {
        EXPECT_EQ(still->frames[i].key, i == 0) << i;
    }
    EXPECT_EQ(cache.Still(params), still);
    EXPECT_EQ(cache.Read().stills, 1u);
    EXPECT_EQ(cache.Read().encoded, 0u);

    CHalvexDecoder decoder;
    for (const auto& frame : still->frames) {
        FrameBuffer buffer(frame.data.size());
        std::copy(frame.data.begin(), frame.data.end(), buffer.Data());
        EXPECT_GT(decoder.Decode(buffer.Data(), frame.data.size()), 0);
    }
    EXPECT_EQ(decoder.Pictures(), 5u);
    EXPECT_EQ(decoder.Size(), (PictureSize{320, 180}));
}

}  // namespace
}  // namespace orbisight
