#include <cstdio>

#include "cli/CliArgs.h"

namespace orbisight::cli {

int RunDeviceCommand(const std::string& command, const std::vector<std::string>&) {
    std::fprintf(stderr, "orbisight-cli: %s is not available yet\n", command.c_str());
    return kExitUsage;
}

}  // namespace orbisight::cli
