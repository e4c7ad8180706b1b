#pragma once

#include <QString>
#include <functional>

#include "device/DevInfoBlock.h"
#include "device/DevInfoExt.h"
#include "device/DeviceParamEdit.h"

namespace orbisight {

// How the camera settings dialog reaches its camera. Two kinds exist: the
// command channel (ChannelParamLink: fetches both blocks after login and
// again after every re-login, answers every set) and the LAN (broadcast
// sets to port 8628, the blocks come from the LAN list and again on every
// search answer; sets are not answered). Everything here runs on the
// window thread: a link never blocks it, and calls the handlers from its
// event loop only.
class DeviceParamLink {
  public:
    struct Handlers {
        // The text the dialog shows as its status.
        std::function<void(const QString& text)> status;
        // The camera's blocks arrived (again): the dialog refreshes the pages
        // the user has not changed.
        std::function<void(const params::DeviceParamRecord& record, const DevInfoExt& ext)>
            parameters;
        // The camera answered the last set (only for links that AnswersSets).
        std::function<void(bool accepted)> setAnswered;
    };

    virtual ~DeviceParamLink() = default;

    virtual params::LinkMode Mode() const = 0;
    // Starts reaching the camera; handlers are called from then on.
    virtual void Start(Handlers handlers) = 0;
    // Sends the basic block (already stamped, month flag set). True when it
    // was handed over.
    virtual bool SendBasic(const DevInfoBlock& block) = 0;
    // Sends the 3G/4G settings: a LAN link broadcasts the stamped extended
    // block (code 128), a channel link sends `ext` with the extended set.
    virtual bool SendExtended(const DevInfoBlock& lanExtended, const DevInfoExt& ext) = 0;
    // True when every send is followed by setAnswered; a link whose sets
    // go unanswered counts a set done once it was sent.
    virtual bool AnswersSets() const = 0;
};

}  // namespace orbisight
