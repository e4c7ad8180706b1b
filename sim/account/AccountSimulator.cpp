#include "sim/account/AccountSimulator.h"

#include "sim/account/SimAccountServer.h"

namespace orbisight::sim {

SimServices StartAccountSimulator(const nlohmann::json& config, SimContext& context) {
    SimServices services;
    auto account = config.find("account");
    if (account == config.end() || account->is_null()) {
        return services;
    }
    services.push_back(SimAccountServer::Start(*account, context));
    return services;
}

}  // namespace orbisight::sim
