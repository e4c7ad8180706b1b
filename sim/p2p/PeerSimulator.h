#pragma once

#include <nlohmann/json.hpp>

#include "sim/common/SimService.h"

namespace orbisight::sim {

// Starts the rendezvous service of the configuration's "p2p" object
// ({"host": "127.0.0.1", "port": 5570, "drop_every_s": 0}; none: nothing
// starts) and the peer-to-peer side of every camera entry with a "p2p_id",
// over the media side of that camera among `cameras` (started before).
// Throws std::runtime_error for a port that cannot be bound.
SimServices StartPeerSimulators(const nlohmann::json& config, SimContext& context,
                                const SimServices& cameras);

}  // namespace orbisight::sim
