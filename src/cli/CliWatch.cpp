#include <cstdio>

#include "cli/CliArgs.h"

namespace orbisight::cli {

int RunWatch(const std::vector<std::string>&) {
    std::fprintf(stderr, "orbisight-cli: watch is not available yet\n");
    return kExitUsage;
}

}  // namespace orbisight::cli
