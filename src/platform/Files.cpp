#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace orbisight {
namespace fs = std::filesystem;

namespace {
fs::path HomeFolder() {
    const char* home = std::getenv("HOME");
    return (home && *home) ? fs::path(home) : fs::path("/tmp");
}
}  // namespace

fs::path DataFolder() {
    fs::path folder;
    if (const char* env = std::getenv("ORBISIGHT_HOME"); env && *env) {
        folder = env;
    } else if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        folder = fs::path(xdg) / "orbisight";
    } else {
        folder = HomeFolder() / ".config" / "orbisight";
    }
    std::error_code ec;
    if (!fs::exists(folder, ec)) {
        fs::create_directories(folder, ec);
        ::chmod(folder.c_str(), 0700);
    }
    return folder;
}

fs::path DefaultRecordFolder() {
    return HomeFolder() / "OrbisightRecord";
}

bool WriteFileAtomically(const fs::path& path, const void* data, size_t size, mode_t mode,
                         std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error) {
            *error = what + " " + path.string() + ": " + std::strerror(errno);
        }
        return false;
    };
    std::error_code ec;
    fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    fs::create_directories(folder, ec);
    std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    int fd = mkstemp(pattern.data());
    if (fd < 0) {
        return fail("cannot create a temporary file for");
    }
    const char* p = static_cast<const char*>(data);
    size_t left = size;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ::close(fd);
            ::unlink(pattern.c_str());
            return fail("cannot write");
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
        ::close(fd);
        ::unlink(pattern.c_str());
        return fail("cannot flush");
    }
    ::close(fd);
    if (::rename(pattern.c_str(), path.c_str()) != 0) {
        ::unlink(pattern.c_str());
        return fail("cannot replace");
    }
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>& out, size_t maxBytes) {
    out.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    char chunk[65536];
    while (out.size() < maxBytes && in) {
        size_t want = std::min(sizeof chunk, maxBytes - out.size());
        in.read(chunk, static_cast<std::streamsize>(want));
        out.insert(out.end(), chunk, chunk + in.gcount());
    }
    return true;
}

}  // namespace orbisight
