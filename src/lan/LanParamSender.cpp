#include "lan/LanParamSender.h"

#include "platform/Socket.h"

namespace orbisight {

int LanParamSender::SendBasic(const DevInfoBlock& block) const {
    DevInfoBlock set = lan::BuildSet(block);
    return BroadcastDatagram(port_, &set, sizeof set);
}

int LanParamSender::SendExtended(const DevInfoBlock& extendedAnswer, const DevInfoExt& ext) const {
    DevInfoBlock set = lan::BuildExtendedSet(extendedAnswer, ext);
    return BroadcastDatagram(port_, &set, sizeof set);
}

}  // namespace orbisight
