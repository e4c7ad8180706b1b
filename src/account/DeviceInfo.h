#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/Text.h"

namespace orbisight {

// One camera or group as the client knows it. The same 2744 bytes are the
// in-memory record and the record of the local device file, so the layout is
// fixed (little-endian, NUL-terminated texts in fixed fields).
struct DeviceInfo {
    int32_t type;       // device type from the server; 0 for local entries
    int32_t connected;  // 1 while open in a video pane; cleared when loaded
    int32_t status;     // 0 offline, 2 online (the only value counted as online)
    int32_t kind;       // kKindLocalUtf8 for hand-entered local devices
    int32_t reserved16;
    int32_t orphan;  // 1 on a group whose parent group was deleted
    int32_t isGroup;
    int32_t local;        // 1 for entries of the local list
    int32_t groupNumber;  // local groups: from the ID counter; server groups: their ID
    int32_t parentGroup;  // 0 is the top level
    int32_t treeItem;     // the record's item in the device tree; meaningless in the file
    uint8_t reserved44[12];
    char softwareVersion[32];
    char hardwareVersion[32];
    char id[128];
    char name[128];
    char tips[1024];
    char url[1024];  // address list: entries separated by ";"
    char hostAddress[64];
    char user[128];
    char password[128];

    static constexpr int32_t kKindLocalUtf8 = 10;
    static constexpr int32_t kStatusOnline = 2;

    std::string_view Id() const { return FieldText(id); }
    std::string_view Name() const { return FieldText(name); }
    std::string_view Tips() const { return FieldText(tips); }
    std::string_view Url() const { return FieldText(url); }
    std::string_view HostAddress() const { return FieldText(hostAddress); }
    std::string_view User() const { return FieldText(user); }
    std::string_view Password() const { return FieldText(password); }
    std::string_view SoftwareVersion() const { return FieldText(softwareVersion); }
    std::string_view HardwareVersion() const { return FieldText(hardwareVersion); }

    // Setters cut the text to the field size less one byte, never inside a
    // UTF-8 sequence, and zero the rest of the field.
    void SetId(std::string_view text) { CopyTextField(id, text); }
    void SetName(std::string_view text) { CopyTextField(name, text); }
    void SetTips(std::string_view text) { CopyTextField(tips, text); }
    void SetUrl(std::string_view text) { CopyTextField(url, text); }
    void SetHostAddress(std::string_view text) { CopyTextField(hostAddress, text); }
    void SetUser(std::string_view text) { CopyTextField(user, text); }
    void SetPassword(std::string_view text) { CopyTextField(password, text); }
    void SetSoftwareVersion(std::string_view text) { CopyTextField(softwareVersion, text); }
    void SetHardwareVersion(std::string_view text) { CopyTextField(hardwareVersion, text); }

    bool IsOnline() const { return status == kStatusOnline; }

    // The name as UTF-8 for display. Names are UTF-8 in every kind on this
    // platform (the code page is UTF-8), so this is the stored text.
    std::string DisplayName() const { return std::string(Name()); }
};

static_assert(sizeof(DeviceInfo) == 2744);
static_assert(offsetof(DeviceInfo, type) == 0);
static_assert(offsetof(DeviceInfo, connected) == 4);
static_assert(offsetof(DeviceInfo, status) == 8);
static_assert(offsetof(DeviceInfo, kind) == 12);
static_assert(offsetof(DeviceInfo, reserved16) == 16);
static_assert(offsetof(DeviceInfo, orphan) == 20);
static_assert(offsetof(DeviceInfo, isGroup) == 24);
static_assert(offsetof(DeviceInfo, local) == 28);
static_assert(offsetof(DeviceInfo, groupNumber) == 32);
static_assert(offsetof(DeviceInfo, parentGroup) == 36);
static_assert(offsetof(DeviceInfo, treeItem) == 40);
static_assert(offsetof(DeviceInfo, reserved44) == 44);
static_assert(offsetof(DeviceInfo, softwareVersion) == 56);
static_assert(offsetof(DeviceInfo, hardwareVersion) == 88);
static_assert(offsetof(DeviceInfo, id) == 120);
static_assert(offsetof(DeviceInfo, name) == 248);
static_assert(offsetof(DeviceInfo, tips) == 376);
static_assert(offsetof(DeviceInfo, url) == 1400);
static_assert(offsetof(DeviceInfo, hostAddress) == 2424);
static_assert(offsetof(DeviceInfo, user) == 2488);
static_assert(offsetof(DeviceInfo, password) == 2616);
static_assert(std::is_trivially_copyable_v<DeviceInfo>);

// A zero-filled record.
std::unique_ptr<DeviceInfo> NewDeviceInfo();
// A byte copy of the whole record into a new zero-filled block.
std::unique_ptr<DeviceInfo> CopyDeviceInfo(const DeviceInfo& source);

// Lists own their records.
using DeviceList = std::vector<std::unique_ptr<DeviceInfo>>;

enum class IdMatch { kExact, kIgnoreCase };

// The first record of the list whose device ID equals id, or nullptr.
DeviceInfo* FindDeviceById(const DeviceList& list, std::string_view id, IdMatch match);

}  // namespace orbisight
