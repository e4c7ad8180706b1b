#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "device/DevInfoBlock.h"
#include "platform/WorkerThread.h"

namespace orbisight::sim {

class SimCamera;

// Where a simulated camera shows itself on the LAN.
struct SimLanConfig {
    std::string address;    // "lan_address": its own loopback address, e.g. "127.0.1.1"
    int searchPort = 8628;  // "lan_search_port": searches and sets arrive here
    int answerPort = 8629;  // "lan_answer_port": answers are broadcast to it
};

// The camera's LAN side: answers a search (code 86) with its basic block
// (87) and then its extended block (88), broadcast from its own address;
// applies sets addressed to its ID (135 basic, 128 3G settings); ignores
// the client's "3G" replies (129). Several cameras of one machine share the
// search port (address and port reuse), so each gets every broadcast.
class SimLanResponder {
  public:
    SimLanResponder(SimCamera& camera, SimLanConfig config);
    ~SimLanResponder();
    SimLanResponder(const SimLanResponder&) = delete;
    SimLanResponder& operator=(const SimLanResponder&) = delete;

    // False when the search port cannot be bound or the address is not
    // loopback.
    bool Start();
    void Stop();

    uint64_t SearchesAnswered() const { return searches_.load(); }
    uint64_t SetsApplied() const { return sets_.load(); }

  private:
    void Run(AutoResetEvent& stop, int socket);
    void Handle(const uint8_t* data, size_t size);
    void Answer(const DevInfoBlock& block);

    SimCamera& camera_;
    const SimLanConfig config_;
    WorkerThread thread_;
    std::atomic<uint64_t> searches_{0};
    std::atomic<uint64_t> sets_{0};
};

}  // namespace orbisight::sim
