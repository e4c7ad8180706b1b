#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orbisight {

// The checks and texts of the account dialogs (login, registration, user
// information, device bind), without any window: the dialogs show what
// these return. An empty message means the input is accepted.
namespace account_text {
// Titles.
constexpr const char* kTips = "Tips";
constexpr const char* kNote = "Note";
constexpr const char* kError = "Error";
// Login dialog.
constexpr const char* kEnterUserName = "Please input the user name!";
constexpr const char* kEnterPassword = "Please input the password!";
constexpr const char* kFirstAttempt = "try to login at 1 time...";
constexpr const char* kPasswordError = "Password error, please try it again\xEF\xBC\x81";
constexpr const char* kNoServer =
    "Could not login in the server, please check your network\xEF\xBC\x81";
// Registration dialog ("Orbisight Cloud User").
constexpr const char* kRegisterTitle = "Orbisight Cloud User";
constexpr const char* kRegisterNoUser = "Please input user name";
constexpr const char* kRegisterNoPassword = "Please input password!";
constexpr const char* kRepeatWrong = "Repeat password not correct!";
constexpr const char* kRegisterFailed = "The user name exist, register failed!";
// User information dialog.
constexpr const char* kUserModified = "User info modified, please remember your new password";
constexpr const char* kUserModifyFailed = "User info modify failed, please retry!";
// Device bind dialog.
constexpr const char* kDefaultBindId = "000000000001";
constexpr const char* kUnbindTitle = "Orbisight Cloud System - Device unbind";
constexpr const char* kUnbindButton = "unbind";
constexpr const char* kBadDeviceId = "Device ID should be 16 bit or 12 bit";
constexpr const char* kBindNoCredentials = "Please input user name and password! ";
constexpr const char* kBindDone = "Device bind success!";
constexpr const char* kBindFailed = "Sorry, device bind failed!";
constexpr const char* kUnbindDone = "Device unbind success!";
constexpr const char* kUnbindFailed = "Sorry, device unbind failed!";
// LAN device window (bind from a search result).
constexpr const char* kLoginFirst = "Please login first !";
constexpr const char* kLanBindDone = "Bind success! ";
constexpr const char* kLanAlreadyBound = "Sorry, device is bound!";
constexpr const char* kLanBindFailed = "Sorry, bind failed!";
constexpr const char* kAlreadyBoundStatus = "Dev already bind";
}  // namespace account_text

// Login dialog: the message for empty fields, else "".
std::string CheckLoginInput(std::string_view userName, std::string_view password);
// The tip for a session notice of code 0 (lParam 0, 1 or 2) with the login
// attempt counter; "" for an accepted login.
std::string LoginProgressText(intptr_t result, int attempt);

// Registration: trims user name and nickname and turns the user name to
// lower case (in place); returns the message to show (title "Error") or "".
struct RegistrationInput {
    std::string userName;
    std::string nickname;
    std::string password;
    std::string repeatPassword;
    std::string email;
};
std::string CheckRegistration(RegistrationInput& input);

// User information: the message to show (title "Note") or "".
std::string CheckUserInfoChange(std::string_view currentPassword, std::string_view newPassword,
                                std::string_view repeatPassword);

// Device bind: trims the three fields (in place); the message to show
// (title "Note") or "".
struct BindInput {
    std::string deviceId;
    std::string account;
    std::string password;
};
std::string CheckBind(BindInput& input);
// The ID the dialog opens with.
std::string BindDialogInitialId(std::string_view deviceId);
// The LAN device window's message after a bind: by result and the session's
// last status text.
std::string LanBindResultText(int result, std::string_view lastStatus);

}  // namespace orbisight
