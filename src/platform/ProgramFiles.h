#pragma once

#include <filesystem>
#include <initializer_list>

namespace orbisight {

// Where the programs find the files that come with them. In the build
// folder they sit beside the executables (build/bin/images, the cloud
// library in build/bin); once installed they are in the installed tree,
// found relative to the executable's own folder (bin/../share/orbisight,
// bin/../lib/orbisight), so an installed copy works from any working
// directory and wherever its prefix is. The current directory is never
// searched.

// The real path of the running executable (/proc/self/exe: symbolic links
// resolved); empty when it cannot be read.
std::filesystem::path ProgramPath();
// Its folder; empty when unknown.
std::filesystem::path ProgramFolder();

// The installed data folder (share/orbisight) and private library folder
// (lib/orbisight) for a program folder (bin). Empty for an empty folder.
std::filesystem::path InstalledDataFolder(const std::filesystem::path& programFolder);
std::filesystem::path InstalledLibraryFolder(const std::filesystem::path& programFolder);

// The first candidate that exists (empty ones skipped); when none does, the
// first non-empty candidate, so that an error can name where it looked.
std::filesystem::path FirstExisting(std::initializer_list<std::filesystem::path> candidates);

}  // namespace orbisight
