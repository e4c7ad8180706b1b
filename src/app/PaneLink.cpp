#include "app/PaneLink.h"

namespace orbisight {

PaneLink::PaneLink(QObject* pane, Handler onNotice, std::function<void()> onPicture)
    : pane_(pane), onNotice_(std::move(onNotice)), onPicture_(std::move(onPicture)) {}

void PaneLink::Post(Notice notice) {
    Queue([handler = onNotice_, n = std::move(notice)] { handler(n); });
}

void PaneLink::Wake() {
    Queue(onPicture_);
}

void PaneLink::Queue(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    if (pane_ && call) {
        // The pane is the context: a call still queued when it is destroyed
        // is dropped by Qt.
        QMetaObject::invokeMethod(pane_, std::move(call), Qt::QueuedConnection);
    }
}

void PaneLink::Detach() {
    std::lock_guard lock(mutex_);
    pane_ = nullptr;
}

}  // namespace orbisight
