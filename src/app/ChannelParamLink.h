#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "account/DeviceInfo.h"
#include "app/DeviceParamLink.h"
#include "device/CXOMPDeviceOper.h"

namespace orbisight {

class ChannelCloser;
class PaneLink;

// The settings dialog's link over the command channel (mode 1). Start
// opens the channel on its own thread ("cmd/open") and shows the opener's
// texts: "Connecting to Device...", then "Fetching Device's Info..." with a
// 30 s timer, or "Connecting to Device Failed, Try again!". The timer, or a
// refused reply while no set is waiting, shows "Fetching Device info
// Failed, Try again!". An idle channel times out its read after 60 s and
// logs in again 5 s later: the blocks then arrive again (13364), and the
// dialog decides what to refresh.
//
// Destruction never waits: the channel and its opening thread are handed
// to the closer (or, without one, closed on the spot).
class ChannelParamLink : public DeviceParamLink {
  public:
    static constexpr int kFetchTimeoutMs = 30000;

    ChannelParamLink(const DeviceInfo& record, ChannelCloser* closer);
    ~ChannelParamLink() override;

    // Before Start; tests shorten the channel's waits and the fetch timer.
    void SetTimings(const CXOMPDeviceOper::Timings& timings, int fetchTimeoutMs);

    params::LinkMode Mode() const override { return params::LinkMode::kChannel; }
    void Start(Handlers handlers) override;
    bool SendBasic(const DevInfoBlock& block) override;
    bool SendExtended(const DevInfoBlock& lanExtended, const DevInfoExt& ext) override;
    bool AnswersSets() const override { return true; }

  private:
    struct Shared;
    void OnNotice(const Notice& notice);
    void OnOpened(int result);
    void SetStatus(const QString& text);

    DeviceInfo record_;
    ChannelCloser* closer_;
    Handlers handlers_;
    int fetchTimeoutMs_ = kFetchTimeoutMs;
    int setsWaiting_ = 0;
    QObject context_;  // the notices' event-loop context; dies with the link
    QTimer fetchTimer_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace orbisight
