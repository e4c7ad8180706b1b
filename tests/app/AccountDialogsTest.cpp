// Registration and user information against the account simulator: every
// check with its message, the request, and what follows a success.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>
#include <thread>

#include "AccountWindowFixture.h"
#include "app/CDlgUserInfo.h"
#include "app/CDlgUserRegister.h"
#include "app/TitleBar.h"
#include "ui/BusyCall.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;

using AccountDialogs = AccountWindowFixture;

void Fill(CDlgUserRegister& d, const char* user, const char* nick, const char* password,
          const char* repeat, const char* email) {
    d.UserNameEdit()->setText(QString::fromUtf8(user));
    d.NicknameEdit()->setText(QString::fromUtf8(nick));
    d.PasswordEdit()->setText(password);
    d.RepeatEdit()->setText(repeat);
    d.EmailEdit()->setText(email);
}

// A request that waits for a slow server: the window keeps handling its
// events, cannot be closed meanwhile, and is usable again afterwards.
TEST(BusyCall, RunsOffTheWindowThreadAndHoldsTheDialogOpen) {
    QDialog dialog;
    dialog.show();
    std::thread::id caller = std::this_thread::get_id();
    std::thread::id ranOn;
    int ticks = 0;
    bool enabledDuring = true;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        enabledDuring = enabledDuring && dialog.isEnabled();
        dialog.close();  // the window's close box
    });
    timer.start(20);
    int result = ui::RunBusy(&dialog, [&] {
        ranOn = std::this_thread::get_id();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return 7;
    });
    timer.stop();
    EXPECT_EQ(result, 7);
    EXPECT_NE(ranOn, caller);
    EXPECT_GT(ticks, 3) << "the window's events were not handled during the call";
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(dialog.isVisible()) << "closed while the call ran";
    EXPECT_TRUE(dialog.isEnabled());
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(AccountDialogs, RegistrationChecksItsFieldsAndSendsTheNameTrimmedInLowerCase) {
    StartSim();
    Open();
    MessageRecorder messages;
    CDlgUserRegister dialog(Session(), window_.get());
    EXPECT_EQ(dialog.windowTitle(), "Orbisight Cloud User");
    int requests = sim_->Count("register_user reg-s");
    Fill(dialog, "   ", "", "pw", "pw", "");
    EXPECT_FALSE(dialog.Submit());
    Fill(dialog, "Carol", "", "", "", "");
    EXPECT_FALSE(dialog.Submit());
    Fill(dialog, "Carol", "", "pw1", "pw2", "");
    EXPECT_FALSE(dialog.Submit());
    EXPECT_EQ(sim_->Count("register_user reg-s"), requests) << "nothing sent";
    ASSERT_EQ(messages.asked.size(), 3u);
    EXPECT_EQ(messages.asked[0].text, "Please input user name");
    EXPECT_EQ(messages.asked[1].text, "Please input password!");
    EXPECT_EQ(messages.asked[2].text, "Repeat password not correct!");
    for (const auto& m : messages.asked) {
        EXPECT_EQ(m.title, "Error");
        EXPECT_EQ(m.icon, ui::MessageIcon::kCritical);
    }

    Fill(dialog, "  New.User ", " Néo ", "pw1", "pw1", "new@example.org");
    ASSERT_TRUE(dialog.Submit());
    EXPECT_EQ(dialog.RegisteredUserName(), "new.user");
    EXPECT_EQ(dialog.RegisteredPassword(), "pw1");
    EXPECT_EQ(dialog.UserNameEdit()->text(), "new.user");
    EXPECT_EQ(messages.asked.size(), 3u) << "no message on success";

    // The same name again: the server refuses.
    CDlgUserRegister again(Session(), window_.get());
    Fill(again, "new.user", "", "x", "x", "");
    EXPECT_FALSE(again.Submit());
    EXPECT_EQ(messages.asked.back().text, "The user name exist, register failed!");
    EXPECT_EQ(messages.asked.back().title, "Error");
}

TEST_F(AccountDialogs, ARegisteredAccountGoesToTheFrontAndLogsInAtOnce) {
    StartSim();
    Open();
    {
        CDlgUserRegister dialog(Session(), window_.get());
        Fill(dialog, "carol", "Carol", "pw", "pw", "");
        ASSERT_TRUE(dialog.Submit());
    }
    CDlgMyVelaLogin* login = window_->OpenLoginDialog();
    login->OnRegistered("carol", "pw");
    EXPECT_EQ(login->AccountBox()->itemText(0), "carol");
    ASSERT_TRUE(WaitUntil([&] { return Session()->IsLoggedIn(); }, 10000));
    EXPECT_EQ(Session()->UserName(), "carol");
    ASSERT_TRUE(WaitUntil([&] { return window_->Title()->AccountText() == "User: Carol(carol)"; }));
}

TEST_F(AccountDialogs, UserInfoChecksThePasswordsAndShowsTheNewNickname) {
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill());
    ASSERT_TRUE(WaitUntil([&] { return Session()->UserInfoReceived(); }));
    MessageRecorder messages;
    CDlgUserInfo dialog(Session(), window_.get());
    EXPECT_EQ(dialog.UserNameEdit()->text(), "demo");
    EXPECT_EQ(dialog.NicknameEdit()->text(), "Demo User");

    int requests = sim_->Count("modify_user reg-s");
    EXPECT_FALSE(dialog.Submit());
    dialog.PasswordEdit()->setText("demo");
    dialog.NewPasswordEdit()->setText("new1");
    dialog.RepeatEdit()->setText("new2");
    EXPECT_FALSE(dialog.Submit());
    EXPECT_EQ(sim_->Count("modify_user reg-s"), requests) << "nothing sent";
    dialog.PasswordEdit()->setText("not-it");
    dialog.RepeatEdit()->setText("new1");
    EXPECT_FALSE(dialog.Submit());
    ASSERT_EQ(messages.asked.size(), 3u);
    EXPECT_EQ(messages.asked[0].text, "Please input password!");
    EXPECT_EQ(messages.asked[1].text, "Repeat password not correct!");
    EXPECT_EQ(messages.asked[2].text, "User info modify failed, please retry!");
    for (const auto& m : messages.asked) {
        EXPECT_EQ(m.title, "Note");
        EXPECT_EQ(m.icon, ui::MessageIcon::kCritical);
    }

    dialog.PasswordEdit()->setText("demo");
    dialog.NicknameEdit()->setText("Dee");
    ASSERT_TRUE(dialog.Submit());
    EXPECT_EQ(messages.asked.back().text, "User info modified, please remember your new password");
    EXPECT_EQ(messages.asked.back().icon, ui::MessageIcon::kInformation);
    EXPECT_EQ(Session()->SessionPassword(), "new1") << "later requests use the new password";
    ASSERT_TRUE(WaitUntil([&] { return window_->Title()->AccountText() == "User: Dee(demo)"; }));
}

TEST_F(AccountDialogs, TheAccountLabelOpensTheUserInformationWhenLoggedIn) {
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill());
    QString opened;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* info = qobject_cast<CDlgUserInfo*>(modal)) {
            opened = info->UserNameEdit()->text();
            info->reject();
        } else if (modal) {
            modal->close();
        }
    });
    emit window_->Title()->accountClicked();
    EXPECT_EQ(opened, "demo");
}

}  // namespace
}  // namespace orbisight
