#include "sim/camera/SimSdCard.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace orbisight::sim {
namespace fs = std::filesystem;
namespace {

struct Entry {
    std::string name;
    uintmax_t number;
};

std::string ListText(std::vector<Entry> entries) {
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    std::string text = std::to_string(entries.size()) + "|";
    for (const auto& entry : entries) {
        text += entry.name + "," + std::to_string(entry.number) + "|";
    }
    return text;
}

uintmax_t CountEntries(const fs::path& folder) {
    std::error_code ec;
    uintmax_t count = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        ++count;
    }
    return count;
}

// Files and sub-folders of a folder; files only where keep() agrees.
template <typename Keep>
std::vector<Entry> FolderEntries(const fs::path& folder, Keep keep) {
    std::vector<Entry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        std::error_code statError;
        if (it->is_directory(statError)) {
            entries.push_back({name, CountEntries(it->path())});
        } else if (it->is_regular_file(statError) && keep(name)) {
            entries.push_back({name, it->file_size(statError)});
        }
    }
    return entries;
}

}  // namespace

bool SimSdCard::IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

bool SimSdCard::Present() const {
    std::error_code ec;
    return !folder_.empty() && fs::is_directory(folder_, ec);
}

std::string SimSdCard::DirListText() const {
    std::vector<Entry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statError;
        if (it->is_directory(statError)) {
            entries.push_back({it->path().filename().string(), CountEntries(it->path())});
        }
    }
    return ListText(std::move(entries));
}

std::optional<std::string> SimSdCard::FileListText(std::string_view day, std::string_view start,
                                                   std::string_view end) const {
    if (!IsPlainName(day)) {
        return std::nullopt;
    }
    fs::path folder = folder_ / std::string(day);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        return ListText({});  // a day without recordings
    }
    bool window = start.size() == 6 && end.size() == 6 && start < end;
    return ListText(FolderEntries(folder, [&](const std::string& name) {
        if (!window || name.size() <= 10) {
            return true;
        }
        std::string time = name.substr(8, 6);
        return time >= start && time <= end;
    }));
}

std::optional<std::string> SimSdCard::HourDirListText(std::string_view hourDir) const {
    if (!IsPlainName(hourDir)) {
        return std::nullopt;
    }
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        fs::path candidate = it->path() / std::string(hourDir);
        std::error_code statError;
        if (fs::is_directory(candidate, statError)) {
            return ListText(FolderEntries(candidate, [](const std::string&) { return true; }));
        }
    }
    return std::nullopt;
}

std::optional<fs::path> SimSdCard::FindRecording(std::string_view name) const {
    if (!IsPlainName(name) || folder_.empty()) {
        return std::nullopt;
    }
    std::error_code ec;
    std::string day(name.substr(0, std::min<size_t>(8, name.size())));
    if (IsPlainName(day)) {
        fs::path direct = folder_ / day / std::string(name);
        if (fs::is_regular_file(direct, ec)) {
            return direct;
        }
        for (fs::directory_iterator it(folder_ / day, ec), end; !ec && it != end;
             it.increment(ec)) {
            fs::path candidate = it->path() / std::string(name);
            std::error_code statError;
            if (it->is_directory(statError) && fs::is_regular_file(candidate, statError)) {
                return candidate;
            }
        }
    }
    return std::nullopt;
}

}  // namespace orbisight::sim
