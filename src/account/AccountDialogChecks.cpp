#include "account/AccountDialogChecks.h"

#include <cstdio>

#include "account/CXOMPWorker.h"
#include "platform/Text.h"

namespace orbisight {

std::string CheckLoginInput(std::string_view userName, std::string_view password) {
    if (userName.empty()) {
        return account_text::kEnterUserName;
    }
    if (password.empty()) {
        return account_text::kEnterPassword;
    }
    return {};
}

std::string LoginProgressText(intptr_t result, int attempt) {
    switch (result) {
        case CXOMPWorker::kLoginRefused:
            return account_text::kPasswordError;
        case CXOMPWorker::kConnectFailed: {
            if (attempt >= CXOMPWorker::kLoginAttempts) {
                return account_text::kNoServer;
            }
            char text[64];
            std::snprintf(text, sizeof text, "try to login at the %d times ...", attempt);
            return text;
        }
        default:
            return {};
    }
}

std::string CheckRegistration(RegistrationInput& input) {
    input.userName = ToLowerAscii(Trim(input.userName));
    input.nickname = std::string(Trim(input.nickname));
    if (input.userName.empty()) {
        return account_text::kRegisterNoUser;
    }
    if (input.password.empty()) {
        return account_text::kRegisterNoPassword;
    }
    if (input.password != input.repeatPassword) {
        return account_text::kRepeatWrong;
    }
    return {};
}

std::string CheckUserInfoChange(std::string_view currentPassword, std::string_view newPassword,
                                std::string_view repeatPassword) {
    if (currentPassword.empty()) {
        return account_text::kRegisterNoPassword;
    }
    if (!newPassword.empty() && newPassword != repeatPassword) {
        return account_text::kRepeatWrong;
    }
    return {};
}

std::string CheckBind(BindInput& input) {
    input.deviceId = std::string(Trim(input.deviceId));
    input.account = std::string(Trim(input.account));
    input.password = std::string(Trim(input.password));
    if (input.deviceId.size() != 16 && input.deviceId.size() != 12) {
        return account_text::kBadDeviceId;
    }
    if (input.account.empty() || input.password.empty()) {
        return account_text::kBindNoCredentials;
    }
    return {};
}

std::string BindDialogInitialId(std::string_view deviceId) {
    return deviceId.empty() ? std::string(account_text::kDefaultBindId) : std::string(deviceId);
}

std::string LanBindResultText(int result, std::string_view lastStatus) {
    if (result == 1) {
        return account_text::kLanBindDone;
    }
    return lastStatus == account_text::kAlreadyBoundStatus ? account_text::kLanAlreadyBound
                                                           : account_text::kLanBindFailed;
}

}  // namespace orbisight
