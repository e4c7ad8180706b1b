#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace orbisight {

struct DeviceInfo;

// A live channel's own copy of its camera's record, read by the opening
// thread, the receive thread and the user-interface thread. All access goes
// through here, under one lock private to this class.
class ChannelRecord {
  public:
    ChannelRecord();
    ~ChannelRecord();
    ChannelRecord(const ChannelRecord&) = delete;
    ChannelRecord& operator=(const ChannelRecord&) = delete;

    // Copies the record (null: keeps the copy already held). False when
    // there is no copy afterwards.
    bool Take(const DeviceInfo* record);
    void Release();

    struct Login {
        std::string user;
        std::string password;
        std::string id;
        bool local = false;
    };
    // The login fields; nullopt without a copy.
    std::optional<Login> LoginFields() const;

    // The picture title: the camera's name (UTF-8 in every kind of record).
    std::string Title() const;
    std::string Id() const;
    std::string Name() const;
    std::string Url() const;
    bool Local() const;
    void SetUrl(const std::string& url);

    // A camera of the account's list that the list showed off-line (and
    // not a group, not a local entry, type 0): not worth reconnecting to
    // every second. True without a copy too.
    bool OfflineServerCamera() const;

  private:
    mutable std::mutex mutex_;
    std::unique_ptr<DeviceInfo> record_;  // protected by mutex_
    std::string title_;                   // protected by mutex_
};

}  // namespace orbisight
