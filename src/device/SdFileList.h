#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/Text.h"

namespace orbisight {

// One entry of a camera's SD card list: a day directory, an hour directory
// or a recording.
struct struFileItem {
    char name[64];       // names of 64 characters or more are not accepted
    char shortName[64];  // file lists: the first 8 characters of the name
    uint32_t value;      // the entry's number: the size in bytes for files
    int32_t isFile;      // file lists: 1 when the name is longer than 10 characters

    std::string_view Name() const { return FieldText(name); }
    std::string_view ShortName() const { return FieldText(shortName); }
    bool IsFile() const { return isFile != 0; }
};
static_assert(std::is_trivially_copyable_v<struFileItem>);

enum class SdListKind { kDirectories, kFiles };

// Reads the "DirList" / "FileList" text: the part up to the first "|" is
// skipped, then every entry terminated by "|" is "name,number". Entries
// without "," and names of 64 characters or more are skipped; text after
// the last "|" is ignored.
std::vector<struFileItem> ParseSdList(std::string_view text, SdListKind kind);

// The parts of a recording name such as "20141108093000.264", read by
// position: year 0..3, month 4..5, day 6..7, hour 8..9, minute 10..11,
// second 12..13, and the extension after the last ".".
struct RecordingName {
    std::string year, month, day, hour, minute, second, extension;
};
// None for a name shorter than 14 characters.
std::optional<RecordingName> ParseRecordingName(std::string_view name);

// Whether a file list entry belongs to the time window "HHMMSS".."HHMMSS":
// every entry does when start is not before end; otherwise the name's
// characters 8..13 must lie between them (inclusive, as text, ignoring case).
bool InSdTimeWindow(std::string_view name, std::string_view start, std::string_view end);

// Where a downloaded recording is stored under the record folder:
// "<name>(<id>)/<year>-<month>-<day>/<name>(<id>)_<y>-<m>-<d>-<h>-<m>-<s>.<ext>"
// with the extension in lower case. Slashes and control characters in the
// parts (they come from the camera) are replaced by "_", so the path never
// leaves its folder. With createDirectories the folders are made. None (and
// error filled) when the name is not a recording name or a folder cannot be
// made.
std::optional<std::filesystem::path> SdDownloadPath(const std::filesystem::path& recordFolder,
                                                    std::string_view deviceName,
                                                    std::string_view deviceId,
                                                    std::string_view fileName,
                                                    bool createDirectories,
                                                    std::string* error = nullptr);

}  // namespace orbisight
