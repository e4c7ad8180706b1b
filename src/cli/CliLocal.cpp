#include <cstdio>

#include "cli/CliArgs.h"

namespace orbisight::cli {

int RunLocal(const std::vector<std::string>&) {
    std::fprintf(stderr, "orbisight-cli: local is not available yet\n");
    return kExitUsage;
}

}  // namespace orbisight::cli
