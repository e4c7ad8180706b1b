#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "account/AccountRequest.h"
#include "account/AccountTimings.h"
#include "account/ServerListState.h"
#include "account/SessionLists.h"
#include "platform/AutoResetEvent.h"
#include "platform/WorkerThread.h"

namespace orbisight {

// The background threads that complete the "my" list after login:
//   pager   ("acct/pager")   requests the next page of the current group
//                             each time an incomplete page arrives;
//   detail  ("acct/detail")  waits until no group has completed for a quiet
//                             time, then starts
//   devinfo ("acct/devinfo") device information for the whole list in
//                             batches of 50, paced, then starts
//   status  ("acct/status")  device status in batches of 50, each batch
//                             waiting for its reply.
// The receive thread drives them with GroupComplete(), NextPage() and
// StatusReceived(). Each wait is a timed wait on an auto-reset event, and
// EndSession()/Shutdown() set every event, so no thread ever needs killing.
class ListFetchThreads {
  public:
    using SendFunction = std::function<bool(const AccountRequest&)>;

    ListFetchThreads(SessionLists& lists, ServerListState& state, SendFunction send,
                     const AccountTimings& timings);
    ~ListFetchThreads();
    ListFetchThreads(const ListFetchThreads&) = delete;
    ListFetchThreads& operator=(const ListFetchThreads&) = delete;

    // A group's list is complete: wake the detail fetch, or start it.
    void GroupComplete();
    // A page arrived and more are due: wake the pager, or start it.
    void NextPage();
    // A status reply arrived.
    void StatusReceived() { statusReceived_.Set(); }

    // Logout: running walks end at their next step; the pager stays.
    void EndSession();
    // Ends every thread (destruction).
    void Shutdown();

    // Waits until a whole detail run (device information and status) has
    // finished in this session and nothing is running. False on time-out.
    bool WaitComplete(int timeoutMs);
    bool Busy() const;

  private:
    struct Phase {
        WorkerThread thread;
        bool running = false;  // protected by phaseMutex_
        bool again = false;    // protected by phaseMutex_: run once more
    };

    void TriggerLocked(Phase& phase, const char* name, void (ListFetchThreads::*body)(uint64_t));
    void Trigger(Phase& phase, const char* name, void (ListFetchThreads::*body)(uint64_t));
    void RunPhase(Phase& phase, void (ListFetchThreads::*body)(uint64_t));
    bool Stopped(uint64_t generation) const {
        return shutdown_.load() || generation_.load() != generation;
    }
    // The next batch of a walk: up to 50 entries of the current list, in
    // list order, that this walk has not asked for yet. They are added to
    // asked.
    std::vector<ListEntry> TakeEntries(std::unordered_set<std::string>& asked,
                                       int32_t ServerListState::*counter);

    void PagerBody();
    void DetailBody(uint64_t generation);
    void DevInfoBody(uint64_t generation);
    void StatusBody(uint64_t generation);

    SessionLists& lists_;
    ServerListState& state_;  // protected by lists_.Mutex()
    SendFunction send_;
    AccountTimings timings_;

    AutoResetEvent groupComplete_;
    AutoResetEvent nextPage_;
    AutoResetEvent pacing_;
    AutoResetEvent statusReceived_;

    mutable std::mutex phaseMutex_;
    std::condition_variable phaseChanged_;
    Phase detail_;
    Phase devInfo_;
    Phase status_;
    WorkerThread pager_;
    bool pagerStarted_ = false;  // protected by phaseMutex_
    int completedRuns_ = 0;      // protected by phaseMutex_: status walks finished this session
    std::atomic<uint64_t> generation_{0};
    std::atomic<bool> shutdown_{false};
};

}  // namespace orbisight
