#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orbisight::sim {

// A simulated camera's SD card: a folder laid out as
// <folder>/YYYYMMDD/<recording>, for example 20141108/20141108093000.264,
// optionally with hour folders (names of at most 10 characters) inside a
// day. Lists are produced in the camera's list text: a count, "|", then
// "name,number|" per entry (the size for files, the entry count for
// folders), sorted by name.
class SimSdCard {
  public:
    SimSdCard() = default;
    explicit SimSdCard(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // A card is present when the folder exists.
    bool Present() const;

    // The day folders.
    std::string DirListText() const;
    // The recordings and hour folders of one day. With start < end
    // ("HHMMSS") only recordings whose time (name characters 8..13) lies
    // between them are listed.
    std::optional<std::string> FileListText(std::string_view day, std::string_view start,
                                            std::string_view end) const;
    // The recordings of an hour folder, wherever it lies.
    std::optional<std::string> HourDirListText(std::string_view hourDir) const;

    // The recording of that name: first in its day folder (the first eight
    // characters), then in that day's hour folders. Names that are not a
    // single plain file name are refused, so a request cannot leave the
    // card's folder.
    std::optional<std::filesystem::path> FindRecording(std::string_view name) const;

    // True for a name that can only mean an entry of one folder.
    static bool IsPlainName(std::string_view name);

  private:
    std::filesystem::path folder_;
};

}  // namespace orbisight::sim
