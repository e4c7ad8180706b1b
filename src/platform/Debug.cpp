#include "platform/Debug.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace orbisight {

bool DebugEnabled() {
    static const bool enabled = [] {
        const char* value = std::getenv("ORBISIGHT_DEBUG");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

void DebugOutput(std::string_view text) {
    if (!DebugEnabled()) {
        return;
    }
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
}

}  // namespace orbisight
