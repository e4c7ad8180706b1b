#include "sim/account/AccountSimulator.h"

namespace orbisight::sim {

SimServices StartAccountSimulator(const nlohmann::json&, SimContext&) {
    return {};
}

}  // namespace orbisight::sim
