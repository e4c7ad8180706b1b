#include "records/SdRecordRows.h"

#include <cstdio>
#include <system_error>

namespace orbisight {

std::vector<SdRow> SdRowsToShow(const std::vector<struFileItem>& list, std::string_view start,
                                std::string_view end) {
    std::vector<SdRow> rows;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (it->Name().empty() || !InSdTimeWindow(it->Name(), start, end)) {
            continue;
        }
        SdRow row;
        row.number = static_cast<int>(rows.size()) + 1;
        row.name = std::string(it->Name());
        row.shortName = std::string(it->ShortName());
        row.size = it->value;
        row.sizeText = SdSizeText(it->value);
        row.isFile = it->IsFile();
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string SdSizeText(uint32_t bytes) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f KB", static_cast<double>(bytes) / 1024.0);
    return text;
}

std::string SdProgressText(uint64_t localBytes, uint32_t listedBytes) {
    if (listedBytes == 0) {
        return "--%";
    }
    double percent = localBytes >= listedBytes ? 100.0
                                               : static_cast<double>(localBytes) * 100.0 /
                                                     static_cast<double>(listedBytes);
    char text[64];
    std::snprintf(text, sizeof text, "%f %%", percent);
    return text;
}

std::optional<std::filesystem::path> SdLocalPath(const std::string& recordFolder,
                                                 const DeviceInfo& camera,
                                                 std::string_view fileName, bool createDirectories,
                                                 std::string* error) {
    // Names are UTF-8 in every kind of record here, so a kind-10 name needs
    // no conversion.
    return SdDownloadPath(recordFolder, camera.DisplayName(), camera.Id(), fileName,
                          createDirectories, error);
}

bool SdLocalCopyComplete(const std::filesystem::path& path, uint32_t listedBytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    uintmax_t size = std::filesystem::file_size(path, ec);
    return !ec && size >= listedBytes;
}

uint64_t SdLocalSize(const std::filesystem::path& path) {
    std::error_code ec;
    uintmax_t size = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<uint64_t>(size);
}

}  // namespace orbisight
