#include <gtest/gtest.h>
#include <png.h>
#include <turbojpeg.h>

#include <cstring>
#include <fstream>

#include "RecordFiles.h"
#include "media/SnapshotWriter.h"

namespace orbisight {
namespace {

namespace fs = std::filesystem;
using test::FilesBelow;
using test::ScratchFolder;

// 0xffRRGGBB pixels: red, green, blue in the top row, then white, black, grey.
const std::vector<uint32_t> kSixPixels = {0xffff0000, 0xff00ff00, 0xff0000ff,
                                          0xffffffff, 0xff000000, 0xff808080};

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SnapshotWriter, TheFormatFollowsTheExtension) {
    EXPECT_EQ(ImageFormatForPath("a/b.PNG"), ImageFormat::kPng);
    EXPECT_EQ(ImageFormatForPath("a/b.bmp"), ImageFormat::kBmp);
    EXPECT_EQ(ImageFormatForPath("a/b.jpeg"), ImageFormat::kJpeg);
    EXPECT_EQ(ImageFormatForPath("a/b.gif"), ImageFormat::kJpeg);
    EXPECT_EQ(ImageFormatForPath("a/b"), ImageFormat::kJpeg);
    EXPECT_TRUE(KnownImageExtension("x.JPG"));
    EXPECT_FALSE(KnownImageExtension("x.gif"));
}

// Three pixels of 3 bytes: every row is padded from 9 to 12 bytes.
TEST(SnapshotWriter, ABitmapIsBottomUpWithPaddedRows) {
    std::vector<uint8_t> bmp;
    std::string error;
    ASSERT_TRUE(EncodeImage(ImageFormat::kBmp, kSixPixels.data(), 3, 2, bmp, error));
    ASSERT_EQ(bmp.size(), 54u + 2 * 12);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(bmp[2], 78);   // file size
    EXPECT_EQ(bmp[10], 54);  // pixel offset
    EXPECT_EQ(bmp[14], 40);  // information header size
    EXPECT_EQ(bmp[18], 3);
    EXPECT_EQ(bmp[22], 2);
    EXPECT_EQ(bmp[28], 24);
    // First stored row is the bottom one: white, black, grey as B, G, R.
    const uint8_t* bottom = bmp.data() + 54;
    EXPECT_EQ(std::vector<uint8_t>(bottom, bottom + 9),
              (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 128, 128, 128}));
    const uint8_t* top = bmp.data() + 54 + 12;
    EXPECT_EQ(std::vector<uint8_t>(top, top + 9),
              (std::vector<uint8_t>{0, 0, 255, 0, 255, 0, 255, 0, 0}));
}

TEST(SnapshotWriter, APngReadsBackPixelForPixel) {
    std::vector<uint8_t> png;
    std::string error;
    ASSERT_TRUE(EncodeImage(ImageFormat::kPng, kSixPixels.data(), 3, 2, png, error)) << error;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint32_t> back(6);
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 12, nullptr));
    EXPECT_EQ(back, kSixPixels);
}

TEST(SnapshotWriter, AJpegHasThePicturesSizeAndColours) {
    std::vector<uint32_t> red(64 * 48, 0xffff0000);
    std::vector<uint8_t> jpeg;
    std::string error;
    ASSERT_TRUE(EncodeImage(ImageFormat::kJpeg, red.data(), 64, 48, jpeg, error)) << error;
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colours = 0;
    ASSERT_EQ(tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &width, &height, &subsampling,
                                  &colours),
              0);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);
    std::vector<uint8_t> rgb(64 * 48 * 3);
    ASSERT_EQ(tjDecompress2(handle, jpeg.data(), jpeg.size(), rgb.data(), 64, 0, 48, TJPF_RGB, 0),
              0);
    tjDestroy(handle);
    EXPECT_GT(rgb[0], 240);
    EXPECT_LT(rgb[1], 16);
    EXPECT_LT(rgb[2], 16);
}

TEST(SnapshotWriter, ASavedFileKeepsAnExistingOneUnlessAskedToReplace) {
    ScratchFolder folder;
    fs::path target = folder.Path() / "cam" / "day" / "Door(ABC)_2024-03-05-07-08-09.jpg";
    std::string written, error;
    ASSERT_TRUE(SaveFileAtomically(target, SaveMode::kKeepExisting, {1, 2, 3}, written, error))
        << error;
    EXPECT_EQ(written, target.string());
    ASSERT_TRUE(SaveFileAtomically(target, SaveMode::kKeepExisting, {4}, written, error));
    EXPECT_EQ(fs::path(written).filename(), "Door(ABC)_2024-03-05-07-08-09(1).jpg");
    EXPECT_EQ(ReadAll(target), (std::vector<uint8_t>{1, 2, 3}));
    ASSERT_TRUE(SaveFileAtomically(target, SaveMode::kReplace, {9, 9}, written, error));
    EXPECT_EQ(written, target.string());
    EXPECT_EQ(ReadAll(target), (std::vector<uint8_t>{9, 9}));
    // No temporary file is left beside them.
    EXPECT_EQ(FilesBelow(folder.Path()).size(), 2u);
}

TEST(SnapshotWriter, AFolderThatCannotBeMadeFailsWithTheReason) {
    ScratchFolder folder;
    std::ofstream(folder.Path() / "taken") << "x";
    std::string written, error;
    EXPECT_FALSE(SaveFileAtomically(folder.Path() / "taken" / "a.jpg", SaveMode::kReplace, {1},
                                    written, error));
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
}

}  // namespace
}  // namespace orbisight
