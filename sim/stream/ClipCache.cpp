#include "sim/stream/ClipCache.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include "platform/WorkerThread.h"

namespace orbisight::sim {
namespace {

// Workers yield to the streaming threads and to the clients on the same
// machine: a late clip only delays the switch from the still picture,
// while a late frame is a stutter.
constexpr int kWorkerNice = 10;

using ClipPromise = std::promise<std::shared_ptr<const VideoClip>>;

}  // namespace

ClipCache& ClipCache::Instance() {
    static ClipCache cache;
    return cache;
}

int ClipCache::DefaultWorkerCount() {
    int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores / 2, 2, 4);
}

ClipCache::ClipCache(int workers) : workerCount_(std::max(1, workers)) {}

ClipCache::~ClipCache() {
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        workers.swap(workers_);
    }
    cancel_.store(true);
    work_.notify_all();
    for (std::thread& worker : workers) {
        worker.join();
    }
    // Nobody will encode what is still queued: its waiters get an empty clip.
    std::lock_guard lock(mutex_);
    for (auto& [params, entry] : clips_) {
        if (entry.queued && entry.promise) {
            auto empty = std::make_shared<VideoClip>();
            empty->params = params;
            entry.promise->set_value(std::move(empty));
            entry.promise.reset();
        }
    }
}

void ClipCache::SetDiskFolder(const std::filesystem::path& folder) {
    std::lock_guard lock(mutex_);
    store_ = folder.empty() ? nullptr : std::make_shared<const ClipStore>(folder);
}

ClipFuture ClipCache::GetAsync(const VideoClipParams& params, ClipPriority priority) {
    auto promise = std::make_shared<ClipPromise>();
    std::shared_ptr<const ClipStore> store;
    {
        std::lock_guard lock(mutex_);
        auto found = clips_.find(params);
        if (found != clips_.end()) {
            Entry& entry = found->second;
            if (entry.queued && priority > entry.priority) {
                entry.priority = priority;
                entry.order = nextOrder_++;
            }
            return entry.future;
        }
        Entry entry;
        entry.future = promise->get_future().share();
        entry.priority = priority;
        clips_.emplace(params, entry);
        store = store_;
    }
    // A clip on disk takes a few milliseconds to read and check: done here,
    // so it never waits behind an encoding.
    if (auto stored = store ? store->Load(params) : nullptr) {
        ClipFuture future;
        {
            std::lock_guard lock(mutex_);
            ++counts_.fromDisk;
            future = clips_[params].future;
        }
        promise->set_value(stored);
        return future;
    }
    ClipFuture future;
    {
        std::lock_guard lock(mutex_);
        Entry& entry = clips_[params];
        future = entry.future;
        if (stopping_) {
            auto empty = std::make_shared<VideoClip>();
            empty->params = params;
            promise->set_value(std::move(empty));
            return future;
        }
        entry.promise = promise;
        entry.queued = true;
        entry.order = nextOrder_++;
        StartWorkersLocked();
    }
    work_.notify_one();
    return future;
}

void ClipCache::StartWorkersLocked() {
    while (static_cast<int>(workers_.size()) < workerCount_) {
        workers_.emplace_back([this] {
            SetCurrentThreadName("sim/encode");
            setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
            WorkerLoop();
        });
    }
}

bool ClipCache::TakeJobLocked(VideoClipParams& params, std::shared_ptr<ClipPromise>& promise) {
    // Wanted clips first, in the order they were asked for; then background
    // clips, the smallest first (they are done soonest), then by age.
    Entry* best = nullptr;
    const VideoClipParams* bestParams = nullptr;
    auto before = [](const VideoClipParams& a, const Entry& ea, const VideoClipParams& b,
                     const Entry& eb) {
        if (ea.priority != eb.priority) {
            return ea.priority > eb.priority;
        }
        if (ea.priority == ClipPriority::kBackground) {
            int64_t pixelsA = int64_t{a.width} * a.height;
            int64_t pixelsB = int64_t{b.width} * b.height;
            if (pixelsA != pixelsB) {
                return pixelsA < pixelsB;
            }
        }
        return ea.order < eb.order;
    };
    for (auto& [candidate, entry] : clips_) {
        if (entry.queued && (best == nullptr || before(candidate, entry, *bestParams, *best))) {
            best = &entry;
            bestParams = &candidate;
        }
    }
    if (best == nullptr) {
        return false;
    }
    best->queued = false;
    ++counts_.encoding;
    params = *bestParams;
    promise = std::move(best->promise);
    return true;
}

void ClipCache::WorkerLoop() {
    for (;;) {
        VideoClipParams params;
        std::shared_ptr<ClipPromise> promise;
        std::shared_ptr<const ClipStore> store;
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [&] { return stopping_ || TakeJobLocked(params, promise); });
            if (!promise) {
                return;  // stopping, nothing taken
            }
            store = store_;
        }
        std::shared_ptr<const VideoClip> clip = EncodeVideoClip(params, &cancel_);
        if (store && !cancel_.load()) {
            store->Save(*clip);
        }
        bool stopping;
        {
            std::lock_guard lock(mutex_);
            ++counts_.encoded;
            --counts_.encoding;
            stopping = stopping_;
        }
        promise->set_value(clip);  // counted first: a waiter sees the counts
        if (stopping) {
            return;
        }
    }
}

std::shared_ptr<const VideoClip> ClipCache::Still(const VideoClipParams& params) {
    ClipPromise promise;
    ClipFuture made;
    {
        std::lock_guard lock(mutex_);
        auto found = stills_.find(params);
        if (found != stills_.end()) {
            made = found->second;
        } else {
            stills_.emplace(params, promise.get_future().share());
            ++counts_.stills;
        }
    }
    if (made.valid()) {
        return made.get();  // another connection is making it: milliseconds
    }
    std::shared_ptr<const VideoClip> still = EncodeStillClip(params);
    promise.set_value(still);
    return still;
}

std::shared_ptr<const AacClip> ClipCache::Audio() {
    std::lock_guard lock(mutex_);
    if (!audio_) {
        audio_ = std::make_shared<const AacClip>(EncodeToneClip(4));
    }
    return audio_;
}

ClipCache::Counts ClipCache::Read() const {
    std::lock_guard lock(mutex_);
    Counts counts = counts_;
    counts.queued = static_cast<size_t>(std::count_if(
        clips_.begin(), clips_.end(), [](const auto& item) { return item.second.queued; }));
    return counts;
}

}  // namespace orbisight::sim
