#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace orbisight::ui {

enum class MessageIcon { kNone, kInformation, kQuestion, kWarning, kCritical };
enum class MessageButtons { kOk, kYesNo };
enum class MessageAnswer { kOk, kYes, kNo };

struct MessageRequest {
    QString title;
    QString text;
    MessageButtons buttons = MessageButtons::kOk;
    MessageIcon icon = MessageIcon::kNone;
    bool defaultNo = false;
};

// Every message box of the client goes through here, so tests (and the
// scripted demo) can answer them instead of a user. Without a responder a
// modal QMessageBox is shown.
using MessageResponder = std::function<MessageAnswer(const MessageRequest&)>;
void SetMessageResponder(MessageResponder responder);

MessageAnswer ShowMessage(QWidget* parent, const MessageRequest& request);

// A Yes/No question with the question icon; true for Yes.
bool AskYesNo(QWidget* parent, const QString& title, const QString& text, bool defaultNo = false);
// An OK box.
void ShowNote(QWidget* parent, const QString& title, const QString& text,
              MessageIcon icon = MessageIcon::kInformation);

}  // namespace orbisight::ui
