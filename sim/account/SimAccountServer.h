#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "account/CXOMPPackageBuilder.h"
#include "platform/WorkerThread.h"
#include "sim/account/SimAccountStore.h"
#include "sim/common/SimService.h"
#include "sim/common/SimTcpServer.h"
#include "sim/common/SimViolationLog.h"

namespace orbisight::sim {

class SimLoginConnection;

// How the service misbehaves on purpose.
enum class AccountFault {
    kNone,
    kDrop,       // close each connection when its first message arrives
    kStall,      // read everything, answer nothing
    kBadLength,  // answers carry a length prefix that is not hexadecimal
};
std::optional<AccountFault> ParseAccountFault(std::string_view text);
const char* AccountFaultName(AccountFault fault);

struct SimAccountOptions {
    int loginPort = 5590;     // 0: ephemeral
    int registerPort = 5560;  // 0: ephemeral
    int expire = 300;         // heartbeat interval announced at login; 0: not sent
    int pushIntervalMs = 0;   // timer pushes of status changes and alarms; 0: off
    AccountFault fault = AccountFault::kNone;
};

// The account service: a login server (persistent sessions with lists,
// status and notifications) and a register server (one request per
// connection), speaking the account message format. It validates what it
// receives and reports violations on stderr.
class SimAccountServer : public SimService {
  public:
    // Reads config["account"] (see docs/account.md). Throws on a bad
    // configuration or a port that cannot be bound.
    static std::unique_ptr<SimAccountServer> Start(const nlohmann::json& account,
                                                   SimContext& context);
    SimAccountServer(SimAccountOptions options, SimContext& context);
    ~SimAccountServer() override;

    std::vector<SimServiceInfo> Describe() const override;
    void Stop() override;

    int LoginPort() const { return login_.Port(); }
    int RegisterPort() const { return register_.Port(); }
    SimAccountStore& Store() { return store_; }

    // Run-time control (tests, stdin commands).
    void SetFault(AccountFault fault) { fault_.store(fault); }
    AccountFault Fault() const { return fault_.load(); }
    void DropConnections();
    // Changes a device's status and tells its owner's sessions.
    void PushStatus(const std::string& deviceId, int status);
    void PushAlarm(const std::string& deviceId, const std::string& title,
                   const std::string& message);
    void PushDevInfo(const std::string& deviceId);
    // One of the demo's alarms, by turn: an ASCII or accented title and a
    // UTF-8 content in several scripts, as cameras in the field send them.
    struct DemoAlarm {
        const char* title;
        const char* content;
    };
    static DemoAlarm DemoAlarmAt(size_t turn);
    // Pushes the next demo alarm for a device ("alarm ID on", the timer).
    void PushDemoAlarm(const std::string& deviceId);

    // What the service saw: "login user", "get all-dev", "HeartBeat user"...
    int Count(const std::string& what) const;
    int ViolationCount() const { return violations_.Count(); }
    std::vector<std::string> Violations() const { return violations_.Recent(); }

    // Used by the connections.
    void Counted(const std::string& what);
    void ReportViolation(const std::string& text) { violations_.Report(text); }
    // Sends a message as the fault mode allows. False when not sent.
    bool Send(int socket, CXOMPPackageBuilder& message);
    int Expire() const { return options_.expire; }

  private:
    void Listen();
    // Serves one request of a register connection on the accept thread,
    // then closes it.
    std::unique_ptr<SimTcpServer::Connection> ServeRegister(int socket);
    void HandleRegister(int socket);
    void PushTimerLoop(AutoResetEvent& stop);
    void PushToOwner(const std::string& owner, CXOMPPackageBuilder& message);
    void Subscribe(SimContext& context);

    SimAccountOptions options_;
    SimAccountStore store_;
    std::atomic<AccountFault> fault_{AccountFault::kNone};
    std::atomic<bool> stopping_{false};
    std::atomic<int> registerClient_{-1};  // the register connection being served
    std::atomic<size_t> demoAlarmTurn_{0};

    SimTcpServer login_;     // SimLoginConnection each
    SimTcpServer register_;  // one request per connection, served on the accept thread
    WorkerThread pushTimer_;

    mutable std::mutex countsMutex_;
    std::map<std::string, int> counts_;  // protected by countsMutex_
    SimViolationLog violations_{"account"};

    SimEventLink<SimAccountServer> events_;
};

}  // namespace orbisight::sim
