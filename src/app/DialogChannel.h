#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "account/DeviceInfo.h"
#include "device/CXOMPDeviceOper.h"
#include "platform/Notice.h"

namespace orbisight {

// A command channel that belongs to one dialog (record plan, RF sensors).
//
// The window thread never waits for it: Open connects and logs in on an
// opening thread ("dlg/open"), and when the dialog lets go (destruction),
// the channel is closed and the opener joined on a closing thread
// ("dlg/close") shared by all dialogs. Notices and the open result reach
// the dialog on its own thread until it lets go; after that they are
// dropped, and the channel's threads never reach the dialog again.
class DialogChannel {
  public:
    using NoticeHandler = std::function<void(const Notice&)>;
    // 1 when the login reply arrived, else 0 (the channel keeps retrying).
    using OpenedHandler = std::function<void(int result)>;

    DialogChannel(QObject* owner, int mode, NoticeHandler onNotice, OpenedHandler onOpened);
    ~DialogChannel();
    DialogChannel(const DialogChannel&) = delete;
    DialogChannel& operator=(const DialogChannel&) = delete;

    // Tests shorten the waits; set before Open.
    void SetTimings(const CXOMPDeviceOper::Timings& timings);
    // Starts connecting to the camera; returns at once. Once only.
    void Open(const DeviceInfo& record);
    // Requests are queued and return at once (see CXOMPDeviceOper).
    CXOMPDeviceOper& Channel();

    // Waits until every channel let go of so far is closed (tests and the
    // end of the program).
    static bool WaitClosed(int waitMs);

    // The channel, its link to the dialog and its opener; defined in the
    // source file, named here for the closing thread.
    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace orbisight
