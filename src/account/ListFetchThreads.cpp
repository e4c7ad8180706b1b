#include "account/ListFetchThreads.h"

#include <optional>
#include <string>
#include <unordered_set>

namespace orbisight {

ListFetchThreads::ListFetchThreads(SessionLists& lists, ServerListState& state, SendFunction send,
                                   const AccountTimings& timings)
    : lists_(lists), state_(state), send_(std::move(send)), timings_(timings) {}

ListFetchThreads::~ListFetchThreads() {
    Shutdown();
}

void ListFetchThreads::TriggerLocked(Phase& phase, const char* name,
                                     void (ListFetchThreads::*body)(uint64_t)) {
    if (shutdown_.load()) {
        return;
    }
    if (phase.running) {
        phase.again = true;
        return;
    }
    phase.running = true;
    phase.again = false;
    // The previous run has left its body; joining only collects the thread.
    phase.thread.Join(timings_.threadStopWaitMs);
    phase.thread.Start(name, [this, &phase, body](AutoResetEvent&) { RunPhase(phase, body); });
}

void ListFetchThreads::Trigger(Phase& phase, const char* name,
                               void (ListFetchThreads::*body)(uint64_t)) {
    std::lock_guard lock(phaseMutex_);
    TriggerLocked(phase, name, body);
}

void ListFetchThreads::RunPhase(Phase& phase, void (ListFetchThreads::*body)(uint64_t)) {
    for (;;) {
        (this->*body)(generation_.load());
        std::lock_guard lock(phaseMutex_);
        if (phase.again && !shutdown_.load()) {
            phase.again = false;
            continue;
        }
        phase.running = false;
        phaseChanged_.notify_all();
        return;
    }
}

void ListFetchThreads::GroupComplete() {
    std::lock_guard lock(phaseMutex_);
    if (detail_.running) {
        // The detail fetch is in its quiet wait: start the wait again. A
        // signal that arrives just after that wait ended runs it once more.
        detail_.again = true;
        groupComplete_.Set();
        return;
    }
    TriggerLocked(detail_, "acct/detail", &ListFetchThreads::DetailBody);
}

void ListFetchThreads::NextPage() {
    std::lock_guard lock(phaseMutex_);
    if (shutdown_.load()) {
        return;
    }
    if (pagerStarted_) {
        nextPage_.Set();
        return;
    }
    pagerStarted_ = true;
    pager_.Start("acct/pager", [this](AutoResetEvent&) { PagerBody(); });
}

void ListFetchThreads::EndSession() {
    {
        std::lock_guard lock(phaseMutex_);
        ++generation_;
        completedRuns_ = 0;
        detail_.again = devInfo_.again = status_.again = false;
    }
    groupComplete_.Set();
    pacing_.Set();
    statusReceived_.Set();
}

void ListFetchThreads::Shutdown() {
    {
        std::lock_guard lock(phaseMutex_);
        shutdown_.store(true);
        ++generation_;
    }
    groupComplete_.Set();
    nextPage_.Set();
    pacing_.Set();
    statusReceived_.Set();
    pager_.Join(timings_.threadStopWaitMs);
    detail_.thread.Join(timings_.threadStopWaitMs);
    devInfo_.thread.Join(timings_.threadStopWaitMs);
    status_.thread.Join(timings_.threadStopWaitMs);
}

bool ListFetchThreads::WaitComplete(int timeoutMs) {
    std::unique_lock lock(phaseMutex_);
    return phaseChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return completedRuns_ > 0 && !detail_.running && !devInfo_.running && !status_.running;
    });
}

bool ListFetchThreads::Busy() const {
    std::lock_guard lock(phaseMutex_);
    return detail_.running || devInfo_.running || status_.running;
}

std::vector<ListEntry> ListFetchThreads::TakeEntries(std::unordered_set<std::string>& asked,
                                                     int32_t ServerListState::*counter) {
    // The list may grow, shrink or be emptied by a logout between batches,
    // and every status reply sorts it again: a walk by position would skip
    // some entries and repeat others. The walk goes by ID instead, taking
    // each batch afresh from the current list.
    std::lock_guard lock(lists_.Mutex());
    const DeviceList& my = lists_.ListLocked(DeviceListKind::kMy);
    std::vector<ListEntry> entries;
    for (size_t i = 0; i < my.size() && entries.size() < requests::kBatchSize; ++i) {
        std::string id(my[i]->Id());
        if (asked.insert(id).second) {
            entries.push_back({my[i]->isGroup != 0, std::move(id)});
        }
    }
    if (counter != nullptr) {
        state_.*counter += static_cast<int32_t>(entries.size());
    }
    return entries;
}

void ListFetchThreads::PagerBody() {
    while (!shutdown_.load()) {
        std::optional<AccountRequest> request;
        {
            std::lock_guard lock(lists_.Mutex());
            auto page = state_.groupPages.find(state_.currentGroup);
            if (page != state_.groupPages.end() && page->second.nextPage < page->second.pageCount) {
                request = requests::GroupPage(page->first, page->second.nextPage);
                ++page->second.nextPage;
            }
        }
        if (request) {
            send_(*request);
        }
        // Without a page entry for the current group there is nothing to do
        // until the next list reply signals.
        nextPage_.Wait(timings_.pagerWaitMs);
    }
}

void ListFetchThreads::DetailBody(uint64_t generation) {
    for (;;) {
        bool signalled = groupComplete_.Wait(timings_.groupQuietMs);
        if (Stopped(generation)) {
            return;
        }
        if (!signalled) {
            break;
        }
        std::lock_guard lock(phaseMutex_);
        detail_.again = false;  // this signal is consumed by the new wait
    }
    {
        std::lock_guard lock(lists_.Mutex());
        state_.devInfoCounter = 0;
    }
    Trigger(devInfo_, "acct/devinfo", &ListFetchThreads::DevInfoBody);
}

void ListFetchThreads::DevInfoBody(uint64_t generation) {
    std::unordered_set<std::string> asked;
    for (bool first = true;; first = false) {
        std::vector<ListEntry> batch = TakeEntries(asked, nullptr);
        if (batch.empty()) {
            break;
        }
        // The first batch goes at once, each later one a pacing time after
        // the previous.
        if (!first) {
            pacing_.Wait(timings_.devInfoPacingMs);
        }
        if (Stopped(generation)) {
            return;
        }
        send_(requests::InfoBatch(batch, 0, batch.size()));
    }
    if (Stopped(generation)) {
        return;
    }
    {
        std::lock_guard lock(lists_.Mutex());
        state_.devStatusCounter = 0;
    }
    Trigger(status_, "acct/status", &ListFetchThreads::StatusBody);
}

void ListFetchThreads::StatusBody(uint64_t generation) {
    std::unordered_set<std::string> asked;
    for (;;) {
        std::vector<ListEntry> batch = TakeEntries(asked, &ServerListState::devStatusCounter);
        if (batch.empty() || Stopped(generation)) {
            break;
        }
        statusReceived_.Reset();
        send_(requests::StatusBatch(batch, 0, batch.size()));
        statusReceived_.Wait(timings_.statusReplyWaitMs);
    }
    if (Stopped(generation)) {
        return;
    }
    std::lock_guard lock(phaseMutex_);
    ++completedRuns_;
}

}  // namespace orbisight
