#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orbisight {

// The data folder: $ORBISIGHT_HOME, else $XDG_CONFIG_HOME/orbisight, else
// ~/.config/orbisight. Created (mode 0700) on first use.
std::filesystem::path DataFolder();

// The default record folder, ~/OrbisightRecord (not created here).
std::filesystem::path DefaultRecordFolder();

// Writes data to path so that a reader sees either the old or the new file,
// never a mix: temporary file in the same folder, fsync, rename, fsync of
// the folder. Missing folders are created. Returns false and fills error on
// failure; the old file is then untouched.
bool WriteFileAtomically(const std::filesystem::path& path, const void* data, size_t size,
                         mode_t mode = 0644, std::string* error = nullptr);

// Reads at most maxBytes of a file. Returns false when it cannot be opened.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out,
                   size_t maxBytes = 64u << 20);

}  // namespace orbisight
