#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "platform/Notice.h"

namespace orbisight {

// Delivers notices from engine threads to a handler on the GUI thread: Post
// queues a call into the receiver's event loop, Send waits until the handler
// has run. When the receiver is destroyed first, pending notices are dropped.
// No widget is ever touched off the GUI thread through this.
class GuiNoticeTarget : public NoticeTarget {
  public:
    using Handler = std::function<void(const Notice&)>;

    GuiNoticeTarget(QObject* receiver, Handler handler);

    void Post(Notice notice) override;
    void Send(Notice notice) override;

  private:
    QPointer<QObject> receiver_;
    std::shared_ptr<Handler> handler_;
};

}  // namespace orbisight
