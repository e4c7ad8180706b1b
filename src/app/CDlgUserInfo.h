#pragma once

#include <QDialog>

class QLineEdit;

namespace orbisight {

class CXOMPWorker;

// The logged-in user's account: the user name and nickname as the server
// described them, and a password change. OK sends "modify_user" with the
// current password; the nickname and the new password go only when given.
class CDlgUserInfo : public QDialog {
    Q_OBJECT
  public:
    CDlgUserInfo(CXOMPWorker* worker, QWidget* parent);

    // The OK step; false keeps the dialog open (a message was shown).
    bool Submit();
    void accept() override;

    QLineEdit* UserNameEdit() const { return userNameEdit_; }
    QLineEdit* NicknameEdit() const { return nicknameEdit_; }
    QLineEdit* PasswordEdit() const { return passwordEdit_; }
    QLineEdit* NewPasswordEdit() const { return newPasswordEdit_; }
    QLineEdit* RepeatEdit() const { return repeatEdit_; }

  private:
    CXOMPWorker* worker_;
    QLineEdit* userNameEdit_ = nullptr;
    QLineEdit* nicknameEdit_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QLineEdit* newPasswordEdit_ = nullptr;
    QLineEdit* repeatEdit_ = nullptr;
};

}  // namespace orbisight
