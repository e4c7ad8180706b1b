#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/Text.h"

namespace orbisight {

// The logged-in user as the account server describes it.
struct UserInfo {
    int32_t reserved0;  // always 0
    char userName[384];
    char displayName[128];  // the nickname; may be empty
    int32_t accountType;

    std::string_view UserName() const { return FieldText(userName); }
    std::string_view DisplayName() const { return FieldText(displayName); }
    void SetUserName(std::string_view text) { CopyTextField(userName, text); }
    void SetDisplayName(std::string_view text) { CopyTextField(displayName, text); }
};

static_assert(sizeof(UserInfo) == 520);
static_assert(offsetof(UserInfo, userName) == 4);
static_assert(offsetof(UserInfo, displayName) == 388);
static_assert(offsetof(UserInfo, accountType) == 516);
static_assert(std::is_trivially_copyable_v<UserInfo>);

// The account label of the main window's title bar: "No user login",
// "User: name" or, with a nickname, "User: nickname(name)".
std::string AccountLabel(bool loggedIn, std::string_view userName, std::string_view displayName);

}  // namespace orbisight
