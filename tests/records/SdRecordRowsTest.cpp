// The SD card page's rules: which rows show, their texts, the progress text,
// the local copy, and telling a recording's format by its content.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/FrameHeader.h"
#include "media/RecordFileKind.h"
#include "records/SdRecordRows.h"

namespace orbisight {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const std::vector<SdRow>& rows) {
    std::vector<std::string> names;
    for (const SdRow& row : rows) {
        names.push_back(row.name);
    }
    return names;
}

TEST(SdRows, NewestFirstNumberedFromOneWithTheirTexts) {
    auto list = ParseSdList("3|20141108093000.264,1048576|2014110814,2|20141108101500.264,1536|",
                            SdListKind::kFiles);
    auto rows = SdRowsToShow(list, "000000", "235959");
    ASSERT_EQ(Names(rows),
              (std::vector<std::string>{"20141108101500.264", "2014110814", "20141108093000.264"}));
    EXPECT_EQ(rows[0].number, 1);
    EXPECT_EQ(rows[2].number, 3);
    EXPECT_EQ(rows[0].shortName, "20141108");
    EXPECT_EQ(rows[0].sizeText, "1.50 KB");
    EXPECT_EQ(rows[2].sizeText, "1024.00 KB");
    EXPECT_TRUE(rows[0].isFile);
    EXPECT_FALSE(rows[1].isFile) << "10 characters: an hour folder";
}

TEST(SdRows, TenCharactersAreAnHourFolderElevenAFile) {
    auto rows =
        SdRowsToShow(ParseSdList("2|2014110814,3|20141108140,9|", SdListKind::kFiles), "", "");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "20141108140");
    EXPECT_TRUE(rows[0].isFile);
    EXPECT_FALSE(rows[1].isFile);
}

TEST(SdRows, TheWindowFiltersByTheNamesTimeAndStartEqualEndShowsAll) {
    auto list = ParseSdList(
        "4|20141108085959.264,1|20141108090000.264,2|20141108100000.264,3|20141108100001.264,4|",
        SdListKind::kFiles);
    EXPECT_EQ(Names(SdRowsToShow(list, "090000", "100000")),
              (std::vector<std::string>{"20141108100000.264", "20141108090000.264"}));
    EXPECT_EQ(SdRowsToShow(list, "120000", "120000").size(), 4u);
    EXPECT_EQ(SdRowsToShow(list, "130000", "080000").size(), 4u) << "start after end";
    // The example list: only "a" with 1 survives, and shows.
    auto example = SdRowsToShow(ParseSdList("x|a,1|b|c,3", SdListKind::kFiles), "", "");
    ASSERT_EQ(example.size(), 1u);
    EXPECT_EQ(example[0].name, "a");
    EXPECT_EQ(example[0].size, 1u);
    EXPECT_TRUE(SdRowsToShow(ParseSdList("no bars,1", SdListKind::kFiles), "", "").empty());
}

TEST(SdRows, ProgressTextIsAPercentOfTheListedSize) {
    EXPECT_EQ(SdProgressText(0, 0), "--%");
    EXPECT_EQ(SdProgressText(500, 0), "--%");
    EXPECT_EQ(SdProgressText(0, 1000), "0.000000 %");
    EXPECT_EQ(SdProgressText(250, 1000), "25.000000 %");
    EXPECT_EQ(SdProgressText(999, 1000), "99.900000 %");
    EXPECT_EQ(SdProgressText(1000, 1000), "100.000000 %");
    EXPECT_EQ(SdProgressText(4000, 1000), "100.000000 %") << "never above 100";
    EXPECT_EQ(SdSizeText(4000000000u), "3906250.00 KB");
}

class SdLocalFiles : public ::testing::Test {
  protected:
    void TearDown() override { fs::remove_all(root_); }
    void Write(const fs::path& path, size_t size) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
    }
    fs::path root_ = fs::temp_directory_path() / ("sdlocal-" + std::to_string(::getpid()));
};

TEST_F(SdLocalFiles, PathFollowsTheCameraAndTheRecordingsTime) {
    auto camera = NewDeviceInfo();
    camera->SetName("Front Door");
    camera->SetId("ORBI00000001");
    auto path = SdLocalPath(root_.string(), *camera, "20141108093000.264", false);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, root_ /
                         "Front Door(ORBI00000001)/2014-11-08/"
                         "Front Door(ORBI00000001)_2014-11-08-09-30-00.264");
    EXPECT_FALSE(fs::exists(path->parent_path())) << "folders only when asked";
    ASSERT_TRUE(SdLocalPath(root_.string(), *camera, "20141108093000.264", true).has_value());
    EXPECT_TRUE(fs::is_directory(path->parent_path()));
    EXPECT_FALSE(SdLocalPath(root_.string(), *camera, "2014110809", false).has_value());
}

TEST_F(SdLocalFiles, ACopyIsCompleteFromTheListedSizeOn) {
    fs::path file = root_ / "a.264";
    EXPECT_FALSE(SdLocalCopyComplete(file, 0)) << "missing";
    Write(file, 99);
    EXPECT_FALSE(SdLocalCopyComplete(file, 100));
    Write(file, 100);
    EXPECT_TRUE(SdLocalCopyComplete(file, 100));
    EXPECT_EQ(SdLocalSize(file), 100u);
    EXPECT_EQ(SdLocalSize(root_ / "none"), 0u);
    EXPECT_FALSE(SdLocalCopyComplete(root_, 0)) << "a folder is no copy";
}

std::vector<uint8_t> Record(uint32_t type, uint32_t declared, std::vector<uint8_t> payload) {
    FrameHeader header;
    header.mediaType = type;
    header.size = declared;
    header.rate = 25;
    std::vector<uint8_t> bytes(FrameHeader::kSize);
    WriteFrameHeaderFile(header, bytes.data());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

RecordFileKind Classify(const std::vector<uint8_t>& bytes) {
    return ClassifyRecordBytes(bytes.data(), bytes.size(), bytes.size());
}

TEST(RecordFileKindTest, TellsTheRecordFormatFromABareStreamByContent) {
    const std::vector<uint8_t> annexB = {0, 0, 0, 1, 0x67, 0x64, 0, 0x16};
    EXPECT_EQ(Classify(annexB), RecordFileKind::kRawH264);
    EXPECT_EQ(Classify({0, 0, 1, 0x65, 1, 2}), RecordFileKind::kRawH264);
    EXPECT_EQ(Classify(Record(mediatype::kVideo, 8, annexB)), RecordFileKind::kRecordFormat);
    EXPECT_EQ(Classify(Record(mediatype::kAudio, 3, {0xff, 0xf1, 0x50})),
              RecordFileKind::kRecordFormat);
    // A payload running one byte past the end is no record; the last byte
    // inside still is.
    EXPECT_EQ(Classify(Record(mediatype::kVideo, 9, annexB)), RecordFileKind::kOther);
    EXPECT_EQ(Classify(Record(mediatype::kVideo, 8, {1, 2, 3, 4, 5, 6, 7, 8})),
              RecordFileKind::kOther)
        << "a video record without a start code";
    EXPECT_EQ(Classify(Record(7, 8, annexB)), RecordFileKind::kOther);
    EXPECT_EQ(Classify({'f', 't', 'y', 'p', 0, 0, 0, 0}), RecordFileKind::kOther);
    EXPECT_EQ(ClassifyRecordBytes(nullptr, 0, 0), RecordFileKind::kUnreadable);
}

TEST(RecordFileKindTest, TheSimulatedCardHoldsBothForms) {
    fs::path sd = fs::path(ORBISIGHT_SOURCE_DIR) / "sim/sd/front-door/20141108";
    EXPECT_EQ(DetectRecordFileKind((sd / "20141108093000.264").string()), RecordFileKind::kRawH264);
    EXPECT_EQ(DetectRecordFileKind((sd / "20141108101500.264").string()),
              RecordFileKind::kRecordFormat);
    EXPECT_EQ(DetectRecordFileKind((sd / "2014110814/20141108140000.264").string()),
              RecordFileKind::kRecordFormat);
    EXPECT_EQ(DetectRecordFileKind((sd / "missing.264").string()), RecordFileKind::kUnreadable);
    EXPECT_EQ(DetectRecordFileKind(sd.string()), RecordFileKind::kUnreadable);
}

}  // namespace
}  // namespace orbisight
