#include "platform/Resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace orbisight {
namespace {

// How often a waiting caller looks at its cancel flag.
constexpr int kCancelPollMs = 20;

bool SystemResolve(const char* host, in_addr& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &result) != 0 || result == nullptr) {
        return false;
    }
    address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
    freeaddrinfo(result);
    return true;
}

std::atomic<HostResolverFunction> g_resolver{nullptr};
std::atomic<int> g_pending{0};

// Shared by the caller and its worker; whichever leaves last frees it.
struct Outcome {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;  // protected by mutex
    bool resolved = false;  // protected by mutex
    in_addr address{};      // protected by mutex
};

// Takes one of the worker places, or returns false when all are taken.
bool TakeWorkerPlace() {
    int pending = g_pending.load();
    while (pending < kMaxPendingResolutions) {
        if (g_pending.compare_exchange_weak(pending, pending + 1)) {
            return true;
        }
    }
    return false;
}

}  // namespace

Resolution ResolveIPv4(const char* host, int timeoutMs, const std::atomic<bool>* cancel,
                       in_addr& address) {
    if (host == nullptr || *host == '\0') {
        return Resolution::kNoAddress;
    }
    if (inet_pton(AF_INET, host, &address) == 1) {
        return Resolution::kAddress;
    }
    if ((cancel != nullptr && cancel->load()) || !TakeWorkerPlace()) {
        return Resolution::kGaveUp;
    }
    auto outcome = std::make_shared<Outcome>();
    HostResolverFunction resolver = g_resolver.load();
    if (resolver == nullptr) {
        resolver = SystemResolve;
    }
    try {
        std::thread([outcome, resolver, name = std::string(host)] {
            in_addr found{};
            bool resolved = resolver(name.c_str(), found);
            {
                std::lock_guard lock(outcome->mutex);
                outcome->finished = true;
                outcome->resolved = resolved;
                outcome->address = found;
            }
            outcome->done.notify_all();
            g_pending.fetch_sub(1);
        }).detach();
    } catch (const std::system_error&) {
        g_pending.fetch_sub(1);  // no thread: this try has no address
        return Resolution::kGaveUp;
    }

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(outcome->mutex);
    while (!outcome->finished) {
        if (cancel != nullptr && cancel->load()) {
            return Resolution::kGaveUp;
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return Resolution::kGaveUp;
        }
        auto slice = std::min<std::chrono::steady_clock::duration>(
            deadline - now, std::chrono::milliseconds(kCancelPollMs));
        outcome->done.wait_for(lock, slice);
    }
    if (!outcome->resolved) {
        return Resolution::kNoAddress;
    }
    address = outcome->address;
    return Resolution::kAddress;
}

int PendingResolutions() {
    return g_pending.load();
}

void SetHostResolver(HostResolverFunction resolver) {
    g_resolver.store(resolver);
}

}  // namespace orbisight
