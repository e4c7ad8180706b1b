#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace orbisight {

class AppSettings;
class CXOMPWorker;
class LoginTipWindow;

// The login dialog: the saved accounts (most recent first) with their
// remembered passwords, "Remember PWD", "Auto Login", the register link and
// the tip strip that follows the connect attempts. "Login" saves the choice
// and starts the session's login on its own thread; the session's answers
// arrive through the device tree (OnLoginNotice), which closes the dialog
// with OK once the login is accepted.
class CDlgMyVelaLogin : public QDialog {
    Q_OBJECT
  public:
    // Shown (title "Error") when the saved logins could not be written.
    static constexpr const char* kSaveFailedText =
        "The saved accounts could not be stored. The list kept before this change is "
        "still saved; please check the disk and try again.";

    // firstOpen: the first login dialog since the program started; with
    // auto login on it then presses "Login" by itself once shown.
    CDlgMyVelaLogin(CXOMPWorker* worker, AppSettings& settings, bool firstOpen, QWidget* parent);

    // A code-0 session notice: result 0 accepted, 1 refused, 2 a connect
    // attempt failed (attempt: its number, 1 to 6).
    void OnLoginNotice(intptr_t result, int attempt);

    // "Login", as a click does. False when nothing was started (the button
    // is disabled, a field is empty, or the session was logged in just
    // before). A press while an earlier cycle still runs (after a failed
    // attempt) abandons that cycle and logs in with the fields as they are.
    // A save of the logins that fails is reported; the login goes ahead.
    bool PressLogin();
    // Puts an account name and password into the fields as typing does.
    void TypeAccount(const QString& userName, const QString& password);
    // The "Register" link: the registration dialog, then OnRegistered.
    void OpenRegistration();
    // A registration succeeded: the new account goes to the front of the
    // list, is selected and logs in at once.
    void OnRegistered(const std::string& userName, const std::string& password);
    // Removes the selected account from the saved logins.
    void ForgetSelected();

    // Controls, for tests and the automation.
    QComboBox* AccountBox() const { return account_; }
    QLineEdit* PasswordBox() const { return password_; }
    QCheckBox* RememberBox() const { return remember_; }
    QCheckBox* AutoLoginBox() const { return autoLogin_; }
    QPushButton* LoginButton() const { return login_; }
    QPushButton* CancelButton() const { return cancel_; }
    LoginTipWindow* Tip() const { return tip_; }
    // The saved login chosen in the account box, or -1 for a typed name.
    int ChosenIndex() const { return chosen_; }

    void reject() override;

  signals:
    // Every text the tip strip shows, in order.
    void tipChanged(const QString& text);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FillAccounts(int select);
    void Choose(int index);
    void OnAccountEdited(const QString& text);
    void ShowTip(const QString& text, bool closable);
    void SetButtonsEnabled(bool enabled);
    void ReportSaveFailure();

    CXOMPWorker* worker_;
    AppSettings& settings_;
    bool autoPress_;
    int chosen_ = -1;
    QComboBox* account_ = nullptr;
    QToolButton* forget_ = nullptr;
    QLineEdit* password_ = nullptr;
    QCheckBox* remember_ = nullptr;
    QCheckBox* autoLogin_ = nullptr;
    QPushButton* login_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* register_ = nullptr;
    LoginTipWindow* tip_ = nullptr;
};

}  // namespace orbisight
