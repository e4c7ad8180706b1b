#pragma once

#include <nlohmann/json.hpp>

#include "sim/common/SimService.h"

namespace orbisight::sim {

// Starts the account service (login and register servers) described by
// config["account"], when present.
SimServices StartAccountSimulator(const nlohmann::json& config, SimContext& context);

}  // namespace orbisight::sim
