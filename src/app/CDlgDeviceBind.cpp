#include "app/CDlgDeviceBind.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "account/AccountDialogChecks.h"
#include "account/CXOMPWorker.h"
#include "ui/BusyCall.h"
#include "ui/MessageBoxes.h"

namespace orbisight {

namespace {
// GUI thread only.
std::string& LastId() {
    static std::string id = account_text::kDefaultBindId;
    return id;
}
std::string Utf8(const QLineEdit* edit) {
    return edit->text().toUtf8().toStdString();
}
QString Text(const std::string& text) {
    return QString::fromUtf8(text.c_str());
}
}  // namespace

std::string CDlgDeviceBind::LastUsedId() {
    return LastId();
}

CDlgDeviceBind::CDlgDeviceBind(CXOMPWorker* worker, Mode mode, const std::string& deviceId,
                               intptr_t treeItem, QWidget* parent)
    : QDialog(parent), worker_(worker), mode_(mode), treeItem_(treeItem) {
    bool unbind = mode_ == Mode::kUnbind;
    setWindowTitle(unbind ? account_text::kUnbindTitle : "Orbisight Cloud System - Device bind");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    auto* form = new QFormLayout;
    idEdit_ = new QLineEdit(Text(deviceId.empty() ? LastId() : deviceId), this);
    accountEdit_ = new QLineEdit(Text(worker_->UserName()), this);
    passwordEdit_ = new QLineEdit(Text(worker_->SessionPassword()), this);
    passwordEdit_->setEchoMode(QLineEdit::Password);
    form->addRow("Device ID:", idEdit_);
    form->addRow("Bound Account:", accountEdit_);
    form->addRow("Password:", passwordEdit_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText(unbind ? account_text::kUnbindButton : "bind");
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgDeviceBind::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

bool CDlgDeviceBind::Submit() {
    BindInput input{Utf8(idEdit_), Utf8(accountEdit_), Utf8(passwordEdit_)};
    std::string problem = CheckBind(input);
    idEdit_->setText(Text(input.deviceId));
    accountEdit_->setText(Text(input.account));
    if (!problem.empty()) {
        ui::ShowNote(this, account_text::kNote, Text(problem), ui::MessageIcon::kCritical);
        return false;
    }
    bool unbind = mode_ == Mode::kUnbind;
    int result = ui::RunBusy(this, [&] {
        return unbind ? worker_->UnbindDevice(input.account, input.deviceId, input.password)
                      : worker_->BindDevice(input.account, input.deviceId, input.password);
    });
    if (result != 1) {
        ui::ShowNote(this, account_text::kNote,
                     unbind ? account_text::kUnbindFailed : account_text::kBindFailed,
                     ui::MessageIcon::kCritical);
        return false;
    }
    ui::ShowNote(this, account_text::kNote,
                 unbind ? account_text::kUnbindDone : account_text::kBindDone,
                 ui::MessageIcon::kInformation);
    if (unbind) {
        worker_->PostDeleteTreeItem(treeItem_);
        emit unbound(Text(input.deviceId));
    }
    LastId() = input.deviceId;
    return true;
}

void CDlgDeviceBind::accept() {
    if (Submit()) {
        QDialog::accept();
    }
}

}  // namespace orbisight
