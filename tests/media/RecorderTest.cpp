#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

#include "RecordFiles.h"
#include "media/CHalvexRecorder.h"
#include "media/RecordNames.h"

namespace orbisight {
namespace {

namespace fs = std::filesystem;
using test::FilesBelow;
using test::ReadRecords;
using test::ScratchFolder;

constexpr std::time_t kSomeSecond = 1709622489;  // any second: names are compared, not read

FrameHeader Video(uint32_t timeStamp, bool key, uint32_t size = 16) {
    FrameHeader h;
    h.flags = key ? 1 : 0;
    h.mediaType = mediatype::kVideo;
    h.size = size;
    h.rate = 25;
    h.timeStamp = timeStamp;
    return h;
}

FrameHeader Audio(uint32_t timeStamp, uint32_t size = 8) {
    FrameHeader h;
    h.mediaType = mediatype::kAudio;
    h.size = size;
    h.rate = 8000;
    h.timeStamp = timeStamp;
    return h;
}

// A recorder on a scratch folder with a clock the test moves.
class Recorder : public ::testing::Test {
  protected:
    void Make(int minutes = 60, CHalvexRecorder::Options options = {}) {
        options.recordFolder = folder.Path().string();
        options.segmentMinutes = minutes;
        options.nowMs = [this] { return nowMs.load(); };
        options.wallClock = [this] { return wallSecond.load(); };
        recorder = std::make_unique<CHalvexRecorder>(std::move(options));
        recorder->SetFailureHandler([this](const std::string& path, const std::string& error) {
            std::lock_guard lock(mutex);
            failures.push_back(path + ": " + error);
        });
    }
    void Write(const FrameHeader& h) {
        std::vector<uint8_t> payload(h.size, static_cast<uint8_t>(h.timeStamp));
        recorder->Write(h, payload.data());
    }
    // Time stamps of the records of the n-th kept file.
    std::vector<uint32_t> Stamps(size_t n) {
        std::vector<uint32_t> stamps;
        for (const auto& r : ReadRecords(recorder->Files().at(n))) {
            stamps.push_back(r.header.timeStamp);
        }
        return stamps;
    }
    std::vector<std::string> Failures() {
        std::lock_guard lock(mutex);
        return failures;
    }

    ScratchFolder folder;
    std::atomic<int64_t> nowMs{1000};
    std::atomic<std::time_t> wallSecond{kSomeSecond};
    std::unique_ptr<CHalvexRecorder> recorder;
    std::mutex mutex;
    std::vector<std::string> failures;  // protected by mutex
};

TEST(RecordNames, FollowTheCameraAndTheLocalTime) {
    RecordTime t{2024, 3, 5, 7, 8, 9};
    RecordName name = BuildRecordName("R", "Door", "ABC", t);
    EXPECT_EQ(name.File(".264").string(),
              "R/Door(ABC)/2024-03-05/Door(ABC)_2024-03-05-07-08-09.264");
    EXPECT_EQ(name.File(".jpg").string(),
              "R/Door(ABC)/2024-03-05/Door(ABC)_2024-03-05-07-08-09.jpg");
    EXPECT_EQ(name.File(".264", 1).string(),
              "R/Door(ABC)/2024-03-05/Door(ABC)_2024-03-05-07-08-09(1).264");
    RecordTime late{2025, 12, 31, 23, 59, 58};
    EXPECT_EQ(BuildRecordName("/r", "Hall", "X1", late).File(".264").string(),
              "/r/Hall(X1)/2025-12-31/Hall(X1)_2025-12-31-23-59-58.264");
}

TEST(RecordNames, CharactersThatCannotBeInAFileNameAreReplaced) {
    std::string withNul("Gar\0age", 7);
    RecordName name = BuildRecordName("R", "Front/Back", withNul, RecordTime{2024, 3, 5, 7, 8, 9});
    EXPECT_EQ(name.folder.string(), "R/Front_Back(Gar_age)/2024-03-05");
    EXPECT_EQ(name.stem, "Front_Back(Gar_age)_2024-03-05-07-08-09");
    // Nothing else is touched, dots and spaces included.
    EXPECT_EQ(FileNameSafe(".. Tür\\1"), ".. Tür\\1");
}

TEST(RecordNames, ASecondFileOfTheSameSecondIsNumberedAndTheFirstKept) {
    ScratchFolder folder;
    RecordName name =
        BuildRecordName(folder.Path().string(), "Door", "ABC", RecordTime{2024, 3, 5, 7, 8, 9});
    fs::path first, second, third;
    std::string error;
    int a = CreateNewRecordFile(name, ".264", first, error);
    ASSERT_GE(a, 0) << error;
    ASSERT_EQ(::write(a, "keep", 4), 4);
    ::close(a);
    int b = CreateNewRecordFile(name, ".264", second, error);
    int c = CreateNewRecordFile(name, ".264", third, error);
    ASSERT_GE(b, 0);
    ASSERT_GE(c, 0);
    ::close(b);
    ::close(c);
    EXPECT_EQ(first, name.File(".264"));
    EXPECT_EQ(second.filename(), "Door(ABC)_2024-03-05-07-08-09(1).264");
    EXPECT_EQ(third.filename(), "Door(ABC)_2024-03-05-07-08-09(2).264");
    EXPECT_EQ(fs::file_size(first), 4u);
}

TEST(RecordNames, AFolderThatCannotBeCreatedFailsTheFile) {
    ScratchFolder folder;
    std::ofstream(folder.Path() / "R") << "a file where the folder should be";
    RecordName name = BuildRecordName((folder.Path() / "R").string(), "Door", "ABC",
                                      RecordTime{2024, 3, 5, 7, 8, 9});
    fs::path created;
    std::string error;
    EXPECT_EQ(CreateNewRecordFile(name, ".264", created, error), -1);
    EXPECT_FALSE(error.empty());
}

TEST_F(Recorder, AFileStartsAtAKeyFrameInLittleEndianRecords) {
    Make();
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    // Started mid-GOP: nothing, audio included, until the key frame.
    Write(Audio(100));
    Write(Video(120, false));
    Write(Audio(140));
    Write(Video(160, true, 40));
    Write(Audio(170));
    Write(Video(200, false));
    recorder->Stop();
    ASSERT_EQ(recorder->Files().size(), 1u);
    fs::path file = recorder->Files()[0];
    EXPECT_EQ(file.parent_path().parent_path().filename(), "Door(ABC)");
    EXPECT_EQ(file.extension(), ".264");
    EXPECT_EQ(Stamps(0), (std::vector<uint32_t>{160, 170, 200}));

    std::ifstream in(file, std::ios::binary);
    uint8_t head[28];
    in.read(reinterpret_cast<char*>(head), 28);
    EXPECT_EQ(head[0], 1);     // key frame flag
    EXPECT_EQ(head[4], 1);     // video
    EXPECT_EQ(head[8], 40);    // payload size, low byte first
    EXPECT_EQ(head[12], 25);   // rate
    EXPECT_EQ(head[16], 160);  // time stamp
    EXPECT_EQ(fs::file_size(file), 3 * 28u + 40 + 8 + 16);
}

TEST_F(Recorder, ATimeStampStepAbove3sOrBackwardsBeginsANewFile) {
    Make();
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(10000, true));
    Write(Video(13000, false));  // exactly 3000 ms: same file
    Write(Video(16001, false));  // 3001 ms: new file, this frame lost
    Write(Video(16040, false));  // the new file waits for a key frame
    Write(Video(16080, true));
    Write(Video(16120, false));
    Write(Video(16119, true));  // 1 ms back: new file, lost
    Write(Video(16160, true));
    recorder->Stop();
    ASSERT_EQ(recorder->Files().size(), 3u);
    EXPECT_EQ(Stamps(0), (std::vector<uint32_t>{10000, 13000}));
    EXPECT_EQ(Stamps(1), (std::vector<uint32_t>{16080, 16120}));
    EXPECT_EQ(Stamps(2), (std::vector<uint32_t>{16160}));
    // All three began within the same second: numbered, none overwritten.
    EXPECT_EQ(fs::path(recorder->Files()[1]).stem().string().back(), ')');
    EXPECT_TRUE(Failures().empty());
}

// A camera stamps sound and pictures from one clock but sends them in
// bundles: a sound frame may carry a later stamp than the picture after it.
TEST_F(Recorder, SoundAndPicturesAreTimedApart) {
    Make();
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(1000, true));
    Write(Audio(1064));
    Write(Video(1040, false));  // behind the sound, ahead of the last picture
    Write(Audio(1128));
    Write(Video(1080, false));
    Write(Audio(1127));  // the sound itself steps back: new file
    Write(Video(1120, true));
    recorder->Stop();
    ASSERT_EQ(recorder->Files().size(), 2u);
    EXPECT_EQ(Stamps(0), (std::vector<uint32_t>{1000, 1064, 1040, 1128, 1080}));
    EXPECT_EQ(Stamps(1), (std::vector<uint32_t>{1120}));
}

TEST_F(Recorder, TheTimeStampWrapsAround) {
    Make();
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(0xFFFFFF00u, true));
    Write(Video(0x00000100u, false));  // 512 ms later on a 32-bit clock
    recorder->Stop();
    EXPECT_EQ(Stamps(0).size(), 2u);
}

TEST_F(Recorder, AFileLastsTheSegmentLengthFromItsFirstFrame) {
    Make(1);
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    nowMs = 5000;
    Write(Video(0, true));  // the segment begins here
    nowMs = 5000 + 59999;
    Write(Video(40, false));
    nowMs = 5000 + 60000;
    wallSecond = kSomeSecond + 60;
    Write(Video(80, true));  // a minute: new file, frame lost
    Write(Video(120, true));
    recorder->Stop();
    ASSERT_EQ(recorder->Files().size(), 2u);
    EXPECT_EQ(Stamps(0), (std::vector<uint32_t>{0, 40}));
    EXPECT_EQ(Stamps(1), (std::vector<uint32_t>{120}));
}

TEST_F(Recorder, ANewRecordingIsANewSegment) {
    Make(1);
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(0, true));
    nowMs += 50000;
    recorder->Stop();
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    nowMs += 20000;  // 70 s after the first segment began, 20 s into this one
    Write(Video(100, true));
    nowMs += 59999;
    Write(Video(140, false));
    recorder->Stop();
    ASSERT_EQ(recorder->Files().size(), 2u);
    EXPECT_EQ(Stamps(1), (std::vector<uint32_t>{100, 140}));
}

TEST_F(Recorder, ASegmentLengthBelowOneMinuteMeansTheDefault) {
    Make(0);
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(0, true));
    nowMs += 59 * 60 * 1000;
    Write(Video(40, false));
    recorder->Stop();
    EXPECT_EQ(Stamps(0).size(), 2u);
}

TEST_F(Recorder, NewSettingsTakeEffectAtTheNextFile) {
    Make(60);
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(0, true));
    recorder->SetRecordSettings((folder.Path() / "new").string(), 1);
    Write(Video(40, false));   // same file
    Write(Video(9000, true));  // a gap: the next file goes to the new folder
    Write(Video(9040, true));
    nowMs += 60000;  // and lasts the new length
    Write(Video(9080, true));
    recorder->Stop();
    auto files = recorder->Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(Stamps(0), (std::vector<uint32_t>{0, 40}));
    EXPECT_EQ(fs::path(files[1]).parent_path().parent_path().parent_path(), folder.Path() / "new");
    EXPECT_EQ(Stamps(1), (std::vector<uint32_t>{9040}));
}

// An empty record folder is "no folder", never the current directory: a
// start is refused, and a running recording ends at its next file with the
// reason.
TEST_F(Recorder, AnEmptyFolderRefusesTheStartAndEndsARunningRecording) {
    test::ScratchFolder cwd;
    fs::path before = fs::current_path();
    fs::current_path(cwd.Path());
    Make(60);
    recorder->SetRecordSettings("", 60);
    EXPECT_FALSE(recorder->Start("ABC", "Door"));
    EXPECT_FALSE(recorder->Active());

    recorder->SetRecordSettings(folder.Path().string(), 60);
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(0, true));
    recorder->SetRecordSettings("", 60);
    Write(Video(40, false));   // the open file goes on
    Write(Video(9000, true));  // a gap: a new file is due, and has no folder
    EXPECT_FALSE(recorder->Active());
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_NE(Failures()[0].find("no record folder"), std::string::npos) << Failures()[0];
    EXPECT_EQ(Stamps(0), (std::vector<uint32_t>{0, 40}));
    EXPECT_TRUE(FilesBelow(cwd.Path()).empty());
    fs::current_path(before);
}

TEST_F(Recorder, ARecordingWithoutAKeyFrameLeavesNoFile) {
    Make();
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(0, false));
    Write(Audio(10));
    recorder->Stop();
    EXPECT_TRUE(recorder->Files().empty());
    EXPECT_TRUE(FilesBelow(folder.Path()).empty());
}

TEST_F(Recorder, AFileThatCannotBeCreatedStopsAndIsReported) {
    Make();
    // A file stands where the camera's folder should be.
    std::ofstream(folder.Path() / "Door(ABC)") << "x";
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    EXPECT_TRUE(Failures().empty());  // nothing touched the disk yet
    Write(Video(0, false));           // the first frame makes the file
    EXPECT_FALSE(recorder->Active());
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_NE(Failures()[0].find("Door(ABC)"), std::string::npos);
    EXPECT_NE(Failures()[0].find("Not a directory"), std::string::npos) << Failures()[0];
    Write(Video(40, true));  // idle: nothing happens
    EXPECT_EQ(Failures().size(), 1u);
}

TEST_F(Recorder, AReadOnlyFolderStopsTheRecording) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    Make();
    fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(0, true));
    EXPECT_FALSE(recorder->Active());
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_NE(Failures()[0].find("Permission denied"), std::string::npos) << Failures()[0];
}

TEST_F(Recorder, AFileThatCannotBeCreatedAtAChangeOfFileStopsAndIsReported) {
    CHalvexRecorder::Options options;
    int calls = 0;
    options.createFile = [&](const RecordName& name, std::string& path, std::string& error) {
        path = name.File(".264").string();
        if (++calls > 1) {
            error = ErrnoText(EACCES);
            return -1;
        }
        fs::path created;
        int fd = CreateNewRecordFile(name, ".264", created, error);
        path = created.string();
        return fd;
    };
    Make(60, options);
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(0, true));
    Write(Video(5000, true));  // a gap: the next file cannot be created
    EXPECT_FALSE(recorder->Active());
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_NE(Failures()[0].find("Permission denied"), std::string::npos);
    Write(Video(5040, true));
    EXPECT_EQ(calls, 2);  // no retry behind the user's back
    EXPECT_EQ(Stamps(0), (std::vector<uint32_t>{0}));
}

TEST_F(Recorder, AFailedWriteStopsAndIsReported) {
    CHalvexRecorder::Options options;
    // A full disk: the writes go to /dev/full, under a name of the folder
    // (an empty file is removed after a failure, the device must not be).
    options.createFile = [this](const RecordName&, std::string& path, std::string&) {
        path = (folder.Path() / "full.264").string();
        return ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    };
    Make(60, options);
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(0, false));  // not written: no failure yet
    EXPECT_TRUE(recorder->Active());
    Write(Video(40, true));
    EXPECT_FALSE(recorder->Active());
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_EQ(Failures()[0], (folder.Path() / "full.264").string() + ": " + ErrnoText(ENOSPC));
}

TEST_F(Recorder, AWriteOnAClosedDescriptorStopsAndIsReported) {
    CHalvexRecorder::Options options;
    options.createFile = [](const RecordName& name, std::string& path, std::string& error) {
        fs::path created;
        int fd = CreateNewRecordFile(name, ".264", created, error);
        path = created.string();
        int readOnly = ::open(created.c_str(), O_RDONLY | O_CLOEXEC);
        ::close(fd);
        return readOnly;  // a descriptor that refuses writes
    };
    Make(60, options);
    ASSERT_TRUE(recorder->Start("ABC", "Door"));
    Write(Video(0, true));
    EXPECT_FALSE(recorder->Active());
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_NE(Failures()[0].find(ErrnoText(EBADF)), std::string::npos) << Failures()[0];
    EXPECT_TRUE(FilesBelow(folder.Path()).empty());  // the empty file is not left behind
}

// The window thread starts and stops while the splitting thread writes: no
// record is ever cut, and every file begins with a key frame.
TEST_F(Recorder, StartsAndStopsNeverCutARecord) {
    Make();
    std::atomic<bool> done{false};
    std::thread writer([&] {
        uint32_t ts = 0;
        std::vector<uint8_t> payload(32 * 1024, 0x5a);
        for (int i = 0; i < 1500; ++i) {
            ts += 40;
            FrameHeader h = (i % 3 == 2) ? Audio(ts, 512) : Video(ts, i % 9 == 0, 32 * 1024);
            recorder->Write(h, payload.data());
        }
        done = true;
    });
    int toggles = 0;
    while (!done) {
        wallSecond = kSomeSecond + toggles;  // one file name per start
        recorder->Start("ABC", "Door");
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        recorder->Stop();
        ++toggles;
    }
    writer.join();
    EXPECT_TRUE(Failures().empty());
    size_t records = 0;
    for (const fs::path& file : FilesBelow(folder.Path())) {
        bool whole = false;
        auto list = ReadRecords(file, &whole);
        EXPECT_TRUE(whole) << file;
        ASSERT_FALSE(list.empty()) << file;  // empty files are removed
        EXPECT_TRUE(list.front().header.KeyFrame());
        EXPECT_EQ(list.front().header.mediaType, mediatype::kVideo);
        records += list.size();
    }
    EXPECT_EQ(records, recorder->FramesWritten());
}

}  // namespace
}  // namespace orbisight
