#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "account/DeviceInfo.h"

namespace orbisight {

// The next local group number is process-wide: it is read from the local
// device file when that is loaded and written back at every save. A new
// installation starts at 100.
constexpr int32_t kFirstLocalGroupNumber = 100;
int32_t NextLocalGroupNumber();
void SetNextLocalGroupNumber(int32_t value);

// Identifies one entry of the local list across snapshot copies: a group by
// its group number, a device by its ID (exact comparison).
struct LocalEntryRef {
    bool isGroup = false;
    int32_t groupNumber = 0;
    std::string id;

    static LocalEntryRef Of(const DeviceInfo& record);
    bool Matches(const DeviceInfo& record) const;
};

// What a load found, for the caller to report.
struct LocalStoreLoadReport {
    bool opened = false;     // the file existed and was readable
    int32_t announced = 0;   // record count written in the file
    int32_t read = 0;        // whole records present in the file
    int32_t dropped = 0;     // orphaned groups left out
    bool truncated = false;  // fewer whole records than announced (or a bad count)
};

// The local device list and its file "LocalDevInfos.dat":
//   int32 next local group number, int32 record count N, N x 2744-byte records,
// all little-endian. Not thread-safe: the account session guards it with its
// list lock and serialises file access with its device-store lock.
class LocalDeviceStore {
  public:
    static constexpr const char* kFileName = "LocalDevInfos.dat";
    static constexpr size_t kHeaderBytes = 8;
    // Default address of a device added without a host address.
    static constexpr const char* kDefaultAddressList = "ssp://192.168.20.38:5552";
    static constexpr int kDefaultCameraPort = 5552;

    explicit LocalDeviceStore(std::filesystem::path file);

    const std::filesystem::path& File() const { return file_; }
    DeviceList& List() { return list_; }
    const DeviceList& List() const { return list_; }

    // Replaces the list with the file's records. A missing or unreadable
    // file leaves the list empty and the group counter as it was; a file
    // shorter than its count announces is read up to its last whole record.
    LocalStoreLoadReport Load();
    // Decodes file bytes into out (appending) and updates the group counter:
    // a stored counter below 1 counts as 100, and the counter is kept above
    // every stored group (at most INT32_MAX).
    static LocalStoreLoadReport Decode(const uint8_t* bytes, size_t size, DeviceList& out);
    // The file image of the list (counter, count, records).
    std::vector<uint8_t> Encode() const;
    // Writes the file image atomically (mode 0600: it holds camera passwords).
    static bool WriteFile(const std::filesystem::path& file, const std::vector<uint8_t>& image,
                          std::string* error = nullptr);
    bool Save(std::string* error = nullptr) const { return WriteFile(file_, Encode(), error); }
    // Deletes the file; the list in memory is left to the caller.
    bool DeleteFile() const;

    // Adds a group unless a group with the same name (ignoring case) has the
    // same parent, or the group counter is at INT32_MAX (only a damaged file
    // gets it there). Returns 0 when added, 1 when refused (the classic result).
    int AddGroup(std::string_view name, int32_t parent);
    // Adds a device or updates the one with this ID (ignoring case). A host
    // address that already carries a port ("host:port") is used as it is,
    // otherwise the default camera port is appended. Returns the record.
    DeviceInfo& AddDevice(std::string_view id, std::string_view hostAddress, std::string_view name,
                          std::string_view password, int32_t parent);
    // Removes a group or device. The groups below a removed group are marked
    // orphaned (dropped at the next load) and its devices move to the top
    // level. Returns false when the entry is not in the list.
    bool DeleteEntry(const LocalEntryRef& entry);
    // The entry, or nullptr.
    DeviceInfo* Find(const LocalEntryRef& entry);

  private:
    std::filesystem::path file_;
    DeviceList list_;
};

// Builds the address list of a local device from a host address.
std::string LocalAddressList(std::string_view hostAddress);

}  // namespace orbisight
