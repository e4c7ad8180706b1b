#include "sim/camera/SimCameraHooks.h"
#include "sim/stream/SimStreamCamera.h"

namespace orbisight::sim {

std::unique_ptr<SimCameraMedia> CreateSimCameraMedia(const nlohmann::json& cameraConfig) {
    // "stream": false makes a camera without pictures (command side only).
    if (cameraConfig.is_object() && cameraConfig.contains("stream") &&
        cameraConfig["stream"].is_boolean() && !cameraConfig["stream"].get<bool>()) {
        return nullptr;
    }
    return std::make_unique<SimStreamCamera>(ParseStreamConfig(cameraConfig));
}

}  // namespace orbisight::sim
