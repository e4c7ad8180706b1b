#include "media/SnapshotWriter.h"

#include <fcntl.h>
#include <png.h>
#include <stdio.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "media/RecordNames.h"

namespace orbisight {

namespace {

constexpr int kMaxSuffix = 999;

std::string LowerExtension(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

void PutLe16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

bool EncodeJpeg(const uint32_t* pixels, int width, int height, std::vector<uint8_t>& out,
                std::string& error) {
    tjhandle handle = tjInitCompress();
    if (handle == nullptr) {
        error = "cannot start the JPEG encoder";
        return false;
    }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    // 0xffRRGGBB in memory (little-endian) is B, G, R, X.
    int result = tjCompress2(handle, reinterpret_cast<const unsigned char*>(pixels), width,
                             width * 4, height, TJPF_BGRX, &jpeg, &size, TJSAMP_420,
                             kSnapshotJpegQuality, TJFLAG_ACCURATEDCT);
    if (result == 0) {
        out.assign(jpeg, jpeg + size);
    } else {
        error = tjGetErrorStr2(handle);
    }
    tjFree(jpeg);
    tjDestroy(handle);
    return result == 0;
}

bool EncodePng(const uint32_t* pixels, int width, int height, std::vector<uint8_t>& out,
               std::string& error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;  // the pictures are opaque: no alpha channel
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgb[3 * i] = static_cast<uint8_t>(pixels[i] >> 16);
        rgb[3 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(pixels[i]);
    }
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), width * 3, nullptr)) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    out.resize(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), width * 3, nullptr)) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    out.resize(size);
    png_image_free(&image);
    return true;
}

// 24 bits per pixel, bottom-up, every row padded to a multiple of 4 bytes.
void EncodeBmp(const uint32_t* pixels, int width, int height, std::vector<uint8_t>& out) {
    const size_t row = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    const size_t pixelBytes = row * static_cast<size_t>(height);
    out.assign(54 + pixelBytes, 0);
    out[0] = 'B';
    out[1] = 'M';
    PutLe32(out, 2, static_cast<uint32_t>(54 + pixelBytes));
    PutLe32(out, 10, 54);
    PutLe32(out, 14, 40);
    PutLe32(out, 18, static_cast<uint32_t>(width));
    PutLe32(out, 22, static_cast<uint32_t>(height));  // positive: bottom-up
    PutLe16(out, 26, 1);
    PutLe16(out, 28, 24);
    PutLe32(out, 34, static_cast<uint32_t>(pixelBytes));
    for (int y = 0; y < height; ++y) {
        const uint32_t* src = pixels + static_cast<size_t>(height - 1 - y) * width;
        uint8_t* dst = out.data() + 54 + static_cast<size_t>(y) * row;
        for (int x = 0; x < width; ++x) {
            uint32_t p = src[x];
            dst[3 * x] = static_cast<uint8_t>(p);
            dst[3 * x + 1] = static_cast<uint8_t>(p >> 8);
            dst[3 * x + 2] = static_cast<uint8_t>(p >> 16);
        }
    }
}

bool WriteWhole(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::filesystem::path WithSuffix(const std::filesystem::path& target, int suffix) {
    if (suffix == 0) {
        return target;
    }
    std::filesystem::path p = target;
    p.replace_filename(target.stem().string() + "(" + std::to_string(suffix) + ")" +
                       target.extension().string());
    return p;
}

// Moves temp to target without replacing anything there. EEXIST when taken.
int MoveNoReplace(const std::filesystem::path& temp, const std::filesystem::path& target) {
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without that flag: a hard link never replaces either.
    if (::link(temp.c_str(), target.c_str()) != 0) {
        return errno;
    }
    ::unlink(temp.c_str());
    return 0;
}

}  // namespace

ImageFormat ImageFormatForPath(const std::filesystem::path& path) {
    std::string ext = LowerExtension(path);
    if (ext == ".png") {
        return ImageFormat::kPng;
    }
    if (ext == ".bmp") {
        return ImageFormat::kBmp;
    }
    return ImageFormat::kJpeg;
}

bool KnownImageExtension(const std::filesystem::path& path) {
    std::string ext = LowerExtension(path);
    return ext == ".jpg" || ext == ".jpeg" || ext == ".png" || ext == ".bmp";
}

bool EncodeImage(ImageFormat format, const uint32_t* pixels, int width, int height,
                 std::vector<uint8_t>& out, std::string& error) {
    if (pixels == nullptr || width <= 0 || height <= 0) {
        error = "no picture";
        return false;
    }
    switch (format) {
        case ImageFormat::kPng:
            return EncodePng(pixels, width, height, out, error);
        case ImageFormat::kBmp:
            EncodeBmp(pixels, width, height, out);
            return true;
        case ImageFormat::kJpeg:
            break;
    }
    return EncodeJpeg(pixels, width, height, out, error);
}

bool SaveFileAtomically(const std::filesystem::path& target, SaveMode mode,
                        const std::vector<uint8_t>& bytes, std::string& written,
                        std::string& error) {
    written = target.string();
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (!CreateRecordFolder(folder, error)) {
        return false;
    }
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        error = ErrnoText(errno);
        return false;
    }
    std::filesystem::path temp(name.data());
    bool ok = WriteWhole(fd, bytes);
    int writeError = errno;
    // The picture is complete on disk before its name appears.
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        writeError = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        writeError = errno;
    }
    // mkostemp makes the file private; a picture is as readable as a recording.
    ::chmod(temp.c_str(), 0644);
    if (!ok) {
        ::unlink(temp.c_str());
        error = ErrnoText(writeError);
        return false;
    }
    if (mode == SaveMode::kReplace) {
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            error = ErrnoText(errno);
            ::unlink(temp.c_str());
            return false;
        }
        return true;
    }
    for (int suffix = 0; suffix <= kMaxSuffix; ++suffix) {
        std::filesystem::path candidate = WithSuffix(target, suffix);
        int result = MoveNoReplace(temp, candidate);
        if (result == 0) {
            written = candidate.string();
            return true;
        }
        if (result != EEXIST) {
            error = ErrnoText(result);
            ::unlink(temp.c_str());
            return false;
        }
    }
    error = ErrnoText(EEXIST);
    ::unlink(temp.c_str());
    return false;
}

}  // namespace orbisight
