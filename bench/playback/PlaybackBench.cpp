// playback_bench: how long the playback window's "Analyzing, please wait..."
// lasts for a large recording. Builds the index of a generated recording
// (headers only, payloads skipped) and, as the reference of the same run,
// reads the whole file; prints the median of each and their ratio, and the
// least that one read per record or a mapping of the file costs here.
//
//   playback_bench [--size-mib 1024] [--folder DIR] [--rounds 5] [--p-frame-bytes 8000]
//                  [--cold] [--keep FILE]
//
// The recording looks like a 720p camera's: 25 pictures a second, a key
// frame every 25 of 7.5 times the size of the others (8000 bytes: about
// 2 Mbit/s), and 8 sound records of 200 bytes a second. Warm by default (the file was just written
// and sits in the page cache); --cold drops the file's pages before every
// pass (posix_fadvise; a tmpfs folder keeps them anyway).

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "media/FrameHeader.h"
#include "media/RecordFileIndex.h"

namespace fs = std::filesystem;
using namespace orbisight;

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool Generate(const fs::path& path, uint64_t bytes, uint32_t pFrame, uint64_t& records) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    const uint32_t keyFrame = pFrame * 15 / 2;
    std::vector<uint8_t> payload(keyFrame, 0x5a);
    uint8_t header[FrameHeader::kSize];
    uint64_t written = 0;
    records = 0;
    uint32_t t = 0;
    for (uint32_t frame = 0; written < bytes; ++frame, t += 40) {
        FrameHeader video;
        video.flags = frame % 25 == 0 ? 1 : 0;
        video.mediaType = mediatype::kVideo;
        video.size = frame % 25 == 0 ? keyFrame : pFrame;
        video.rate = 25;
        video.timeStamp = t;
        WriteFrameHeaderFile(video, header);
        std::fwrite(header, 1, sizeof header, out);
        std::fwrite(payload.data(), 1, video.size, out);
        written += sizeof header + video.size;
        ++records;
        if (frame % 25 == 3 || frame % 25 == 6 || frame % 25 == 9 || frame % 25 == 12 ||
            frame % 25 == 15 || frame % 25 == 18 || frame % 25 == 21 || frame % 25 == 24) {
            FrameHeader audio;
            audio.mediaType = mediatype::kAudio;
            audio.size = 200;
            audio.rate = 8000;
            audio.timeStamp = t + 5;
            WriteFrameHeaderFile(audio, header);
            std::fwrite(header, 1, sizeof header, out);
            std::fwrite(payload.data(), 1, audio.size, out);
            written += sizeof header + audio.size;
            ++records;
        }
    }
    return std::fclose(out) == 0;
}

void DropCache(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

double ReadWhole(const fs::path& path, uint64_t& total) {
    auto start = std::chrono::steady_clock::now();
    int fd = ::open(path.c_str(), O_RDONLY);
    static std::vector<uint8_t> buffer(1 << 20);
    total = 0;
    ssize_t n;
    while (fd >= 0 && (n = ::read(fd, buffer.data(), buffer.size())) > 0) {
        total += static_cast<uint64_t>(n);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return Seconds(start);
}

double BuildIndex(const fs::path& path, RecordIndex& index) {
    auto start = std::chrono::steady_clock::now();
    FileRecordSource source;
    if (source.Open(path.string())) {
        BuildRecordIndex(source, index);
    }
    return Seconds(start);
}

// What any index that visits every header with the kernel's help costs at
// least, measured beside the two passes: one 28-byte read per record, all
// from the same cached page (no walking, no copying of payloads)...
double ReadFloor(const fs::path& path, size_t reads) {
    auto start = std::chrono::steady_clock::now();
    int fd = ::open(path.c_str(), O_RDONLY);
    uint8_t header[FrameHeader::kSize];
    for (size_t i = 0; fd >= 0 && i < reads; ++i) {
        if (::pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header)) {
            break;
        }
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return Seconds(start);
}

// ... or mapping the file: filling and dropping the page tables of the
// whole file, without reading a byte of it.
double MapFloor(const fs::path& path, uint64_t length) {
    auto start = std::chrono::steady_clock::now();
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        void* map = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (map != MAP_FAILED) {
            ::munmap(map, length);
        }
        ::close(fd);
    }
    return Seconds(start);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t mib = 1024;
    fs::path folder = fs::temp_directory_path();
    int rounds = 5;
    bool cold = false;
    std::string keep;
    uint32_t pFrame = 8000;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--size-mib" && hasValue) {
            mib = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--folder" && hasValue) {
            folder = argv[++i];
        } else if (arg == "--rounds" && hasValue) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--p-frame-bytes" && hasValue) {
            pFrame = static_cast<uint32_t>(std::clamp(std::atol(argv[++i]), 100L, 200000L));
        } else if (arg == "--cold") {
            cold = true;
        } else if (arg == "--keep" && hasValue) {
            keep = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: playback_bench [--size-mib N] [--folder DIR] [--rounds N] "
                         "[--p-frame-bytes N] [--cold] [--keep FILE]\n");
            return 2;
        }
    }
    fs::path path = keep.empty()
                        ? folder / ("playback-bench-" + std::to_string(::getpid()) + ".264")
                        : fs::path(keep);
    uint64_t records = 0;
    auto start = std::chrono::steady_clock::now();
    if (!(keep.empty() ? false : fs::exists(path)) && !Generate(path, mib << 20, pFrame, records)) {
        std::fprintf(stderr, "playback_bench: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf(
        "file %s: %.0f MiB (pictures of %u bytes, key frames %u), written in %.1f s; "
        "cache: %s\n",
        path.c_str(), static_cast<double>(fs::file_size(path)) / 1048576.0, pFrame, pFrame * 15 / 2,
        Seconds(start), cold ? "dropped before every pass" : "warm");

    std::vector<double> indexTimes;
    std::vector<double> readTimes;
    std::vector<double> readFloors;
    std::vector<double> mapFloors;
    RecordIndex index;
    uint64_t total = 0;
    const uint64_t length = fs::file_size(path);
    for (int round = 0; round < rounds; ++round) {
        // Alternating, so all see the same machine load.
        if (cold) {
            DropCache(path);
        }
        readTimes.push_back(ReadWhole(path, total));
        if (cold) {
            DropCache(path);
        }
        indexTimes.push_back(BuildIndex(path, index));
        if (!cold) {
            readFloors.push_back(ReadFloor(path, index.entries.size()));
            mapFloors.push_back(MapFloor(path, length));
        }
    }
    double indexMedian = Median(indexTimes);
    double readMedian = Median(readTimes);
    std::printf("records indexed: %zu (video %u, audio %u), duration %u s, damaged: %s\n",
                index.entries.size(), index.videoRecords, index.audioRecords, index.durationSeconds,
                index.Damaged() ? "yes" : "no");
    std::printf("read whole file: median %.1f ms (%.0f MiB/s), %d rounds\n", readMedian * 1000,
                static_cast<double>(total) / 1048576.0 / readMedian, rounds);
    std::printf("build index:     median %.1f ms (%.2f us per record)\n", indexMedian * 1000,
                indexMedian * 1e6 / static_cast<double>(std::max<size_t>(1, index.entries.size())));
    std::printf("ratio (read / index): %.1fx  (goal >= 5x)\n", readMedian / indexMedian);
    if (!readFloors.empty()) {
        double readFloor = Median(readFloors);
        double mapFloor = Median(mapFloors);
        std::printf(
            "floors: one 28-byte read per record %.1f ms (%.2f us each; ratio at most %.1fx), "
            "mapping the file %.1f ms (ratio at most %.1fx)\n",
            readFloor * 1000,
            readFloor * 1e6 / static_cast<double>(std::max<size_t>(1, index.entries.size())),
            readMedian / readFloor, mapFloor * 1000, readMedian / mapFloor);
    }
    if (keep.empty()) {
        fs::remove(path);
    }
    return 0;
}
