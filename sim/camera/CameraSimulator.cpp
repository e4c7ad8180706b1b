#include "sim/camera/CameraSimulator.h"

namespace orbisight::sim {

SimServices StartCameraSimulators(const nlohmann::json&, SimContext&) {
    return {};
}

}  // namespace orbisight::sim
