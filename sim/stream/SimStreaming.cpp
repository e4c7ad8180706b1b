#include "sim/camera/SimCameraHooks.h"

namespace orbisight::sim {

std::unique_ptr<SimCameraMedia> CreateSimCameraMedia(const nlohmann::json&) {
    return nullptr;
}

}  // namespace orbisight::sim
