#pragma once

#include <QObject>
#include <functional>
#include <mutex>

#include "platform/Notice.h"

namespace orbisight {

// The way one assignment's channel threads reach their pane: state notices
// and repaint requests are queued into the pane's event loop until the pane
// detaches the link (when it lets the channel go); after that they are
// dropped. The channel may outlive the pane's interest in it (it is closed
// behind, on the closer's thread), and even the pane itself: once Detach has
// returned no thread can reach the pane through this link any more.
class PaneLink : public NoticeTarget {
  public:
    using Handler = std::function<void(const Notice&)>;

    PaneLink(QObject* pane, Handler onNotice, std::function<void()> onPicture);

    // Any thread. Send is queued like Post: the pane never blocks a channel
    // thread, and the live channel only posts.
    void Post(Notice notice) override;
    void Send(Notice notice) override { Post(std::move(notice)); }
    // Any thread: a picture is ready.
    void Wake();
    // Any thread: runs call in the pane's event loop, unless detached.
    void Queue(std::function<void()> call);

    // GUI thread. Waits only for a post in progress (no network, no join).
    void Detach();

  private:
    std::mutex mutex_;
    QObject* pane_;  // protected by mutex_; null once detached
    Handler onNotice_;
    std::function<void()> onPicture_;
};

}  // namespace orbisight
