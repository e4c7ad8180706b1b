#pragma once

#include <nlohmann/json.hpp>

#include "sim/common/SimService.h"

namespace orbisight::sim {

// Starts one simulated camera per entry of config["cameras"] and records
// the bound ports in context.cameraPorts.
SimServices StartCameraSimulators(const nlohmann::json& config, SimContext& context);

}  // namespace orbisight::sim
