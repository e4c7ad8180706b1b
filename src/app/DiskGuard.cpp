#include "app/DiskGuard.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <system_error>

#include "platform/Text.h"

namespace orbisight {
namespace fs = std::filesystem;

DiskGuard::DiskGuard(FreeSpaceQuery freeSpace, int periodMs)
    : freeSpace_(std::move(freeSpace)), periodMs_(periodMs) {}

DiskGuard::~DiskGuard() {
    Stop();
}

void DiskGuard::SetRecordFolder(const fs::path& folder) {
    std::lock_guard lock(mutex_);
    folder_ = folder;
}

fs::path DiskGuard::RecordFolder() const {
    std::lock_guard lock(mutex_);
    return folder_;
}

void DiskGuard::Start() {
    if (thread_.Running()) {
        return;
    }
    thread_.Start("app/diskguard", [this](AutoResetEvent& stop) {
        while (!stop.Wait(periodMs_)) {
            CheckOnce();
        }
    });
}

void DiskGuard::Stop() {
    if (thread_.Running()) {
        thread_.Stop(kStopWaitMs);
    }
}

bool DiskGuard::IsClientFile(const fs::path& path) {
    std::string ext = ToLowerAscii(path.extension().string());
    return ext == ".264" || ext == ".jpg" || ext == ".avi" || ext == ".mp4" || ext == ".ts";
}

namespace {
int64_t CreationTimeNs(const fs::path& path, const struct stat& st) {
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &sx) == 0 &&
        (sx.stx_mask & STATX_BTIME)) {
        return static_cast<int64_t>(sx.stx_btime.tv_sec) * 1000000000 + sx.stx_btime.tv_nsec;
    }
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}
}  // namespace

std::vector<RecordFileEntry> DiskGuard::ListClientFiles(const fs::path& folder) {
    std::vector<RecordFileEntry> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !IsClientFile(path)) {
            continue;
        }
        files.push_back({path, static_cast<uint64_t>(st.st_size), CreationTimeNs(path, st)});
    }
    return files;
}

size_t DiskGuard::CountToDelete(const std::vector<RecordFileEntry>& oldestFirst,
                                uint64_t bytesToFree) {
    uint64_t total = 0;
    size_t count = 0;
    for (const RecordFileEntry& file : oldestFirst) {
        total += file.size;
        if (total >= bytesToFree) {
            break;
        }
        ++count;
    }
    return count;
}

std::optional<uint64_t> DiskGuard::DefaultFreeSpace(const fs::path& path) {
    std::error_code ec;
    fs::space_info info = fs::space(path, ec);
    if (ec) {
        return std::nullopt;
    }
    return info.available;
}

std::vector<fs::path> DiskGuard::CheckOnce() {
    std::vector<fs::path> deleted;
    fs::path folder = RecordFolder();
    if (folder.empty()) {
        return deleted;
    }
    auto freeBytes = freeSpace_(folder);
    if (!freeBytes || (*freeBytes >> 20) >= kReserveMb) {
        return deleted;
    }
    std::vector<RecordFileEntry> files = ListClientFiles(folder);
    std::stable_sort(files.begin(), files.end(),
                     [](const RecordFileEntry& a, const RecordFileEntry& b) {
                         return a.createdNs < b.createdNs;
                     });
    freeBytes = freeSpace_(folder);
    if (!freeBytes) {
        return deleted;
    }
    uint64_t freeMb = *freeBytes >> 20;
    if (freeMb >= kReserveMb) {
        return deleted;
    }
    uint64_t toFree = (kReserveMb - freeMb) * 1048576;
    size_t count = CountToDelete(files, toFree);
    for (size_t i = 0; i < count; ++i) {
        std::error_code ec;
        if (fs::remove(files[i].path, ec)) {
            deleted.push_back(files[i].path);
        }
    }
    return deleted;
}

}  // namespace orbisight
