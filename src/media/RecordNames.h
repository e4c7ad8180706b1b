#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace orbisight {

// Local time of a recording's or snapshot's name.
struct RecordTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

RecordTime LocalRecordTime(std::time_t when);

// Where the files of one camera go, and the stem of one file's name:
//   folder "<recordFolder>/<name>(<id>)/<Y>-<MM>-<DD>"
//   stem   "<name>(<id>)_<Y>-<MM>-<DD>-<hh>-<mm>-<ss>"
struct RecordName {
    std::filesystem::path folder;
    std::string stem;

    // folder / (stem + extension), extension with its dot.
    std::filesystem::path File(std::string_view extension) const;
    // The same with "(n)" before the extension when n >= 1.
    std::filesystem::path File(std::string_view extension, int suffix) const;
};

// A camera name or ID made usable as part of a file name: "/" and NUL would
// split or cut the name, so each becomes "_". Everything else is kept.
std::string FileNameSafe(std::string_view text);

RecordName BuildRecordName(const std::string& recordFolder, std::string_view name,
                           std::string_view id, const RecordTime& time);

// Creates the folder and its parents when missing. False (with the reason)
// when it cannot be created or a file of that name is in the way.
bool CreateRecordFolder(const std::filesystem::path& folder, std::string& error);

// The reason text of an errno value.
std::string ErrnoText(int error);

// Creates a new, empty file for writing (never opens an existing one):
// "<stem><extension>", or when that exists "<stem>(1)<extension>",
// "<stem>(2)<extension>" ... Creates the folder first. Returns the open
// descriptor and the path, or -1 with the reason.
int CreateNewRecordFile(const RecordName& name, std::string_view extension,
                        std::filesystem::path& created, std::string& error);

}  // namespace orbisight
