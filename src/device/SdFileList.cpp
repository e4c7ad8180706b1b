#include "device/SdFileList.h"

#include <cstring>
#include <system_error>

namespace orbisight {
namespace {

uint32_t ParseUnsigned(std::string_view text) {
    text = Trim(text);
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX) {
            return UINT32_MAX;
        }
    }
    return static_cast<uint32_t>(value);
}

std::string SafePathPart(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) {
            c = '_';
        }
    }
    return out;
}

}  // namespace

std::vector<struFileItem> ParseSdList(std::string_view text, SdListKind kind) {
    std::vector<struFileItem> items;
    size_t bar = text.find('|');
    if (bar == std::string_view::npos) {
        return items;
    }
    size_t position = bar + 1;
    for (;;) {
        size_t end = text.find('|', position);
        if (end == std::string_view::npos) {
            break;  // text after the last "|" is ignored
        }
        std::string_view entry = text.substr(position, end - position);
        position = end + 1;
        size_t comma = entry.find(',');
        if (comma == std::string_view::npos) {
            continue;
        }
        std::string_view name = entry.substr(0, comma);
        if (name.size() >= sizeof(struFileItem::name) || name.find('\0') != name.npos) {
            continue;
        }
        struFileItem item{};
        std::memcpy(item.name, name.data(), name.size());
        item.value = ParseUnsigned(entry.substr(comma + 1));
        if (kind == SdListKind::kFiles) {
            std::memcpy(item.shortName, name.data(), std::min<size_t>(name.size(), 8));
            item.isFile = name.size() > 10 ? 1 : 0;
        }
        items.push_back(item);
    }
    return items;
}

std::optional<RecordingName> ParseRecordingName(std::string_view name) {
    if (name.size() < 14) {
        return std::nullopt;
    }
    RecordingName parts;
    parts.year = name.substr(0, 4);
    parts.month = name.substr(4, 2);
    parts.day = name.substr(6, 2);
    parts.hour = name.substr(8, 2);
    parts.minute = name.substr(10, 2);
    parts.second = name.substr(12, 2);
    size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) {
        parts.extension = name.substr(dot + 1);
    }
    return parts;
}

bool InSdTimeWindow(std::string_view name, std::string_view start, std::string_view end) {
    if (!(start < end)) {
        return true;
    }
    std::string time = ToLowerAscii(name.size() > 8 ? name.substr(8, 6) : std::string_view());
    return time >= ToLowerAscii(start) && time <= ToLowerAscii(end);
}

std::optional<std::filesystem::path> SdDownloadPath(const std::filesystem::path& recordFolder,
                                                    std::string_view deviceName,
                                                    std::string_view deviceId,
                                                    std::string_view fileName,
                                                    bool createDirectories, std::string* error) {
    auto parts = ParseRecordingName(fileName);
    if (!parts) {
        if (error) {
            *error = "\"" + std::string(fileName) + "\" is not a recording name";
        }
        return std::nullopt;
    }
    std::string owner = SafePathPart(deviceName) + "(" + SafePathPart(deviceId) + ")";
    std::string date = SafePathPart(parts->year + "-" + parts->month + "-" + parts->day);
    std::string stem = owner + "_" + date + "-" +
                       SafePathPart(parts->hour + "-" + parts->minute + "-" + parts->second);
    std::string extension = SafePathPart(ToLowerAscii(parts->extension));
    std::filesystem::path folder = recordFolder / owner / date;
    if (createDirectories) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            if (error) {
                *error = "cannot create " + folder.string() + ": " + ec.message();
            }
            return std::nullopt;
        }
    }
    return folder / (extension.empty() ? stem : stem + "." + extension);
}

}  // namespace orbisight
