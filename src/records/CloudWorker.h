#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "records/CloudConnection.h"

namespace orbisight {

// The thread on which a cloud page's library calls run, one job after
// another, with the page's one connection object. Results go back through
// `deliver`, which hands a callable to the window thread (a queued call);
// it is never called once the worker is destroyed.
//
// Destruction never waits for the network: pending jobs are dropped, the
// thread is left to finish the job under way, then it disconnects and
// destroys the connection object and ends on its own. The library stays
// loaded until then (CloudStorageLibrary::Use).
class CloudWorker {
  public:
    using Deliver = std::function<void(std::function<void()>)>;
    // Runs on the worker thread. `connection` is the page's connection
    // object (null until the first query); `deliver` as above.
    using Job =
        std::function<void(std::unique_ptr<CloudConnection>& connection, const Deliver& deliver)>;

    CloudWorker(CloudStorageLibrary& library, Deliver deliver);
    ~CloudWorker();
    CloudWorker(const CloudWorker&) = delete;
    CloudWorker& operator=(const CloudWorker&) = delete;

    void Post(Job job);
    CloudStorageLibrary& Library() { return shared_->library; }

  private:
    struct Shared {
        explicit Shared(CloudStorageLibrary& lib) : library(lib), use(lib) {}
        CloudStorageLibrary& library;
        CloudStorageLibrary::Use use;
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<Job> jobs;  // protected by mutex
        bool closing = false;  // protected by mutex
        Deliver deliver;       // protected by mutex; cleared at destruction
    };
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
};

}  // namespace orbisight
