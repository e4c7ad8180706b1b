// The login dialog against the account simulator: saved accounts, the
// checks, the login itself, and the tips that follow a refusal and an
// unreachable service.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include "AccountWindowFixture.h"
#include "app/CDlgDevAllCtrl.h"
#include "app/LoginTipWindow.h"
#include "app/TitleBar.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;

const QString kPasswordError = QString::fromUtf8("Password error, please try it again！");
const QString kNoServer =
    QString::fromUtf8("Could not login in the server, please check your network！");

class LoginDialog : public AccountWindowFixture {
  protected:
    SavedLogins Stored() const { return SavedLogins(Registry(places_.dataFolder / "registry")); }
    // Two saved accounts before the window opens: "demo" (most recent, no
    // password remembered) and "alice" with her password.
    void StoreTwoAccounts() {
        SavedLogins logins = Stored();
        logins.Add("alice", "secret").autoLogin = 0;
        logins.Add("demo", "");
        ASSERT_TRUE(logins.Save());
    }
    QStringList Tips(QSignalSpy& spy) {
        QStringList out;
        for (const QList<QVariant>& args : spy) {
            out << args.at(0).toString();
        }
        return out;
    }
};

TEST_F(LoginDialog, SavedAccountsFillTheFieldsAndTypingFollowsExactNamesOnly) {
    StoreTwoAccounts();
    Open();
    CDlgMyVelaLogin* dialog = window_->OpenLoginDialog();
    QComboBox* account = dialog->AccountBox();
    ASSERT_EQ(account->count(), 2);
    EXPECT_EQ(account->itemText(0), "demo") << "most recent first";
    EXPECT_EQ(account->itemText(1), "alice");
    EXPECT_EQ(account->currentText(), "demo");
    EXPECT_EQ(dialog->PasswordBox()->text(), "");
    EXPECT_FALSE(dialog->RememberBox()->isChecked());

    // Choosing an account fills its password and checks "Remember PWD".
    account->setCurrentIndex(1);
    emit account->activated(1);
    EXPECT_EQ(dialog->PasswordBox()->text(), "secret");
    EXPECT_TRUE(dialog->RememberBox()->isChecked());

    // Typing clears the password; only an exact name (letter case too)
    // selects a saved account.
    QTest::keyClicks(account->lineEdit(), "x");
    EXPECT_EQ(dialog->PasswordBox()->text(), "");
    EXPECT_EQ(dialog->ChosenIndex(), -1);
    account->lineEdit()->clear();
    QTest::keyClicks(account->lineEdit(), "Alice");
    EXPECT_EQ(dialog->ChosenIndex(), -1);
    EXPECT_EQ(dialog->PasswordBox()->text(), "");
    account->lineEdit()->clear();
    QTest::keyClicks(account->lineEdit(), "alice");
    EXPECT_EQ(dialog->ChosenIndex(), 1);
    EXPECT_EQ(dialog->PasswordBox()->text(), "secret");
    EXPECT_EQ(account->currentText(), "alice");

    // Forgetting an account removes it from the store as well.
    dialog->ForgetSelected();
    EXPECT_EQ(account->count(), 1);
    SavedLogins stored = Stored();
    stored.Load();
    ASSERT_EQ(stored.Count(), 1u);
    EXPECT_EQ(stored.At(0)->UserName(), "demo");
}

TEST_F(LoginDialog, EmptyFieldsAreRefusedWithTheirMessages) {
    Open();
    CDlgMyVelaLogin* dialog = window_->OpenLoginDialog();
    MessageRecorder messages;
    EXPECT_FALSE(dialog->PressLogin());
    dialog->TypeAccount("demo", "");
    EXPECT_FALSE(dialog->PressLogin());
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_EQ(messages.asked[0].text, "Please input the user name!");
    EXPECT_EQ(messages.asked[1].text, "Please input the password!");
    for (const auto& m : messages.asked) {
        EXPECT_EQ(m.title, "Tips");
        EXPECT_EQ(m.icon, ui::MessageIcon::kCritical);
    }
    EXPECT_TRUE(dialog->LoginButton()->isEnabled());
    EXPECT_FALSE(dialog->Tip()->isVisible());
}

TEST_F(LoginDialog, LoginSavesTheChoiceAndClosesOnceAccepted) {
    StartSim();
    StoreTwoAccounts();
    Open();
    CDlgMyVelaLogin* dialog = window_->OpenLoginDialog();
    QSignalSpy finished(dialog, &QDialog::finished);
    dialog->AccountBox()->setCurrentIndex(0);
    dialog->TypeAccount("demo", "demo");
    dialog->RememberBox()->setChecked(true);
    dialog->AutoLoginBox()->setChecked(true);
    ASSERT_TRUE(dialog->PressLogin());
    // While the attempt runs the buttons wait and the tip says so.
    EXPECT_FALSE(dialog->LoginButton()->isEnabled());
    EXPECT_FALSE(dialog->CancelButton()->isEnabled());
    EXPECT_EQ(dialog->Tip()->Text(), "try to login at 1 time...");
    EXPECT_FALSE(dialog->Tip()->Closable());
    dialog->reject();  // Esc waits with "Cancel"
    EXPECT_TRUE(finished.isEmpty());

    ASSERT_TRUE(WaitUntil([&] { return !finished.isEmpty(); }, 10000));
    EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Accepted);
    EXPECT_TRUE(Session()->IsLoggedIn());
    EXPECT_EQ(window_->LoginDialog(), nullptr);
    EXPECT_EQ(settings_->Record().autoLogin, 1) << "auto login follows the saved login";
    ASSERT_TRUE(
        WaitUntil([&] { return window_->Title()->AccountText() == "User: Demo User(demo)"; }));

    SavedLogins stored = Stored();
    stored.Load();
    ASSERT_EQ(stored.Count(), 2u);
    EXPECT_EQ(stored.At(0)->UserName(), "demo");
    EXPECT_EQ(stored.At(0)->Password(), "demo") << "remembered";
    EXPECT_EQ(stored.At(0)->autoLogin, 1);
    EXPECT_EQ(stored.At(1)->UserName(), "alice");
    EXPECT_EQ(Session()->Logins().InUse(), Session()->Logins().At(0));
}

TEST_F(LoginDialog, AStoreThatCannotBeWrittenIsReportedAndLosesNoSavedLogin) {
    StartSim();
    StoreTwoAccounts();
    Open();
    CDlgMyVelaLogin* dialog = window_->OpenLoginDialog();
    MessageRecorder messages;
    Session()->Logins().Store().FailWritesAfter(1);  // the second value fails
    dialog->TypeAccount("demo", "demo");
    dialog->RememberBox()->setChecked(true);
    ASSERT_TRUE(dialog->PressLogin()) << "the login goes ahead";
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].title, "Error");
    EXPECT_EQ(messages.asked[0].text, CDlgMyVelaLogin::kSaveFailedText);
    SavedLogins stored = Stored();
    stored.Load();
    ASSERT_EQ(stored.Count(), 2u);
    EXPECT_EQ(stored.At(0)->UserName(), "demo");
    EXPECT_EQ(stored.At(0)->Password(), "") << "as before the press";
    EXPECT_EQ(stored.At(1)->UserName(), "alice");

    // Forgetting an account that cannot be stored says so as well.
    ASSERT_TRUE(WaitUntil([&] { return Session()->IsLoggedIn(); }, 10000));
    Session()->Logins().Store().FailWritesAfter(0);
    CDlgMyVelaLogin again(Session(), *settings_, false, window_.get());
    again.AccountBox()->setCurrentIndex(1);
    emit again.AccountBox()->activated(1);
    again.ForgetSelected();
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_EQ(messages.asked[1].text, CDlgMyVelaLogin::kSaveFailedText);
    stored.Load();
    EXPECT_EQ(stored.Count(), 2u);
}

TEST_F(LoginDialog, AChosenAccountMovesToTheFrontAndForgetsAnUncheckedPassword) {
    StartSim();
    {
        SavedLogins logins = Stored();
        logins.Add("demo", "demo");
        logins.Add("alice", "secret");
        ASSERT_TRUE(logins.Save());
    }
    Open();
    CDlgMyVelaLogin* dialog = window_->OpenLoginDialog();
    QComboBox* account = dialog->AccountBox();
    ASSERT_EQ(account->itemText(1), "demo");
    account->setCurrentIndex(1);
    emit account->activated(1);
    dialog->RememberBox()->setChecked(false);
    ASSERT_TRUE(dialog->PressLogin());
    EXPECT_EQ(account->itemText(0), "demo");
    ASSERT_TRUE(WaitUntil([&] { return Session()->IsLoggedIn(); }, 10000));
    SavedLogins stored = Stored();
    stored.Load();
    ASSERT_EQ(stored.Count(), 2u) << "no duplicate for a chosen account";
    EXPECT_EQ(stored.At(0)->UserName(), "demo");
    EXPECT_EQ(stored.At(0)->Password(), "") << "not remembered any more";
    EXPECT_EQ(stored.At(1)->UserName(), "alice");
}

TEST_F(LoginDialog, WrongPasswordShowsItsTipAndLetsTheUserTryAgain) {
    StartSim();
    Open();
    CDlgMyVelaLogin* dialog = window_->OpenLoginDialog();
    QSignalSpy tips(dialog, &CDlgMyVelaLogin::tipChanged);
    dialog->TypeAccount("demo", "wrong");
    ASSERT_TRUE(dialog->PressLogin());
    ASSERT_TRUE(WaitUntil([&] { return dialog->Tip()->Text() == kPasswordError; }, 10000));
    EXPECT_TRUE(dialog->LoginButton()->isEnabled());
    EXPECT_TRUE(dialog->CancelButton()->isEnabled());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(Session()->IsLoggedIn());
    EXPECT_EQ(Tips(tips), QStringList({"try to login at 1 time...", kPasswordError}));

    dialog->TypeAccount("demo", "demo");
    ASSERT_TRUE(dialog->PressLogin());
    ASSERT_TRUE(
        WaitUntil([&] { return Session()->IsLoggedIn() && !window_->LoginDialog(); }, 10000));
}

TEST_F(LoginDialog, UnreachableServiceShowsEveryAttemptThenTheNetworkMessage) {
    StartSim();
    sim_->Stop();  // its ports now refuse
    Open();
    CDlgMyVelaLogin* dialog = window_->OpenLoginDialog();
    QSignalSpy tips(dialog, &CDlgMyVelaLogin::tipChanged);
    dialog->TypeAccount("demo", "demo");
    ASSERT_TRUE(dialog->PressLogin());
    ASSERT_TRUE(WaitUntil([&] { return dialog->Tip()->Text() == kNoServer; }, 15000));
    // Each attempt's own number, even when the notices are handled after
    // the session has moved on.
    EXPECT_EQ(Tips(tips),
              QStringList({"try to login at 1 time...", "try to login at the 1 times ...",
                           "try to login at the 2 times ...", "try to login at the 3 times ...",
                           "try to login at the 4 times ...", "try to login at the 5 times ...",
                           kNoServer}));
    EXPECT_TRUE(dialog->Tip()->Closable()) << "the final failure can be closed";
    EXPECT_TRUE(dialog->LoginButton()->isEnabled());
    EXPECT_FALSE(Session()->IsLoggedIn());
    EXPECT_EQ(window_->Title()->AccountText(), "No user login");
}

TEST_F(LoginDialog, AttemptTextsKeepTheCloseButtonHidden) {
    Open();
    CDlgMyVelaLogin* dialog = window_->OpenLoginDialog();
    Notice attempt{notice::kAccountSession, CXOMPWorker::kLoginResult, CXOMPWorker::kConnectFailed,
                   "3", nullptr};
    Tree()->HandleSessionNotice(attempt);
    EXPECT_EQ(dialog->Tip()->Text(), "try to login at the 3 times ...");
    EXPECT_FALSE(dialog->Tip()->Closable());
    attempt.text = "6";
    Tree()->HandleSessionNotice(attempt);
    EXPECT_EQ(dialog->Tip()->Text(), kNoServer);
    EXPECT_TRUE(dialog->Tip()->Closable());
}

TEST_F(LoginDialog, AutoLoginPressesLoginOnTheFirstDialogOnly) {
    StartSim();
    {
        SavedLogins logins = Stored();
        logins.Add("demo", "demo").autoLogin = 1;
        ASSERT_TRUE(logins.Save());
        AppSettings settings(places_);
        settings.Load();
        settings.Record().autoLogin = 1;
        ASSERT_TRUE(settings.Save());
    }
    Open(/*loginAtStart=*/true);
    ASSERT_TRUE(WaitUntil([&] { return Session()->IsLoggedIn(); }, 10000))
        << "the dialog at start logs in by itself";
    ASSERT_TRUE(WaitUntil([&] { return window_->LoginDialog() == nullptr; }));

    window_->LogoutNow();
    CDlgMyVelaLogin* again = window_->OpenLoginDialog();
    EXPECT_TRUE(again->AutoLoginBox()->isChecked());
    QTest::qWait(300);
    EXPECT_FALSE(Session()->IsLoggedIn()) << "later dialogs wait for the user";
    EXPECT_TRUE(again->LoginButton()->isEnabled());
}

TEST_F(LoginDialog, ToolbarAndAccountLabelOpenTheLoginWhenLoggedOut) {
    Open();
    ASSERT_EQ(window_->LoginDialog(), nullptr);
    window_->Toolbar()->Trigger(CDlgDevAllCtrl::kLogin);
    CDlgMyVelaLogin* dialog = window_->LoginDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isModal());
    window_->Command(CMyVelaExpertDlg::kCmdLoginLogout);
    EXPECT_EQ(window_->LoginDialog(), dialog) << "one login dialog at a time";
    dialog->reject();
    ASSERT_TRUE(WaitUntil([&] { return window_->LoginDialog() == nullptr; }));
    emit window_->Title()->accountClicked();
    EXPECT_NE(window_->LoginDialog(), nullptr);
}

}  // namespace
}  // namespace orbisight
