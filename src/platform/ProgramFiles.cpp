#include "platform/ProgramFiles.h"

#include <system_error>

// The installed layout, relative to the folder of the programs; set by the
// build from its install directories.
#ifndef ORBISIGHT_DATA_FROM_PROGRAM
#define ORBISIGHT_DATA_FROM_PROGRAM "../share/orbisight"
#endif
#ifndef ORBISIGHT_LIBRARY_FROM_PROGRAM
#define ORBISIGHT_LIBRARY_FROM_PROGRAM "../lib/orbisight"
#endif

namespace orbisight {
namespace fs = std::filesystem;

fs::path ProgramPath() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe;
}

fs::path ProgramFolder() {
    return ProgramPath().parent_path();
}

namespace {
fs::path Below(const fs::path& programFolder, const char* relative) {
    if (programFolder.empty()) {
        return {};
    }
    return (programFolder / relative).lexically_normal();
}
}  // namespace

fs::path InstalledDataFolder(const fs::path& programFolder) {
    return Below(programFolder, ORBISIGHT_DATA_FROM_PROGRAM);
}

fs::path InstalledLibraryFolder(const fs::path& programFolder) {
    return Below(programFolder, ORBISIGHT_LIBRARY_FROM_PROGRAM);
}

fs::path FirstExisting(std::initializer_list<fs::path> candidates) {
    fs::path fallback;
    for (const fs::path& candidate : candidates) {
        if (candidate.empty()) {
            continue;
        }
        std::error_code ec;
        if (fs::exists(candidate, ec)) {
            return candidate;
        }
        if (fallback.empty()) {
            fallback = candidate;
        }
    }
    return fallback;
}

}  // namespace orbisight
