#include "app/CDlgUserInfo.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "account/AccountDialogChecks.h"
#include "account/CXOMPWorker.h"
#include "ui/BusyCall.h"
#include "ui/MessageBoxes.h"

namespace orbisight {

namespace {
std::string Utf8(const QLineEdit* edit) {
    return edit->text().toUtf8().toStdString();
}
QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

CDlgUserInfo::CDlgUserInfo(CXOMPWorker* worker, QWidget* parent)
    : QDialog(parent), worker_(worker) {
    setWindowTitle("Orbisight Cloud System - User Info");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    auto* header = new QLabel("Your account", this);
    header->setStyleSheet("font-size: 15px; font-weight: bold; color: #1f6fd1;");
    layout->addWidget(header);

    auto* form = new QFormLayout;
    userNameEdit_ = new QLineEdit(this);
    // The account name is what the server knows the user by: not editable.
    userNameEdit_->setReadOnly(true);
    nicknameEdit_ = new QLineEdit(this);
    passwordEdit_ = new QLineEdit(this);
    passwordEdit_->setEchoMode(QLineEdit::Password);
    newPasswordEdit_ = new QLineEdit(this);
    newPasswordEdit_->setEchoMode(QLineEdit::Password);
    newPasswordEdit_->setPlaceholderText("leave empty to keep the password");
    repeatEdit_ = new QLineEdit(this);
    repeatEdit_->setEchoMode(QLineEdit::Password);
    form->addRow("User name:", userNameEdit_);
    form->addRow("Nickname:", nicknameEdit_);
    form->addRow("Current password:", passwordEdit_);
    form->addRow("New password:", newPasswordEdit_);
    form->addRow("Repeat new password:", repeatEdit_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgUserInfo::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    if (auto user = worker_->CurrentUser()) {
        userNameEdit_->setText(Text(user->UserName()));
        nicknameEdit_->setText(Text(user->DisplayName()));
    } else {
        userNameEdit_->setText(Text(worker_->UserName()));
    }
    setMinimumWidth(380);
}

bool CDlgUserInfo::Submit() {
    std::string password = Utf8(passwordEdit_);
    std::string newPassword = Utf8(newPasswordEdit_);
    std::string problem = CheckUserInfoChange(password, newPassword, Utf8(repeatEdit_));
    if (!problem.empty()) {
        ui::ShowNote(this, account_text::kNote, Text(problem), ui::MessageIcon::kCritical);
        return false;
    }
    std::string userName = Utf8(userNameEdit_);
    std::string nickname = Utf8(nicknameEdit_);
    int result = ui::RunBusy(
        this, [&] { return worker_->ModifyUser(userName, password, nickname, newPassword); });
    if (result != 1) {
        ui::ShowNote(this, account_text::kNote, account_text::kUserModifyFailed,
                     ui::MessageIcon::kCritical);
        return false;
    }
    ui::ShowNote(this, account_text::kNote, account_text::kUserModified,
                 ui::MessageIcon::kInformation);
    return true;
}

void CDlgUserInfo::accept() {
    if (Submit()) {
        QDialog::accept();
    }
}

}  // namespace orbisight
