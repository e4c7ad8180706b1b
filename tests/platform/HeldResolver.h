#pragma once

#include <arpa/inet.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>

#include "platform/Resolver.h"

namespace orbisight::test {

// The name resolver of the network tests (there is no DNS in their
// namespace): names ending in ".stuck" hang until Release() and then answer
// 127.0.0.1 late, "camera.test" is 127.0.0.1 at once, every other name has
// no address. Installed for the object's lifetime; the destructor releases
// the hung names and waits for their workers to finish.
class HeldResolver {
  public:
    HeldResolver() {
        std::lock_guard lock(State().mutex);
        State().released = false;
        State().calls = 0;
        SetHostResolver(&Resolve);
    }
    ~HeldResolver() {
        Release();
        WaitForWorkers();
        SetHostResolver(nullptr);
    }
    HeldResolver(const HeldResolver&) = delete;
    HeldResolver& operator=(const HeldResolver&) = delete;

    static void Release() {
        {
            std::lock_guard lock(State().mutex);
            State().released = true;
        }
        State().changed.notify_all();
    }
    static int Calls() {
        std::lock_guard lock(State().mutex);
        return State().calls;
    }
    // Waits (up to 5 s) until no resolver worker runs any more.
    static bool WaitForWorkers() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (PendingResolutions() > 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

  private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        int calls = 0;
    };
    static Shared& State() {
        static Shared shared;
        return shared;
    }
    static bool Resolve(const char* host, in_addr& address) {
        std::string_view name(host);
        {
            std::unique_lock lock(State().mutex);
            ++State().calls;
            if (name.ends_with(".stuck")) {
                State().changed.wait(lock, [] { return State().released; });
            } else if (name != "camera.test") {
                return false;
            }
        }
        return inet_pton(AF_INET, "127.0.0.1", &address) == 1;
    }
};

}  // namespace orbisight::test
