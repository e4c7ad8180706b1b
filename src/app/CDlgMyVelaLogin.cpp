#include "app/CDlgMyVelaLogin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "account/AccountDialogChecks.h"
#include "account/CXOMPWorker.h"
#include "app/AppSettings.h"
#include "app/CDlgUserRegister.h"
#include "app/LoginTipWindow.h"
#include "ui/MessageBoxes.h"

namespace orbisight {

namespace {
QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

CDlgMyVelaLogin::CDlgMyVelaLogin(CXOMPWorker* worker, AppSettings& settings, bool firstOpen,
                                 QWidget* parent)
    : QDialog(parent), worker_(worker), settings_(settings) {
    setWindowTitle("Orbisight Cloud System - Login");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 18, 22, 16);
    layout->setSpacing(10);

    auto* header = new QLabel("Orbisight Cloud System", this);
    header->setStyleSheet("font-size: 17px; font-weight: bold; color: #1f6fd1;");
    layout->addWidget(header);
    auto* subtitle = new QLabel("Sign in to see the cameras of your account.", this);
    subtitle->setStyleSheet("color: #6b7786;");
    layout->addWidget(subtitle);

    auto* form = new QFormLayout;
    form->setHorizontalSpacing(10);
    auto* accountRow = new QHBoxLayout;
    accountRow->setSpacing(4);
    account_ = new QComboBox(this);
    account_->setEditable(true);
    account_->setInsertPolicy(QComboBox::NoInsert);
    // Completion would change what the user types; an exact saved name is
    // picked up by OnAccountEdited instead.
    account_->setCompleter(nullptr);
    account_->setMinimumWidth(220);
    forget_ = new QToolButton(this);
    forget_->setText(QString::fromUtf8("\xC3\x97"));
    forget_->setToolTip("Remove this account from the list");
    forget_->setAutoRaise(true);
    accountRow->addWidget(account_, 1);
    accountRow->addWidget(forget_);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    form->addRow("Account:", accountRow);
    form->addRow("Password:", password_);
    layout->addLayout(form);

    auto* checks = new QHBoxLayout;
    remember_ = new QCheckBox("Remember PWD", this);
    autoLogin_ = new QCheckBox("Auto Login", this);
    checks->addWidget(remember_);
    checks->addSpacing(12);
    checks->addWidget(autoLogin_);
    checks->addStretch();
    layout->addLayout(checks);

    auto* buttons = new QHBoxLayout;
    register_ = new QLabel("<a href=\"register\" style=\"color:#1f6fd1;\">Register</a>", this);
    register_->setToolTip("Create a new account");
    login_ = new QPushButton("Login", this);
    login_->setDefault(true);
    cancel_ = new QPushButton("Cancel", this);
    buttons->addWidget(register_);
    buttons->addStretch();
    buttons->addWidget(login_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    tip_ = new LoginTipWindow(this);
    layout->addWidget(tip_);

    connect(account_, qOverload<int>(&QComboBox::activated), this, &CDlgMyVelaLogin::Choose);
    connect(account_->lineEdit(), &QLineEdit::textEdited, this, &CDlgMyVelaLogin::OnAccountEdited);
    connect(forget_, &QToolButton::clicked, this, &CDlgMyVelaLogin::ForgetSelected);
    connect(login_, &QPushButton::clicked, this, [this] { PressLogin(); });
    connect(cancel_, &QPushButton::clicked, this, &CDlgMyVelaLogin::reject);
    connect(register_, &QLabel::linkActivated, this, [this] { OpenRegistration(); });

    worker_->Logins().Load();
    FillAccounts(0);
    autoLogin_->setChecked(settings_.Record().autoLogin != 0);
    autoPress_ = firstOpen && settings_.Record().autoLogin != 0;
    setMinimumWidth(400);
}

void CDlgMyVelaLogin::FillAccounts(int select) {
    SavedLogins& logins = worker_->Logins();
    QSignalBlocker block(account_);
    account_->clear();
    for (size_t i = 0; i < logins.Count(); ++i) {
        account_->addItem(Utf8(logins.At(i)->UserName()), static_cast<int>(i));
    }
    if (select >= 0 && select < account_->count()) {
        account_->setCurrentIndex(select);
        Choose(select);
    } else {
        account_->setCurrentIndex(-1);
        account_->setEditText(QString());
        chosen_ = -1;
        forget_->setEnabled(false);
    }
}

void CDlgMyVelaLogin::Choose(int index) {
    const UserLoginInfo* record = worker_->Logins().At(static_cast<size_t>(index));
    if (index < 0 || !record) {
        return;
    }
    chosen_ = index;
    forget_->setEnabled(true);
    QString password = Utf8(record->Password());
    password_->setText(password);
    remember_->setChecked(!password.isEmpty());
}

void CDlgMyVelaLogin::OnAccountEdited(const QString& text) {
    password_->clear();
    chosen_ = -1;
    forget_->setEnabled(false);
    // An exact saved name (letter case included) selects that account.
    int found = -1;
    for (int i = 0; i < account_->count(); ++i) {
        if (account_->itemText(i) == text) {
            found = i;
            break;
        }
    }
    if (found < 0) {
        return;
    }
    int cursor = account_->lineEdit()->cursorPosition();
    {
        QSignalBlocker block(account_);
        account_->setCurrentIndex(found);
    }
    account_->lineEdit()->setCursorPosition(cursor);
    Choose(found);
}

void CDlgMyVelaLogin::TypeAccount(const QString& userName, const QString& password) {
    account_->setEditText(userName);
    OnAccountEdited(userName);
    password_->setText(password);
}

bool CDlgMyVelaLogin::PressLogin() {
    if (!login_->isEnabled()) {
        return false;
    }
    std::string name = account_->currentText().toUtf8().toStdString();
    std::string password = password_->text().toUtf8().toStdString();
    std::string problem = CheckLoginInput(name, password);
    if (!problem.empty()) {
        ui::ShowNote(this, account_text::kTips, Utf8(problem), ui::MessageIcon::kCritical);
        return false;
    }
    SavedLogins& logins = worker_->Logins();
    const UserLoginInfo* chosen = chosen_ >= 0 ? logins.At(static_cast<size_t>(chosen_)) : nullptr;
    UserLoginInfo* record = nullptr;
    if (chosen && chosen->UserName() == name) {
        logins.Use(static_cast<size_t>(chosen_));
        record = logins.At(0);
    } else {
        record = &logins.Add(name, std::string());
    }
    record->SetPassword(remember_->isChecked() ? password : std::string());
    record->autoLogin = autoLogin_->isChecked() ? 1 : 0;
    logins.SetInUse(record);
    settings_.Save();
    bool stored = logins.Save();
    FillAccounts(0);
    // The typed password is the one to log in with, remembered or not.
    password_->setText(Utf8(password));
    if (!stored) {
        ReportSaveFailure();
    }

    // A cycle still under way for other credentials is abandoned: the
    // session logs in as the account typed now, or (when an answer was
    // accepted just before) stays the session it is.
    if (!worker_->StartLoginThread(name, password)) {
        return false;
    }
    SetButtonsEnabled(false);
    ShowTip(account_text::kFirstAttempt, false);
    return true;
}

void CDlgMyVelaLogin::ReportSaveFailure() {
    ui::ShowNote(this, account_text::kError, kSaveFailedText, ui::MessageIcon::kWarning);
}

void CDlgMyVelaLogin::OnLoginNotice(intptr_t result, int attempt) {
    SetButtonsEnabled(true);
    switch (result) {
        case CXOMPWorker::kLoginAccepted:
            accept();
            return;
        case CXOMPWorker::kLoginRefused:
            ShowTip(Utf8(LoginProgressText(result, attempt)), true);
            return;
        case CXOMPWorker::kConnectFailed:
            ShowTip(Utf8(LoginProgressText(result, attempt)),
                    attempt >= CXOMPWorker::kLoginAttempts);
            return;
        default:
            return;
    }
}

void CDlgMyVelaLogin::ShowTip(const QString& text, bool closable) {
    tip_->ShowTip(text, closable);
    emit tipChanged(text);
}

void CDlgMyVelaLogin::SetButtonsEnabled(bool enabled) {
    login_->setEnabled(enabled);
    cancel_->setEnabled(enabled);
}

void CDlgMyVelaLogin::reject() {
    // While the first connect attempt is under way "Cancel" is disabled; Esc
    // and the window's close button wait with it.
    if (cancel_->isEnabled()) {
        // Attempts still to come after a failed one are abandoned with the
        // dialog; a user who cancelled is not logged in behind its back.
        worker_->CancelLogin();
        QDialog::reject();
    }
}

void CDlgMyVelaLogin::OpenRegistration() {
    CDlgUserRegister dialog(worker_, this);
    if (dialog.exec() == QDialog::Accepted) {
        OnRegistered(dialog.RegisteredUserName(), dialog.RegisteredPassword());
    }
}

void CDlgMyVelaLogin::OnRegistered(const std::string& userName, const std::string& password) {
    worker_->Logins().Add(userName, password);
    FillAccounts(0);
    password_->setText(Utf8(password));  // whole, even past the saved field
    PressLogin();
}

void CDlgMyVelaLogin::ForgetSelected() {
    if (chosen_ < 0) {
        return;
    }
    bool stored = worker_->Logins().Remove(static_cast<size_t>(chosen_));
    FillAccounts(0);
    if (!stored) {
        ReportSaveFailure();
    }
}

void CDlgMyVelaLogin::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (autoPress_) {
        autoPress_ = false;
        QTimer::singleShot(0, this, [this] { PressLogin(); });
    }
}

}  // namespace orbisight
