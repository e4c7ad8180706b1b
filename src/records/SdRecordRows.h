#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "account/DeviceInfo.h"
#include "device/SdFileList.h"

namespace orbisight {

// One row of the SD card page's list.
struct SdRow {
    int number = 0;         // the running number from 1
    std::string name;       // the entry's name: a recording or an hour folder
    std::string shortName;  // its first 8 characters
    std::string sizeText;   // "%.2f KB"
    uint32_t size = 0;      // the listed size in bytes
    bool isFile = false;    // false: an hour folder
};

// The rows the page shows for a file list and the time window "HHMMSS":
// the entries from the last to the first, those with a name and inside the
// window (every entry when start is not before end), numbered from 1.
std::vector<SdRow> SdRowsToShow(const std::vector<struFileItem>& list, std::string_view start,
                                std::string_view end);

// The "Record Size" text: bytes / 1024 as "%.2f KB".
std::string SdSizeText(uint32_t bytes);

// The "Download" text of a file row: the local size over the listed size
// as a percentage, "%f %%" formatted (100 once the local copy is complete);
// "--%" when the camera listed no size.
std::string SdProgressText(uint64_t localBytes, uint32_t listedBytes);

// Where a recording of this camera is downloaded to under the record
// folder (SdDownloadPath with the camera's name and ID); the folders are
// made when createDirectories is set.
std::optional<std::filesystem::path> SdLocalPath(const std::string& recordFolder,
                                                 const DeviceInfo& camera,
                                                 std::string_view fileName, bool createDirectories,
                                                 std::string* error = nullptr);

// The local copy exists as a regular file at least as large as listed, so
// it plays without asking the camera.
bool SdLocalCopyComplete(const std::filesystem::path& path, uint32_t listedBytes);

// The local size of a file, 0 when it is missing.
uint64_t SdLocalSize(const std::filesystem::path& path);

}  // namespace orbisight
