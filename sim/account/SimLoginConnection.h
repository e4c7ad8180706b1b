#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "account/CXOMPPackageBuilder.h"
#include "account/CXOMPPackageParser.h"
#include "sim/account/SimAccountStore.h"
#include "sim/common/SimTcpServer.h"

namespace orbisight::sim {

class SimAccountServer;

// One client session on the login server, served by its own thread: the
// login, heartbeats, list requests with their replies, logout.
class SimLoginConnection : public SimTcpServer::Connection {
  public:
    static constexpr size_t kPageSize = 100;
    static constexpr size_t kMaxBatch = 50;

    SimLoginConnection(int socket, SimAccountServer& server);
    ~SimLoginConnection() override;  // drops the connection and waits for its thread
    SimLoginConnection(const SimLoginConnection&) = delete;
    SimLoginConnection& operator=(const SimLoginConnection&) = delete;

    void Drop() override;
    bool Finished() const override { return finished_.load(); }
    // The logged-in user, or "".
    std::string User() const;
    // Sends a notification (any thread).
    void Push(CXOMPPackageBuilder& message);

  private:
    void Run();
    // False when the connection is to close.
    bool Handle(const std::string& header);
    bool HandleLogin(const CXOMPPackageParser& request);
    void HandleGet(const CXOMPPackageParser& request, const std::string& user);
    std::vector<SimListEntry> EntriesOf(const CXOMPPackageParser& request);
    void ReplyEntries(const std::string& cseq, const std::vector<SimListEntry>& entries, int total);
    void Reply(CXOMPPackageBuilder& reply);

    int socket_;
    SimAccountServer& server_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> dropped_{false};
    mutable std::mutex userMutex_;
    std::string user_;  // protected by userMutex_
    std::thread thread_;
};

}  // namespace orbisight::sim
