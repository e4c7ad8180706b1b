#include "platform/WorkerThread.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Clock.h"

namespace orbisight {

void SetCurrentThreadName(const std::string& name) {
    std::string cut = name.substr(0, 15);
    pthread_setname_np(pthread_self(), cut.c_str());
}

WorkerThread::~WorkerThread() {
    if (thread_.joinable()) {
        Stop(1400);
    }
}

void WorkerThread::Start(std::string name, Body body, ThreadPriority priority) {
    if (thread_.joinable()) {
        return;
    }
    name_ = std::move(name);
    stopEvent_.Reset();
    finished_ = std::make_shared<std::atomic<bool>>(false);
    finishedEvent_ = std::make_shared<AutoResetEvent>();
    auto finished = finished_;
    auto finishedEvent = finishedEvent_;
    thread_ = std::thread(
        [this, body = std::move(body), finished, finishedEvent, priority, name = name_]() {
            SetCurrentThreadName(name);
            if (priority == ThreadPriority::kHighest) {
                // Raising the priority needs CAP_SYS_NICE, which a desktop user
                // rarely has; a refusal is harmless.
                setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10);
            }
            body(stopEvent_);
            finished->store(true);
            finishedEvent->Set();
        });
}

bool WorkerThread::Join(int waitMs) {
    if (!thread_.joinable()) {
        return true;
    }
    bool inTime = finished_->load() || finishedEvent_->Wait(waitMs) || finished_->load();
    if (!inTime) {
        std::fprintf(stderr, "thread %s did not stop within %d ms; waiting for it\n", name_.c_str(),
                     waitMs);
    }
    thread_.join();
    return inTime;
}

bool WorkerThread::Stop(int waitMs) {
    SignalStop();
    return Join(waitMs);
}

}  // namespace orbisight
