#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/Text.h"

namespace orbisight {

// One saved login as the login dialog remembers it. The whole 16132 bytes are
// one registry value, so the layout is fixed (little-endian, NUL-terminated
// texts in fixed fields).
struct UserLoginInfo {
    static constexpr int kMaxAutoConnectDevices = 500;
    static constexpr size_t kAutoConnectIdBytes = 32;

    int32_t autoLogin;  // 0 or 1
    char userName[32];
    char password[60];  // empty unless the user chose to remember it
    // Loop play settings.
    int32_t loopFullScreen;
    int32_t loopSlideMinutes;
    int32_t loopSnapSeconds;
    int32_t loopPicturesPerScreen;
    int32_t loopAutoSnap;
    int32_t loopAutoRecord;
    int32_t reserved120;
    int32_t autoConnect;       // 0 or 1
    int32_t autoConnectCount;  // as stored: readers clamp it to 0..500
    char autoConnectIds[kMaxAutoConnectDevices][kAutoConnectIdBytes];

    std::string_view UserName() const { return FieldText(userName); }
    std::string_view Password() const { return FieldText(password); }
    // Setters cut the text to the field less one byte (a password to 59).
    void SetUserName(std::string_view text) { CopyTextField(userName, text); }
    void SetPassword(std::string_view text) { CopyTextField(password, text); }

    // The auto-connect device IDs; a stored count outside 0..500 is clamped
    // and empty entries are skipped.
    std::vector<std::string> AutoConnectIds() const;
    // Replaces the auto-connect list. An ID that does not fit its 32-byte
    // field (more than 31 bytes) is left out rather than cut, since a cut ID
    // would name another camera or none; IDs past the 500th kept are
    // dropped. Returns the number stored.
    static bool FitsAutoConnectField(std::string_view id) {
        return !id.empty() && id.size() < kAutoConnectIdBytes;
    }
    size_t SetAutoConnectIds(const std::vector<std::string>& ids);
};

static_assert(sizeof(UserLoginInfo) == 16132);
static_assert(offsetof(UserLoginInfo, autoLogin) == 0);
static_assert(offsetof(UserLoginInfo, userName) == 4);
static_assert(offsetof(UserLoginInfo, password) == 36);
static_assert(offsetof(UserLoginInfo, loopFullScreen) == 96);
static_assert(offsetof(UserLoginInfo, loopAutoRecord) == 116);
static_assert(offsetof(UserLoginInfo, reserved120) == 120);
static_assert(offsetof(UserLoginInfo, autoConnect) == 124);
static_assert(offsetof(UserLoginInfo, autoConnectCount) == 128);
static_assert(offsetof(UserLoginInfo, autoConnectIds) == 132);
static_assert(std::is_trivially_copyable_v<UserLoginInfo>);

}  // namespace orbisight
