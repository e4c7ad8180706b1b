#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "lan/LanDatagram.h"

namespace orbisight {

// The cameras found on the LAN since the last search, in the order they
// first answered, one record per device ID (compared ignoring case). The
// listener thread writes it while windows read it and a search empties it:
// every access takes the list's lock, and readers get copies.
class LanDeviceList {
  public:
    // What a basic answer did to the list.
    struct BasicResult {
        bool added = false;  // a new record (else the basic block was replaced)
        CamNetParam record;  // the list's record after the change
    };

    void Clear();
    // A basic answer from sender: a known ID gets its basic block replaced
    // (address and network type stay those of its first answer since the
    // last search); an unknown ID is appended.
    BasicResult ApplyBasic(const DevInfoBlock& block, std::string_view sender);
    // An extended answer: stored in the record of its ID; nullopt (and
    // nothing stored) for an ID that has not answered a search yet.
    std::optional<CamNetParam> ApplyExtended(const DevInfoBlock& block);

    std::optional<CamNetParam> Find(std::string_view deviceId) const;
    std::vector<CamNetParam> Snapshot() const;
    size_t Size() const;

  private:
    // With mutex_ held.
    CamNetParam* FindLocked(std::string_view deviceId);

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<CamNetParam>> records_;  // protected by mutex_
};

// The look-up that bind and unbind use for their "VidxSetInfo" step: the
// basic block of a camera in the list. The list is shared, so the look-up
// may outlive whoever created it.
using LanBasicBlockLookup =
    std::function<bool(std::string_view deviceId, std::array<uint8_t, 1088>& block)>;
LanBasicBlockLookup MakeBasicBlockLookup(std::shared_ptr<const LanDeviceList> list);

}  // namespace orbisight
