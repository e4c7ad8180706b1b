#pragma once

namespace orbisight {

// Whether the processor has SSSE3 (pshufb, pmaddubsw), asked once; false
// off x86.
inline bool HasSsse3() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
#else
    return false;
#endif
}

}  // namespace orbisight
