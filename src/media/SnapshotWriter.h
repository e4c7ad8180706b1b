#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orbisight {

// Snapshot files: a picture (0xffRRGGBB pixels, as the renderer converts
// them) encoded by the name's extension and put in place in one step.
enum class ImageFormat { kJpeg, kPng, kBmp };

// "png" and "bmp" (any case) give their formats, everything else JPEG.
ImageFormat ImageFormatForPath(const std::filesystem::path& path);
// True for the extensions that have their own format: jpg, jpeg, png, bmp.
bool KnownImageExtension(const std::filesystem::path& path);

constexpr int kSnapshotJpegQuality = 90;

// pixels: width x height, rows of width pixels one after the other.
bool EncodeImage(ImageFormat format, const uint32_t* pixels, int width, int height,
                 std::vector<uint8_t>& out, std::string& error);

enum class SaveMode {
    kReplace,       // the target is replaced when it exists (an exact path asked for)
    kKeepExisting,  // an existing file is kept: the new one gets "(1)", "(2)" ... before its
                    // extension
};

// Writes the bytes into a temporary file in the target's own folder and
// renames it into place, so the target never holds half a picture and no
// other folder is touched. Creates the folder when missing. written is the
// path that was used.
bool SaveFileAtomically(const std::filesystem::path& target, SaveMode mode,
                        const std::vector<uint8_t>& bytes, std::string& written,
                        std::string& error);

}  // namespace orbisight
