#include <gtest/gtest.h>

#include <fstream>

#include "account/AccountDialogChecks.h"
#include "account/AccountSettings.h"
#include "account/UserInfo.h"
#include "tests/account/TempFolder.h"

namespace orbisight {
namespace {

TEST(AccountSettings, DefaultsWithoutAFile) {
    test::TempFolder folder;
    auto settings = AccountSettings::Load(folder.Path() / "CameraClient.ini");
    EXPECT_EQ(settings.registerPort, 5560);
    EXPECT_EQ(settings.loginPort, 5590);
    EXPECT_EQ(settings.deviceGetPort, 8629);
    EXPECT_EQ(settings.deviceSetPort, 8628);
    EXPECT_EQ(settings.registerHosts[0], AccountSettings::kPrimaryRegisterHost);
    EXPECT_EQ(settings.registerHosts[1], AccountSettings::kPrimaryRegisterHost);
    EXPECT_EQ(settings.loginHosts[0], AccountSettings::kPrimaryLoginHost);
    EXPECT_EQ(settings.loginHosts[1], AccountSettings::kPrimaryLoginHost);
}

TEST(AccountSettings, EmptyHostKeysTakeTheFixedHostsAndBadPortsTheDefaults) {
    test::TempFolder folder;
    auto file = folder.Path() / "CameraClient.ini";
    std::ofstream(file) << "[CameraClient]\n"
                           "Loginport=7001\n"
                           "Registerport=70000\n"
                           "DeviceSetPort=abc\n"
                           "LoginIP=\n"
                           "LoginIP1=\n"
                           "RegisterIP=reg.example\n"
                           "RegisterIP1=\n"
                        << "[Other]\nLoginIP=ignored\n";
    auto settings = AccountSettings::Load(file);
    EXPECT_EQ(settings.loginPort, 7001);
    EXPECT_EQ(settings.registerPort, 5560);
    EXPECT_EQ(settings.deviceSetPort, 8628);
    EXPECT_EQ(settings.loginHosts[0], AccountSettings::kPrimaryLoginHost);
    EXPECT_EQ(settings.loginHosts[1], AccountSettings::kSecondaryLoginHost);
    EXPECT_EQ(settings.registerHosts[0], "reg.example");
    EXPECT_EQ(settings.registerHosts[1], AccountSettings::kSecondaryRegisterHost);

    std::ofstream(file) << "[CameraClient]\nLoginIP=" << std::string(400, 'h') << "\n";
    EXPECT_EQ(AccountSettings::Load(file).loginHosts[0].size(), 255u);
}

TEST(AccountDialogs, RegistrationTrimsAndLowerCasesTheUserName) {
    RegistrationInput input{"  Alice.Smith \t", "  Ali  ", "pw", "pw", "a@b.c"};
    EXPECT_EQ(CheckRegistration(input), "");
    EXPECT_EQ(input.userName, "alice.smith");
    EXPECT_EQ(input.nickname, "Ali");

    RegistrationInput blank{"   ", "", "pw", "pw", ""};
    EXPECT_EQ(CheckRegistration(blank), "Please input user name");
    RegistrationInput noPassword{"bob", "", "", "", ""};
    EXPECT_EQ(CheckRegistration(noPassword), "Please input password!");
    RegistrationInput differ{"bob", "", "pw", "Pw", ""};
    EXPECT_EQ(CheckRegistration(differ), "Repeat password not correct!");
}

TEST(AccountDialogs, UserInfoAndBindChecks) {
    EXPECT_EQ(CheckUserInfoChange("", "", ""), "Please input password!");
    EXPECT_EQ(CheckUserInfoChange("old", "new", "neW"), "Repeat password not correct!");
    EXPECT_EQ(CheckUserInfoChange("old", "", "whatever"), "");
    EXPECT_EQ(CheckUserInfoChange("old", "new", "new"), "");

    BindInput fifteen{"ORBI0000000100X", "demo", "demo"};
    EXPECT_EQ(CheckBind(fifteen), "Device ID should be 16 bit or 12 bit");
    BindInput padded{"  ORBI00000001 ", " demo ", " pw "};
    EXPECT_EQ(CheckBind(padded), "");
    EXPECT_EQ(padded.deviceId, "ORBI00000001");
    EXPECT_EQ(padded.account, "demo");
    EXPECT_EQ(padded.password, "pw");
    BindInput sixteen{"ORBI000000010000", "", "pw"};
    EXPECT_EQ(CheckBind(sixteen), "Please input user name and password! ");
    EXPECT_EQ(BindDialogInitialId(""), "000000000001");
    EXPECT_EQ(BindDialogInitialId("X"), "X");
}

TEST(AccountDialogs, LoginTextsAndTheAccountLabel) {
    EXPECT_EQ(CheckLoginInput("", "x"), "Please input the user name!");
    EXPECT_EQ(CheckLoginInput("u", ""), "Please input the password!");
    EXPECT_EQ(LoginProgressText(2, 3), "try to login at the 3 times ...");
    EXPECT_EQ(LoginProgressText(2, 6),
              "Could not login in the server, please check your network\xEF\xBC\x81");
    EXPECT_EQ(LoginProgressText(1, 0), "Password error, please try it again\xEF\xBC\x81");
    EXPECT_EQ(LoginProgressText(0, 1), "");
    EXPECT_EQ(LanBindResultText(0, "Dev already bind"), "Sorry, device is bound!");
    EXPECT_EQ(LanBindResultText(0, "Dev already bound"), "Sorry, bind failed!");
    EXPECT_EQ(LanBindResultText(1, ""), "Bind success! ");

    EXPECT_EQ(AccountLabel(false, "demo", "Demo"), "No user login");
    EXPECT_EQ(AccountLabel(true, "demo", ""), "User: demo");
    EXPECT_EQ(AccountLabel(true, "demo", "Demo User"), "User: Demo User(demo)");
}

}  // namespace
}  // namespace orbisight
