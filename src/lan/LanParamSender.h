#pragma once

#include <cstdint>

#include "device/DevInfoBlock.h"
#include "device/DevInfoExt.h"
#include "lan/LanDatagram.h"

namespace orbisight {

// Sends parameter changes to one camera on the LAN, for the network wizard,
// the settings dialog in LAN mode and the command-line tool. A set is a
// broadcast that names the camera by the device ID inside the block; the
// camera does not acknowledge it, a later search shows its new state.
class LanParamSender {
  public:
    explicit LanParamSender(uint16_t port = lan::kFixedSetPort) : port_(port) {}

    // The basic block of a LAN record, edited: sent with code 135 and
    // "VidxSetInfo". Returns 0, or -1 when nothing could be sent.
    int SendBasic(const DevInfoBlock& block) const;
    // The 3G settings: the record's extended answer with ext put in place,
    // sent with code 128 and "VidxSetInfo".
    int SendExtended(const DevInfoBlock& extendedAnswer, const DevInfoExt& ext) const;

    uint16_t Port() const { return port_; }

  private:
    uint16_t port_;
};

}  // namespace orbisight
