#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/FrameHeader.h"

namespace orbisight::test {

// A private folder under the temporary folder, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orbirec.XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

struct FileRecord {
    FrameHeader header;
    std::vector<uint8_t> payload;
};

// Reads a ".264" file as records; whole is false when it ends inside one.
inline std::vector<FileRecord> ReadRecords(const std::filesystem::path& path,
                                           bool* whole = nullptr) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    std::vector<FileRecord> records;
    size_t at = 0;
    while (at + FrameHeader::kSize <= bytes.size()) {
        FileRecord r;
        r.header = ReadFrameHeaderFile(bytes.data() + at);
        at += FrameHeader::kSize;
        if (r.header.size > bytes.size() - at) {
            at = bytes.size() + 1;
            break;
        }
        r.payload.assign(bytes.begin() + static_cast<ptrdiff_t>(at),
                         bytes.begin() + static_cast<ptrdiff_t>(at + r.header.size));
        at += r.header.size;
        records.push_back(std::move(r));
    }
    if (whole != nullptr) {
        *whole = at == bytes.size();
    }
    return records;
}

// Every regular file below the folder, sorted by path.
inline std::vector<std::filesystem::path> FilesBelow(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) {
            files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace orbisight::test
