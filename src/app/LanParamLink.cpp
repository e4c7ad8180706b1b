#include "app/LanParamLink.h"

#include <cstddef>
#include <cstring>

#include "app/GuiNoticeTarget.h"
#include "lan/LanListener.h"
#include "lan/LanParamSender.h"
#include "platform/Text.h"

namespace orbisight {

static_assert(sizeof(params::DeviceParamRecord) == sizeof(CamNetParam));
static_assert(sizeof(CamNetParam) - offsetof(CamNetParam, address) ==
              sizeof(params::DeviceParamRecord::lanAddress));

LanParamLink::LanParamLink(const CamNetParam& record, LanListener* lan)
    : record_(record), lan_(lan), setPort_(lan ? lan->Ports().fixedSetPort : lan::kFixedSetPort) {}

LanParamLink::~LanParamLink() {
    if (lan_ && notices_) {
        lan_->SetTarget(LanWindow::kSettings, nullptr);
    }
}

params::DeviceParamRecord LanParamLink::ToParamRecord(const CamNetParam& record) {
    params::DeviceParamRecord out;
    out.basic = record.basic;
    out.lanExtended = record.extended;
    // Address and network type: the 20 bytes after the two blocks.
    std::memcpy(out.lanAddress.data(),
                reinterpret_cast<const uint8_t*>(&record) + offsetof(CamNetParam, address),
                sizeof out.lanAddress);
    return out;
}

void LanParamLink::Start(Handlers handlers) {
    handlers_ = std::move(handlers);
    if (lan_) {
        notices_ = std::make_unique<GuiNoticeTarget>(
            &context_, [this](const Notice& notice) { HandleNotice(notice); });
        lan_->SetTarget(LanWindow::kSettings, notices_.get());
    }
    if (handlers_.status) {
        handlers_.status("");
    }
    Deliver();
}

void LanParamLink::HandleNotice(const Notice& notice) {
    if (notice.message != notice::kCommand ||
        notice.wParam != LanListener::kSettingsRefreshCommand || !notice.object) {
        return;
    }
    const auto& record = *static_cast<const CamNetParam*>(notice.object.get());
    if (!EqualsNoCase(record.Id(), record_.Id())) {
        return;  // another camera of the list answered
    }
    // An extended answer of a new search comes with the record the list
    // holds; keep the one we had until the camera sends its own again.
    CamNetParam merged = record;
    if (!merged.HasExtended() && record_.HasExtended()) {
        merged.extended = record_.extended;
    }
    record_ = merged;
    Deliver();
}

void LanParamLink::Deliver() {
    if (handlers_.parameters) {
        params::DeviceParamRecord record = ToParamRecord(record_);
        handlers_.parameters(record, record_.Extended());
    }
}

bool LanParamLink::SendBasic(const DevInfoBlock& block) {
    return LanParamSender(setPort_).SendBasic(block) == 0;
}

bool LanParamLink::SendExtended(const DevInfoBlock& lanExtended, const DevInfoExt&) {
    // The page stored its settings into the extended block itself; the
    // separate DevInfoExt is the command channel's and still holds the
    // camera's old values.
    return LanParamSender(setPort_).SendExtended(lanExtended,
                                                 params::ExtFromLanBlock(lanExtended)) == 0;
}

}  // namespace orbisight
