#include <cstdio>

#include "cli/CliArgs.h"

namespace orbisight::cli {

int RunAccount(const std::vector<std::string>&) {
    std::fprintf(stderr, "orbisight-cli: account is not available yet\n");
    return kExitUsage;
}

}  // namespace orbisight::cli
