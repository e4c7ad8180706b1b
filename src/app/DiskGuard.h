#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/WorkerThread.h"

namespace orbisight {

// One file that the guard may delete, with what it sorts by.
struct RecordFileEntry {
    std::filesystem::path path;
    uint64_t size = 0;
    int64_t createdNs = 0;  // birth time when the file system keeps one, else last change
};

// Keeps free space for recordings: every 20 s, when less than 1024 MB are free
// on the record folder's file system, deletes the oldest files that the
// client wrote into the record folder until enough would be free.
//
// It looks only inside the record folder itself and deletes only the client's
// own files (recordings, snapshots, downloaded recordings): a record folder
// set to a folder that holds other things must never cost the user those.
class DiskGuard {
  public:
    // Bytes available to the user on the file system holding the path, or
    // nullopt when it cannot be queried.
    using FreeSpaceQuery = std::function<std::optional<uint64_t>(const std::filesystem::path&)>;

    static constexpr uint64_t kReserveMb = 1024;
    static constexpr int kPeriodMs = 20000;
    static constexpr int kStopWaitMs = 1400;

    explicit DiskGuard(FreeSpaceQuery freeSpace = DefaultFreeSpace, int periodMs = kPeriodMs);
    ~DiskGuard();
    DiskGuard(const DiskGuard&) = delete;
    DiskGuard& operator=(const DiskGuard&) = delete;

    // The folder to guard; a new one is used from the next check.
    void SetRecordFolder(const std::filesystem::path& folder);
    std::filesystem::path RecordFolder() const;

    void Start();
    void Stop();

    // One check; returns the files it deleted.
    std::vector<std::filesystem::path> CheckOnce();

    // True for the extensions of the files the client writes into the record
    // folder: recordings, snapshots and downloaded recordings.
    static bool IsClientFile(const std::filesystem::path& path);
    // Every client file below folder (recursively, symbolic links not
    // followed), in no particular order.
    static std::vector<RecordFileEntry> ListClientFiles(const std::filesystem::path& folder);
    // How many of the files, oldest first, are deleted to free bytesToFree:
    // a file goes while the running total including it is still below.
    static size_t CountToDelete(const std::vector<RecordFileEntry>& oldestFirst,
                                uint64_t bytesToFree);
    static std::optional<uint64_t> DefaultFreeSpace(const std::filesystem::path& path);

  private:
    FreeSpaceQuery freeSpace_;
    int periodMs_;
    mutable std::mutex mutex_;
    std::filesystem::path folder_;  // protected by mutex_
    WorkerThread thread_;
};

}  // namespace orbisight
