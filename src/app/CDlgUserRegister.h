#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace orbisight {

class CXOMPWorker;

// Creates an account on the register server: user name, nickname, password
// twice and e-mail. On success it closes with OK and hands the user name and
// password back to the login dialog.
class CDlgUserRegister : public QDialog {
    Q_OBJECT
  public:
    CDlgUserRegister(CXOMPWorker* worker, QWidget* parent);

    // The OK step: checks, then the request. False keeps the dialog open
    // (a message was shown).
    bool Submit();
    void accept() override;

    // After a successful registration: what the server accepted.
    const std::string& RegisteredUserName() const { return userName_; }
    const std::string& RegisteredPassword() const { return password_; }

    QLineEdit* UserNameEdit() const { return userNameEdit_; }
    QLineEdit* NicknameEdit() const { return nicknameEdit_; }
    QLineEdit* PasswordEdit() const { return passwordEdit_; }
    QLineEdit* RepeatEdit() const { return repeatEdit_; }
    QLineEdit* EmailEdit() const { return emailEdit_; }

  private:
    CXOMPWorker* worker_;
    QLineEdit* userNameEdit_ = nullptr;
    QLineEdit* nicknameEdit_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QLineEdit* repeatEdit_ = nullptr;
    QLineEdit* emailEdit_ = nullptr;
    std::string userName_;
    std::string password_;
};

}  // namespace orbisight
