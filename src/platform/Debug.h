#pragma once

#include <string_view>

namespace orbisight {

// Raw exchanges go to stderr only when ORBISIGHT_DEBUG=1.
bool DebugEnabled();
void DebugOutput(std::string_view text);

}  // namespace orbisight
