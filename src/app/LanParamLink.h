#pragma once

#include <QObject>
#include <memory>

#include "app/DeviceParamLink.h"
#include "lan/LanDatagram.h"
#include "platform/Notice.h"

namespace orbisight {

class GuiNoticeTarget;
class LanListener;

// The settings dialog's link to a camera on the LAN. The blocks are the
// row's record (basic answer, extended answer, address): given at Start and
// again with every WM_COMMAND 3000 of the listener for this camera (an
// answer of a camera already listed, which every search brings). Sets are
// broadcasts to the fixed set port, addressed by the device ID inside the
// block; the camera does not answer them, so a set counts as done once it
// was sent.
//
// While the link exists it is the listener's settings window; a link
// registered later (another LAN settings dialog) takes that place over.
class LanParamLink : public DeviceParamLink {
  public:
    // `lan` may be null (no refreshes; sets go to lan::kFixedSetPort).
    LanParamLink(const CamNetParam& record, LanListener* lan);
    ~LanParamLink() override;

    params::LinkMode Mode() const override { return params::LinkMode::kLan; }
    void Start(Handlers handlers) override;
    bool SendBasic(const DevInfoBlock& block) override;
    bool SendExtended(const DevInfoBlock& lanExtended, const DevInfoExt& ext) override;
    bool AnswersSets() const override { return false; }

    // A notice of the listener, as it arrives on the window thread. Only
    // WM_COMMAND 3000 carrying a record of this camera refreshes.
    void HandleNotice(const Notice& notice);
    const CamNetParam& Record() const { return record_; }

    // The dialog's record from a LAN record (the same 2196 bytes).
    static params::DeviceParamRecord ToParamRecord(const CamNetParam& record);

  private:
    void Deliver();

    CamNetParam record_;
    LanListener* lan_;
    uint16_t setPort_;
    Handlers handlers_;
    QObject context_;  // the notices' event-loop context; dies with the link
    std::unique_ptr<GuiNoticeTarget> notices_;
};

}  // namespace orbisight
