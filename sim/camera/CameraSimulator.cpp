#include "sim/camera/CameraSimulator.h"

#include <stdexcept>

#include "sim/camera/SimCamera.h"

namespace orbisight::sim {

SimServices StartCameraSimulators(const nlohmann::json& config, SimContext& context) {
    SimServices services;
    auto cameras = config.find("cameras");
    if (cameras == config.end()) {
        return services;
    }
    if (!cameras->is_array()) {
        throw std::runtime_error("\"cameras\" is not an array");
    }
    for (const auto& camera : *cameras) {
        if (!camera.is_object()) {
            throw std::runtime_error("an entry of \"cameras\" is not an object");
        }
        services.push_back(SimCamera::Start(camera, context));
    }
    return services;
}

}  // namespace orbisight::sim
