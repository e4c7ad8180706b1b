#include "app/GuiNoticeTarget.h"

#include <QThread>

namespace orbisight {

GuiNoticeTarget::GuiNoticeTarget(QObject* receiver, Handler handler)
    : receiver_(receiver), handler_(std::make_shared<Handler>(std::move(handler))) {}

void GuiNoticeTarget::Post(Notice notice) {
    QObject* receiver = receiver_.data();
    if (!receiver) {
        return;
    }
    // The receiver is the context: Qt drops the call if it is gone by then.
    QMetaObject::invokeMethod(
        receiver, [handler = handler_, n = std::move(notice)]() { (*handler)(n); },
        Qt::QueuedConnection);
}

void GuiNoticeTarget::Send(Notice notice) {
    QObject* receiver = receiver_.data();
    if (!receiver) {
        return;
    }
    if (QThread::currentThread() == receiver->thread()) {
        (*handler_)(notice);
        return;
    }
    QMetaObject::invokeMethod(
        receiver, [handler = handler_, n = std::move(notice)]() { (*handler)(n); },
        Qt::BlockingQueuedConnection);
}

}  // namespace orbisight
