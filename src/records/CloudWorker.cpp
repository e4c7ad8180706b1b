#include "records/CloudWorker.h"

#include <thread>

#include "platform/WorkerThread.h"

namespace orbisight {

CloudWorker::CloudWorker(CloudStorageLibrary& library, Deliver deliver)
    : shared_(std::make_shared<Shared>(library)) {
    shared_->deliver = std::move(deliver);
    std::thread(Run, shared_).detach();
}

CloudWorker::~CloudWorker() {
    std::lock_guard lock(shared_->mutex);
    shared_->jobs.clear();
    shared_->closing = true;
    shared_->deliver = nullptr;
    shared_->wake.notify_all();
}

void CloudWorker::Post(Job job) {
    std::lock_guard lock(shared_->mutex);
    shared_->jobs.push_back(std::move(job));
    shared_->wake.notify_all();
}

void CloudWorker::Run(std::shared_ptr<Shared> shared) {
    SetCurrentThreadName("cloud/worker");
    std::unique_ptr<CloudConnection> connection;
    // Hands results on while the owner lives; checked under the lock so the
    // owner's destruction cannot overtake a delivery.
    Deliver deliver = [&shared](std::function<void()> call) {
        std::lock_guard lock(shared->mutex);
        if (shared->deliver) {
            shared->deliver(std::move(call));
        }
    };
    for (;;) {
        Job job;
        {
            std::unique_lock lock(shared->mutex);
            shared->wake.wait(lock, [&] { return shared->closing || !shared->jobs.empty(); });
            if (shared->closing) {
                break;
            }
            job = std::move(shared->jobs.front());
            shared->jobs.pop_front();
        }
        job(connection, deliver);
    }
    // Disconnected and destroyed here, never left open behind the page.
    connection.reset();
}

}  // namespace orbisight
