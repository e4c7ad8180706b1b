#include "app/CDlgUserRegister.h"

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
}  // namespace

CDlgUserRegister::CDlgUserRegister(CXOMPWorker* worker, QWidget* parent)
    : QDialog(parent), worker_(worker) {
    setWindowTitle(account_text::kRegisterTitle);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    auto* header = new QLabel("Create an account", this);
    header->setStyleSheet("font-size: 15px; font-weight: bold; color: #1f6fd1;");
    layout->addWidget(header);

    auto* form = new QFormLayout;
    userNameEdit_ = new QLineEdit(this);
    nicknameEdit_ = new QLineEdit(this);
    passwordEdit_ = new QLineEdit(this);
    passwordEdit_->setEchoMode(QLineEdit::Password);
    repeatEdit_ = new QLineEdit(this);
    repeatEdit_->setEchoMode(QLineEdit::Password);
    emailEdit_ = new QLineEdit(this);
    form->addRow("User name:", userNameEdit_);
    form->addRow("Nickname:", nicknameEdit_);
    form->addRow("Password:", passwordEdit_);
    form->addRow("Repeat password:", repeatEdit_);
    form->addRow("E-mail:", emailEdit_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText("Register");
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgUserRegister::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

bool CDlgUserRegister::Submit() {
    RegistrationInput input{Utf8(userNameEdit_), Utf8(nicknameEdit_), Utf8(passwordEdit_),
                            Utf8(repeatEdit_), Utf8(emailEdit_)};
    std::string problem = CheckRegistration(input);
    // The fields show what will be sent: trimmed, the user name in lower case.
    userNameEdit_->setText(QString::fromUtf8(input.userName.c_str()));
    nicknameEdit_->setText(QString::fromUtf8(input.nickname.c_str()));
    if (!problem.empty()) {
        ui::ShowNote(this, account_text::kError, QString::fromUtf8(problem.c_str()),
                     ui::MessageIcon::kCritical);
        return false;
    }
    int result = ui::RunBusy(this, [&] {
        return worker_->RegisterUser(input.email, input.userName, input.password, input.nickname);
    });
    if (result != 1) {
        ui::ShowNote(this, account_text::kError, account_text::kRegisterFailed,
                     ui::MessageIcon::kCritical);
        return false;
    }
    userName_ = input.userName;
    password_ = input.password;
    return true;
}

void CDlgUserRegister::accept() {
    if (Submit()) {
        QDialog::accept();
    }
}

}  // namespace orbisight
