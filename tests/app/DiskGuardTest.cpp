#include "app/DiskGuard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace orbisight {
namespace {
namespace fs = std::filesystem;

constexpr uint64_t kMb = 1048576;

class DiskGuardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/orbisight-guard-XXXXXX";
        root_ = ::mkdtemp(pattern);
        record_ = root_ / "record";
        fs::create_directories(record_);
    }
    void TearDown() override { fs::remove_all(root_); }

    // Sparse files of a given logical size, created in order so their
    // creation times sort as created.
    fs::path Make(const fs::path& path, uint64_t size) {
        fs::create_directories(path.parent_path());
        { std::ofstream(path, std::ios::binary); }
        fs::resize_file(path, size);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        return path;
    }

    fs::path root_;
    fs::path record_;
};

TEST_F(DiskGuardTest, DeletesOldestWhileTheRunningTotalStaysBelowTheAmount) {
    auto a = Make(record_ / "Door(ABC)/2024-03-05/a.264", 50 * kMb);
    auto b = Make(record_ / "Door(ABC)/2024-03-05/b.jpg", 70 * kMb);
    auto c = Make(record_ / "Yard(DEF)/c.264", 200 * kMb);
    auto d = Make(record_ / "d.mp4", 1 * kMb);
    DiskGuard guard([](const fs::path&) { return std::optional<uint64_t>(900 * kMb); });
    guard.SetRecordFolder(record_);
    auto deleted = guard.CheckOnce();
    ASSERT_EQ(deleted.size(), 2u);
    EXPECT_FALSE(fs::exists(a));
    EXPECT_FALSE(fs::exists(b));
    EXPECT_TRUE(fs::exists(c));
    EXPECT_TRUE(fs::exists(d));
}

TEST_F(DiskGuardTest, NothingHappensWithEnoughSpaceOrWithoutAFolder) {
    auto a = Make(record_ / "a.264", 10 * kMb);
    int queries = 0;
    DiskGuard guard([&](const fs::path&) {
        ++queries;
        return std::optional<uint64_t>(1024 * kMb);
    });
    EXPECT_TRUE(guard.CheckOnce().empty()) << "no record folder";
    EXPECT_EQ(queries, 0);
    guard.SetRecordFolder(record_);
    EXPECT_TRUE(guard.CheckOnce().empty());
    EXPECT_TRUE(fs::exists(a));
}

TEST_F(DiskGuardTest, NeverTouchesTheParentFolderOrForeignFiles) {
    auto sibling = Make(root_ / "other/holiday.jpg", 10 * kMb);
    auto parentFile = Make(root_ / "old.264", 10 * kMb);
    auto notes = Make(record_ / "notes.txt", 10 * kMb);
    auto ours = Make(record_ / "cam/x.264", 10 * kMb);
    fs::create_symlink(root_ / "other", record_ / "link");
    DiskGuard guard([](const fs::path&) { return std::optional<uint64_t>(0); });
    guard.SetRecordFolder(record_);
    auto deleted = guard.CheckOnce();
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0], ours);
    EXPECT_TRUE(fs::exists(sibling));
    EXPECT_TRUE(fs::exists(parentFile));
    EXPECT_TRUE(fs::exists(notes));
}

TEST(DiskGuardRule, CountToDeleteStopsAtTheFileThatReachesTheAmount) {
    std::vector<RecordFileEntry> files = {
        {"a", 50 * kMb, 1}, {"b", 70 * kMb, 2}, {"c", 200 * kMb, 3}};
    EXPECT_EQ(DiskGuard::CountToDelete(files, 124 * kMb), 2u);
    EXPECT_EQ(DiskGuard::CountToDelete(files, 120 * kMb), 1u) << "reaching exactly stops";
    EXPECT_EQ(DiskGuard::CountToDelete(files, 1000 * kMb), 3u);
    EXPECT_EQ(DiskGuard::CountToDelete(files, 10 * kMb), 0u);
    EXPECT_EQ(DiskGuard::CountToDelete({{"huge", 6ull << 30, 1}}, 7ull << 30), 1u)
        << "sizes beyond 4 GiB count whole";
}

TEST(DiskGuardRule, ClientFileExtensions) {
    for (const char* name : {"a.264", "b.JPG", "c.avi", "d.mp4", "e.ts"}) {
        EXPECT_TRUE(DiskGuard::IsClientFile(name)) << name;
    }
    for (const char* name : {"a.txt", "b.png", "LocalDevInfos.dat", "c", ".264x"}) {
        EXPECT_FALSE(DiskGuard::IsClientFile(name)) << name;
    }
}

TEST_F(DiskGuardTest, ThreadStopsPromptly) {
    DiskGuard guard([](const fs::path&) { return std::optional<uint64_t>(1ull << 40); }, 20000);
    guard.SetRecordFolder(record_);
    guard.Start();
    auto begin = std::chrono::steady_clock::now();
    guard.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1400));
}

}  // namespace
}  // namespace orbisight
