#include "ui/MessageBoxes.h"

#include <QMessageBox>

namespace orbisight::ui {

namespace {
MessageResponder& Responder() {
    static MessageResponder responder;
    return responder;
}

QMessageBox::Icon ToIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::kInformation:
            return QMessageBox::Information;
        case MessageIcon::kQuestion:
            return QMessageBox::Question;
        case MessageIcon::kWarning:
            return QMessageBox::Warning;
        case MessageIcon::kCritical:
            return QMessageBox::Critical;
        default:
            return QMessageBox::NoIcon;
    }
}
}  // namespace

void SetMessageResponder(MessageResponder responder) {
    Responder() = std::move(responder);
}

MessageAnswer ShowMessage(QWidget* parent, const MessageRequest& request) {
    if (Responder()) {
        return Responder()(request);
    }
    QMessageBox box(ToIcon(request.icon), request.title, request.text, QMessageBox::NoButton,
                    parent);
    if (request.buttons == MessageButtons::kYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(request.defaultNo ? QMessageBox::No : QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::kYes : MessageAnswer::kNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::kOk;
}

bool AskYesNo(QWidget* parent, const QString& title, const QString& text, bool defaultNo) {
    MessageRequest request{title, text, MessageButtons::kYesNo, MessageIcon::kQuestion, defaultNo};
    return ShowMessage(parent, request) == MessageAnswer::kYes;
}

void ShowNote(QWidget* parent, const QString& title, const QString& text, MessageIcon icon) {
    ShowMessage(parent, {title, text, MessageButtons::kOk, icon, false});
}

}  // namespace orbisight::ui
