#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orbisight::sim {

// Something a simulated service tells the others: a camera raised or
// cleared its alarm, a camera went on-line or off-line, ...
struct SimEvent {
    std::string kind;      // "alarm", "status", ...
    std::string deviceId;  // the camera concerned
    nlohmann::json data;   // kind-specific details
};

// Publish/subscribe between the simulated services of one process.
// Subscribers run on the publishing thread and must not block.
class SimEventBus {
  public:
    using Handler = std::function<void(const SimEvent&)>;
    void Subscribe(Handler handler) {
        std::lock_guard lock(mutex_);
        handlers_.push_back(std::move(handler));
    }
    void Publish(const SimEvent& event) {
        std::vector<Handler> handlers;
        {
            std::lock_guard lock(mutex_);
            handlers = handlers_;
        }
        for (auto& handler : handlers) {
            handler(event);
        }
    }

  private:
    std::mutex mutex_;
    std::vector<Handler> handlers_;  // protected by mutex_
};

// A service's subscription that ends with the service: the bus keeps its
// handlers for ever, so the handler reaches the service only through this
// link, and Detach() (from Stop()) waits for a call under way and makes
// later events pass by.
template <typename Service>
class SimEventLink {
  public:
    using Handler = std::function<void(Service&, const SimEvent&)>;

    void Attach(SimEventBus& bus, Service* service, Handler handler) {
        state_ = std::make_shared<State>();
        state_->service = service;
        std::weak_ptr<State> link = state_;
        bus.Subscribe([link, handler = std::move(handler)](const SimEvent& event) {
            auto state = link.lock();
            if (!state) {
                return;
            }
            std::lock_guard lock(state->mutex);
            if (state->service != nullptr) {
                handler(*state->service, event);
            }
        });
    }
    void Detach() {
        if (state_) {
            std::lock_guard lock(state_->mutex);
            state_->service = nullptr;
        }
    }

  private:
    struct State {
        std::mutex mutex;
        Service* service = nullptr;  // protected by mutex; null once detached
    };
    std::shared_ptr<State> state_;
};

// What the services of one simulator process share.
struct SimContext {
    SimEventBus events;
    // The directory of the configuration file: relative paths in it (SD
    // folders, stores to persist to) are taken from there.
    std::filesystem::path configDir;
    // The configuration file itself, for services that persist changes into
    // it; empty when the configuration did not come from a file.
    std::filesystem::path configFile;
    // Camera ID -> TCP port actually bound (ports may be 0 = ephemeral in
    // the configuration). Filled by the camera simulators before the account
    // service starts, so that account addresses point at the real ports.
    std::map<std::string, int> cameraPorts;
};

// One line of the start-up report: {"kind": ..., "id": ..., "port": ...}.
struct SimServiceInfo {
    std::string kind;
    std::string id;
    int port = 0;
};

// A running simulated service. Destruction stops it.
class SimService {
  public:
    virtual ~SimService() = default;
    virtual std::vector<SimServiceInfo> Describe() const = 0;
    virtual void Stop() = 0;
};

using SimServices = std::vector<std::unique_ptr<SimService>>;

}  // namespace orbisight::sim
