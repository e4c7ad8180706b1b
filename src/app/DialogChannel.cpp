#include "app/DialogChannel.h"

#include "app/PaneLink.h"
#include "platform/ReleaseThread.h"

namespace orbisight {

struct DialogChannel::State {
    CXOMPDeviceOper channel;
    std::unique_ptr<PaneLink> link;
    WorkerThread opener;
};

namespace {

constexpr int kOpenerJoinWaitMs = 5000;

// Closes the channels that dialogs let go of, one after another, on one
// thread started on first use: a dialog opens one channel, and a user opens
// dialogs one at a time.
ReleaseThread<DialogChannel::State>& Closer() {
    static ReleaseThread<DialogChannel::State> closer("dlg/close", [](DialogChannel::State& state) {
        // Close abandons an Open in progress, so the opener ends at once.
        state.channel.Close();
        state.opener.Join(kOpenerJoinWaitMs);
    });
    return closer;
}

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
    Closer().Hand(std::move(state_));
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
    return Closer().WaitIdle(waitMs);
}

}  // namespace orbisight
