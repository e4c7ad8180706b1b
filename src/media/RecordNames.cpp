#include "media/RecordNames.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace orbisight {

namespace {
// Same-second names are numbered; past this many something else is wrong.
constexpr int kMaxSuffix = 999;
}  // namespace

RecordTime LocalRecordTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    RecordTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    return t;
}

std::filesystem::path RecordName::File(std::string_view extension) const {
    return folder / (stem + std::string(extension));
}

std::filesystem::path RecordName::File(std::string_view extension, int suffix) const {
    if (suffix <= 0) {
        return File(extension);
    }
    return folder / (stem + "(" + std::to_string(suffix) + ")" + std::string(extension));
}

std::string FileNameSafe(std::string_view text) {
    std::string safe(text);
    for (char& c : safe) {
        if (c == '/' || c == '\0') {
            c = '_';
        }
    }
    return safe;
}

RecordName BuildRecordName(const std::string& recordFolder, std::string_view name,
                           std::string_view id, const RecordTime& time) {
    std::string camera = FileNameSafe(name) + "(" + FileNameSafe(id) + ")";
    char day[32];
    std::snprintf(day, sizeof day, "%d-%02d-%02d", time.year, time.month, time.day);
    char clock[32];
    std::snprintf(clock, sizeof clock, "-%02d-%02d-%02d", time.hour, time.minute, time.second);
    RecordName result;
    result.folder = std::filesystem::path(recordFolder) / camera / day;
    result.stem = camera + "_" + day + clock;
    return result;
}

std::string ErrnoText(int error) {
    return std::system_category().message(error);
}

bool CreateRecordFolder(const std::filesystem::path& folder, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    if (!std::filesystem::is_directory(folder, ec)) {
        error = ec ? ec.message() : ErrnoText(ENOTDIR);
        return false;
    }
    return true;
}

int CreateNewRecordFile(const RecordName& name, std::string_view extension,
                        std::filesystem::path& created, std::string& error) {
    if (!CreateRecordFolder(name.folder, error)) {
        created = name.folder;
        return -1;
    }
    for (int suffix = 0; suffix <= kMaxSuffix; ++suffix) {
        std::filesystem::path path = name.File(extension, suffix);
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            created = path;
            return fd;
        }
        if (errno != EEXIST) {
            created = path;
            error = ErrnoText(errno);
            return -1;
        }
    }
    created = name.File(extension);
    error = ErrnoText(EEXIST);
    return -1;
}

}  // namespace orbisight
