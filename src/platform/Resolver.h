#pragma once

#include <netinet/in.h>

#include <atomic>

namespace orbisight {

// Name resolution that the caller can give up on. getaddrinfo cannot be
// interrupted, so it runs on a detached worker thread; the caller waits for
// it with a time-out and a cancel flag and, when it gives up, returns at
// once. The worker then finishes on its own, frees what getaddrinfo
// returned and drops its share of the result; nothing of the caller's is
// touched after the caller has left.

enum class Resolution {
    kAddress,    // resolved: the address is filled in
    kNoAddress,  // the resolver answered: the name has no IPv4 address
    kGaveUp,     // time-out, cancel, or too many resolutions already pending
};

// At most this many resolutions run at once in the process (each is one
// worker thread blocked in the system resolver). Beyond that a resolution
// is not started and the attempt gives up at once (kGaveUp): a resolver that
// hangs costs these threads and no more.
constexpr int kMaxPendingResolutions = 8;

// Resolves host (a name or a dotted IPv4 address) to its first IPv4
// address. Waits at most timeoutMs; when cancel is given and becomes true the
// wait ends within about 20 ms.
Resolution ResolveIPv4(const char* host, int timeoutMs, const std::atomic<bool>* cancel,
                       in_addr& address);

// The number of resolver workers still running (including abandoned ones).
int PendingResolutions();

// The function the workers call: returns true and fills address when the
// name resolves. The default uses getaddrinfo. Tests install a resolver that
// blocks or answers late; nullptr restores the default. Workers take the
// function when they start.
using HostResolverFunction = bool (*)(const char* host, in_addr& address);
void SetHostResolver(HostResolverFunction resolver);

}  // namespace orbisight
