#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "app/PaneChannel.h"
#include "platform/WorkerThread.h"

namespace orbisight {

class VideoSink;

// What a pane lets go of when it is disconnected or gets another camera: the
// live channel, the thread that opened it (possibly still inside Open), the
// picture slots the channel draws into and whatever else its threads still
// reach (the pane's link for notices and repaint requests). The closer keeps
// all of it until the channel is closed and its opener joined, then destroys
// it in the order the threads need: channel, opener, sink, the rest.
struct ReleasedChannel {
    std::unique_ptr<PaneChannel> channel;
    std::unique_ptr<WorkerThread> opener;
    std::unique_ptr<VideoSink> sink;
    std::shared_ptr<void> keep;

    // Close, join, destroy, on the calling thread.
    void CloseNow();
};

// Closes released channels behind the window: the pane hands its channel over
// and is free at once, the old channel finishes closing (Close waits for its
// threads, a stalled camera's up to their stop bounds) on one of up to
// kThreads closing threads ("app/close<N>"), started as needed.
//
// Queue: a list without a limit of its own, so handing over never waits nor
// fails. It stays bounded because the wall opens no new channel while
// kMaxPending channels wait here (the pane then shows its camera as not
// connected): at most kMaxPending plus the 256 panes' channels are ever in the
// list.
//
// The destructor closes whatever is still in the list and joins the threads:
// the owner destroys the closer only where waiting is allowed (the main
// window is hidden by then), and before what the channels use (the account
// session they look addresses up in).
class ChannelCloser {
  public:
    static constexpr int kThreads = 8;
    static constexpr size_t kMaxPending = 256;
    static constexpr int kCloserStopWaitMs = 10000;

    ChannelCloser() = default;
    ~ChannelCloser();
    ChannelCloser(const ChannelCloser&) = delete;
    ChannelCloser& operator=(const ChannelCloser&) = delete;

    // On the owner's thread (the window thread); never waits beyond the
    // list's lock.
    void Hand(ReleasedChannel released);
    // Channels handed over and not yet closed (waiting or being closed).
    size_t Pending() const;
    // Waits up to waitMs until nothing is pending; true when so.
    bool WaitIdle(int waitMs);

  private:
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable cv_;  // work arrived, or stopping_
    std::condition_variable idle_;
    std::deque<ReleasedChannel> waiting_;                 // protected by mutex_
    size_t closing_ = 0;                                  // protected by mutex_
    size_t idleThreads_ = 0;                              // protected by mutex_
    bool stopping_ = false;                               // protected by mutex_
    std::vector<std::unique_ptr<WorkerThread>> threads_;  // started by Hand
};

}  // namespace orbisight
