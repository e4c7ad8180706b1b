#include "app/ChannelParamLink.h"

#include <cstring>

#include "app/ChannelCloser.h"
#include "app/PaneLink.h"

namespace orbisight {

// What outlives the link until the channel is closed: the channel, the
// thread that opens it and the link's notice target (detached by then).
struct ChannelParamLink::Shared {
    static constexpr int kOpenerStopWaitMs = 5000;

    std::shared_ptr<PaneLink> target;
    CXOMPDeviceOper channel;
    WorkerThread opener;

    ~Shared() {
        // Close first: it abandons an Open still connecting or logging in,
        // so the join below is short.
        channel.Close();
        opener.Join(kOpenerStopWaitMs);
    }
};

ChannelParamLink::ChannelParamLink(const DeviceInfo& record, ChannelCloser* closer)
    : record_(record), closer_(closer), shared_(std::make_shared<Shared>()) {
    shared_->channel.SetMode(CXOMPDeviceOper::kModeParameters);
    shared_->channel.SetThreadName("cmd");
    fetchTimer_.setSingleShot(true);
    QObject::connect(&fetchTimer_, &QTimer::timeout, &context_,
                     [this] { SetStatus("Fetching Device info Failed, Try again!"); });
}

ChannelParamLink::~ChannelParamLink() {
    if (shared_->target) {
        shared_->target->Detach();
    }
    if (closer_) {
        ReleasedChannel released;
        released.keep = std::move(shared_);
        closer_->Hand(std::move(released));
    }
    // Without a closer (tests) the channel closes here.
}

void ChannelParamLink::SetTimings(const CXOMPDeviceOper::Timings& timings, int fetchTimeoutMs) {
    shared_->channel.SetTimings(timings);
    fetchTimeoutMs_ = fetchTimeoutMs;
}

void ChannelParamLink::Start(Handlers handlers) {
    handlers_ = std::move(handlers);
    shared_->target = std::make_shared<PaneLink>(
        &context_, [this](const Notice& notice) { OnNotice(notice); }, nullptr);
    shared_->channel.SetOwner(shared_->target.get());
    SetStatus("Connecting to Device...");
    // The thread reaches only what Shared keeps alive, never the link.
    Shared* shared = shared_.get();
    DeviceInfo record = record_;
    shared_->opener.Start("cmd/open", [this, shared, record](AutoResetEvent&) {
        int result = shared->channel.Open(record);
        shared->target->Queue([this, result] { OnOpened(result); });
    });
}

void ChannelParamLink::OnOpened(int result) {
    if (result == 1) {
        SetStatus("Fetching Device's Info...");
        fetchTimer_.start(fetchTimeoutMs_);
    } else {
        SetStatus("Connecting to Device Failed, Try again!");
        fetchTimer_.stop();
    }
}

void ChannelParamLink::OnNotice(const Notice& notice) {
    switch (notice.message) {
        case notice::kParameters: {
            fetchTimer_.stop();
            // The blocks come only after a login: a set sent on an earlier
            // connection is never answered now.
            setsWaiting_ = 0;
            auto* blocks = static_cast<const DeviceParameters*>(notice.object.get());
            if (!blocks) {
                return;
            }
            params::DeviceParamRecord record;
            record.basic = blocks->block;
            SetStatus("");
            if (handlers_.parameters) {
                handlers_.parameters(record, blocks->ext);
            }
            return;
        }
        case notice::kReplyFailed:
            // A refused set is reported by its answer (kSetAnswered follows).
            if (setsWaiting_ == 0) {
                fetchTimer_.stop();
                SetStatus("Fetching Device info Failed, Try again!");
            }
            return;
        case notice::kSetAnswered:
            if (setsWaiting_ > 0) {
                --setsWaiting_;
            }
            if (handlers_.setAnswered) {
                handlers_.setAnswered(notice.lParam == 1);
            }
            return;
        default:
            return;
    }
}

namespace {

bool CountSent(bool sent, int& waiting) {
    if (sent) {
        ++waiting;
    }
    return sent;
}

}  // namespace

bool ChannelParamLink::SendBasic(const DevInfoBlock& block) {
    return CountSent(shared_->channel.SetParameters(block), setsWaiting_);
}

bool ChannelParamLink::SendExtended(const DevInfoBlock&, const DevInfoExt& ext) {
    return CountSent(shared_->channel.SetExtendedParameters(ext), setsWaiting_);
}

void ChannelParamLink::SetStatus(const QString& text) {
    if (handlers_.status) {
        handlers_.status(text);
    }
}

}  // namespace orbisight
