#include "app/DialogChannel.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "app/PaneLink.h"
#include "platform/WorkerThread.h"

namespace orbisight {

struct DialogChannel::State {
    CXOMPDeviceOper channel;
    std::unique_ptr<PaneLink> link;
    WorkerThread opener;
};

namespace {

constexpr int kOpenerJoinWaitMs = 5000;

// Closes the channels that dialogs let go of, one after another, on one
// thread started on first use. The list has no limit of its own: a dialog
// opens one channel, and a user opens dialogs one at a time.
class ClosingThread {
  public:
    static ClosingThread& Instance() {
        static ClosingThread instance;
        return instance;
    }

    void Hand(std::shared_ptr<DialogChannel::State> state) {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(state));
        if (!thread_.Running()) {
            thread_.Start("dlg/close", [this](AutoResetEvent&) { Run(); });
        }
        cv_.notify_one();
    }

    bool WaitIdle(int waitMs) {
        std::unique_lock lock(mutex_);
        return idle_.wait_for(lock, std::chrono::milliseconds(waitMs),
                              [this] { return waiting_.empty() && !closing_; });
    }

    ~ClosingThread() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
        thread_.Join(60000);
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        while (true) {
            cv_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (waiting_.empty()) {
                return;  // stopping, nothing left
            }
            auto state = std::move(waiting_.front());
            waiting_.pop_front();
            closing_ = true;
            lock.unlock();
            // Close abandons an Open in progress, so the opener ends at once.
            state->channel.Close();
            state->opener.Join(kOpenerJoinWaitMs);
            state.reset();
            lock.lock();
            closing_ = false;
            idle_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable cv_;                                 // work arrived, or stopping_
    std::condition_variable idle_;                               // a channel was closed
    std::deque<std::shared_ptr<DialogChannel::State>> waiting_;  // protected by mutex_
    bool closing_ = false;                                       // protected by mutex_
    bool stopping_ = false;                                      // protected by mutex_
    WorkerThread thread_;
};

}  // namespace

DialogChannel::DialogChannel(QObject* owner, int mode, NoticeHandler onNotice,
                             OpenedHandler onOpened)
    : state_(std::make_shared<State>()) {
    // The open result travels through the link like a notice, so it is
    // dropped once the dialog let go.
    auto handler = [onNotice = std::move(onNotice),
                    onOpened = std::move(onOpened)](const Notice& notice) {
        if (notice.message == 0) {
            if (onOpened) {
                onOpened(static_cast<int>(notice.lParam));
            }
        } else if (onNotice) {
            onNotice(notice);
        }
    };
    state_->link = std::make_unique<PaneLink>(owner, std::move(handler), nullptr);
    state_->channel.SetOwner(state_->link.get());
    state_->channel.SetMode(mode);
    state_->channel.SetThreadName(mode == CXOMPDeviceOper::kModeRfSensors ? "rf" : "cmd");
}

DialogChannel::~DialogChannel() {
    state_->link->Detach();
    ClosingThread::Instance().Hand(std::move(state_));
}

void DialogChannel::SetTimings(const CXOMPDeviceOper::Timings& timings) {
    state_->channel.SetTimings(timings);
}

void DialogChannel::Open(const DeviceInfo& record) {
    if (state_->opener.Running()) {
        return;
    }
    State* state = state_.get();  // outlives the opener: the closer joins it first
    state_->opener.Start("dlg/open", [state, record](AutoResetEvent&) {
        int result = state->channel.Open(record);
        Notice opened;
        opened.lParam = result;  // message 0: the open result
        state->link->Post(std::move(opened));
    });
}

CXOMPDeviceOper& DialogChannel::Channel() {
    return state_->channel;
}

bool DialogChannel::WaitClosed(int waitMs) {
    return ClosingThread::Instance().WaitIdle(waitMs);
}

}  // namespace orbisight
