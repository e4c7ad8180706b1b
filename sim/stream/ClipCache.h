#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/stream/AacClip.h"
#include "sim/stream/ClipStore.h"
#include "sim/stream/VideoClip.h"

namespace orbisight::sim {

using ClipFuture = std::shared_future<std::shared_ptr<const VideoClip>>;

enum class ClipPriority {
    kBackground,  // encoded at start-up in case someone asks: the smallest first
    kWanted,      // a connection waits for it: first come, first served
};

// The clips of every simulated camera of the process, each encoded once.
//
// Encoding is the simulator's only heavy work. It runs on a small pool of
// worker threads ("sim/encode") at a lower CPU priority than the streaming
// and the clients, with clips a connection waits for ahead of those
// encoded in advance. Hand-off: a queue of jobs bounded by the number of
// distinct clips asked for (each params is queued at most once). With a disk
// folder set, clips are read from there when sound and written there once
// encoded, so later runs start at once.
class ClipCache {
  public:
    static ClipCache& Instance();

    explicit ClipCache(int workers = DefaultWorkerCount());
    // Cancels encodings in progress (their waiters get an empty clip) and
    // waits for the workers.
    ~ClipCache();
    ClipCache(const ClipCache&) = delete;
    ClipCache& operator=(const ClipCache&) = delete;

    // Half the cores, at least 2, at most 4.
    static int DefaultWorkerCount();

    // Keeps clips in `folder` (empty: memory only). Set before clips are
    // asked for.
    void SetDiskFolder(const std::filesystem::path& folder);

    // The clip for the params: ready at once when it is in memory or on disk,
    // else once a worker has encoded it. Asking again with kWanted moves a
    // queued background job ahead.
    ClipFuture GetAsync(const VideoClipParams& params,
                        ClipPriority priority = ClipPriority::kWanted);
    std::shared_ptr<const VideoClip> Get(const VideoClipParams& params) {
        return GetAsync(params).get();
    }
    void Prefetch(const VideoClipParams& params) { GetAsync(params, ClipPriority::kBackground); }

    // The still stand-in for the params, made on the calling thread the first
    // time (a few milliseconds) and kept.
    std::shared_ptr<const VideoClip> Still(const VideoClipParams& params);

    // The sound loop, shared by every camera.
    std::shared_ptr<const AacClip> Audio();

    struct Counts {
        size_t encoded = 0;   // clips encoded by the workers
        size_t fromDisk = 0;  // clips read from the disk folder
        size_t stills = 0;    // stand-ins made
        size_t queued = 0;    // jobs waiting for a worker
        size_t encoding = 0;  // jobs a worker is on
    };
    Counts Read() const;

  private:
    struct Entry {
        ClipFuture future;
        std::shared_ptr<std::promise<std::shared_ptr<const VideoClip>>> promise;
        ClipPriority priority = ClipPriority::kBackground;
        uint64_t order = 0;
        bool queued = false;
    };

    void StartWorkersLocked();
    void WorkerLoop();
    // The next job, or false when stopping. Called with the lock held.
    bool TakeJobLocked(VideoClipParams& params,
                       std::shared_ptr<std::promise<std::shared_ptr<const VideoClip>>>& promise);

    const int workerCount_;
    mutable std::mutex mutex_;
    std::condition_variable work_;
    std::map<VideoClipParams, Entry> clips_;        // protected by mutex_
    std::map<VideoClipParams, ClipFuture> stills_;  // protected by mutex_
    std::shared_ptr<const AacClip> audio_;          // protected by mutex_
    std::shared_ptr<const ClipStore> store_;        // protected by mutex_
    std::vector<std::thread> workers_;              // protected by mutex_
    uint64_t nextOrder_ = 0;                        // protected by mutex_
    bool stopping_ = false;                         // protected by mutex_
    Counts counts_;                                 // protected by mutex_
    std::atomic<bool> cancel_{false};
};

}  // namespace orbisight::sim
