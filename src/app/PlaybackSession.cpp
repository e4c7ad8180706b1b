#include "app/PlaybackSession.h"

#include <chrono>
#include <thread>
#include <vector>

#include "media/CH264FilePlayer.h"
#include "media/MediaHooks.h"
#include "platform/WorkerThread.h"

namespace orbisight {

namespace {
// The count of running workers. Never destroyed: a worker may still be
// leaving while the process exits.
struct Workers {
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;  // protected by mutex
};
Workers& AllWorkers() {
    static Workers* workers = new Workers;
    return *workers;
}
}  // namespace

struct PlaybackSession::Shared {
    explicit Shared(PlaybackAudioFactory factory)
        : audioFactory(std::move(factory)), sink([this] {
              std::lock_guard lock(wakeMutex);
              if (wake) {
                  wake();
              }
          }) {}

    PlaybackAudioFactory audioFactory;
    std::mutex wakeMutex;
    std::function<void()> wake;  // protected by wakeMutex
    PaneVideoSink sink;

    mutable std::mutex mutex;
    std::condition_variable work;
    // Requests, protected by mutex: the latest wins.
    bool playRequested = false;
    bool stopRequested = false;
    bool quit = false;
    std::string path;
    std::string title;
    std::atomic<bool> cancelOpen{false};  // a newer request or quit: give up the index build
    // The player in use, protected by mutex; the worker stops a player only
    // after taking it out, so the window never waits for it.
    std::unique_ptr<CH264FilePlayer> player;
    std::unique_ptr<AudioSink> audio;
    // Players let go by the window (Play, Stop), stopped by the worker.
    std::vector<std::unique_ptr<CH264FilePlayer>> retiring;
    std::vector<std::unique_ptr<AudioSink>> retiringAudio;
    bool analyzing = false;
    bool refused = false;
    // Settings for the next player, so a speed or pause chosen while the
    // index is built is not lost.
    bool paused = false;
    int speed = 1;
};

namespace {
// Under the session's lock: the player in use goes to the worker to be
// stopped, so the window sees no player from now on.
template <typename Shared>
void Retire(Shared& shared) {
    if (shared.player) {
        shared.retiring.push_back(std::move(shared.player));
    }
    if (shared.audio) {
        shared.retiringAudio.push_back(std::move(shared.audio));
    }
}
}  // namespace

PlaybackSession::PlaybackSession(std::function<void()> wake, PlaybackAudioFactory audio)
    : shared_(std::make_shared<Shared>(std::move(audio))) {
    shared_->wake = std::move(wake);
    {
        std::lock_guard lock(AllWorkers().mutex);
        ++AllWorkers().running;
    }
    std::thread(Run, shared_).detach();
}

PlaybackSession::~PlaybackSession() {
    {
        std::lock_guard lock(shared_->wakeMutex);
        shared_->wake = nullptr;
    }
    {
        std::lock_guard lock(shared_->mutex);
        shared_->quit = true;
        shared_->cancelOpen.store(true);
    }
    shared_->work.notify_all();
}

void PlaybackSession::Play(const std::string& path, const std::string& title) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->playRequested = true;
        shared_->stopRequested = false;
        shared_->path = path;
        shared_->title = title;
        shared_->analyzing = true;
        shared_->refused = false;
        shared_->paused = false;
        shared_->speed = 1;
        shared_->cancelOpen.store(true);  // a build still running is for an older file
        Retire(*shared_);
    }
    shared_->work.notify_all();
}

void PlaybackSession::Stop() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->playRequested = false;
        shared_->stopRequested = true;
        shared_->analyzing = false;
        shared_->cancelOpen.store(true);
        Retire(*shared_);
    }
    shared_->work.notify_all();
}

void PlaybackSession::SetPaused(bool paused) {
    std::lock_guard lock(shared_->mutex);
    shared_->paused = paused;
    if (shared_->player) {
        shared_->player->SetPaused(paused);
    }
}

void PlaybackSession::SetSpeed(int speed) {
    std::lock_guard lock(shared_->mutex);
    shared_->speed = speed;
    if (shared_->player) {
        shared_->player->SetSpeed(speed);
    }
}

void PlaybackSession::SeekPercent(int percent) {
    std::lock_guard lock(shared_->mutex);
    if (shared_->player) {
        shared_->player->SeekPercent(percent);
    }
}

PlaybackStatus PlaybackSession::Read() const {
    PlaybackStatus status;
    std::lock_guard lock(shared_->mutex);
    status.analyzing = shared_->analyzing;
    status.refused = shared_->refused;
    if (const CH264FilePlayer* player = shared_->player.get()) {
        status.open = true;
        status.ended = player->Ended();
        status.damaged = player->Damaged();
        if (status.damaged) {
            status.damageText = player->Index().Damaged() ? RecordDamageText(player->Index().damage)
                                                          : "the recording is cut short";
        }
        status.progress = player->Progress();
        status.durationSeconds = player->DurationSeconds();
        status.entries = player->EntryCount();
    }
    return status;
}

PaneVideoSink& PlaybackSession::Sink() {
    return shared_->sink;
}

int PlaybackSession::RunningWorkers() {
    std::lock_guard lock(AllWorkers().mutex);
    return AllWorkers().running;
}

bool PlaybackSession::WaitAllIdle(int waitMs) {
    Workers& all = AllWorkers();
    std::unique_lock lock(all.mutex);
    return all.idle.wait_for(lock, std::chrono::milliseconds(waitMs),
                             [&all] { return all.running == 0; });
}

void PlaybackSession::Run(std::shared_ptr<Shared> shared) {
    SetCurrentThreadName("app/playback");
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->work.wait(
            lock, [&] { return shared->quit || shared->playRequested || shared->stopRequested; });
        // Players let go of are stopped first, whatever comes next.
        Retire(*shared);
        std::vector<std::unique_ptr<CH264FilePlayer>> old = std::move(shared->retiring);
        std::vector<std::unique_ptr<AudioSink>> oldAudio = std::move(shared->retiringAudio);
        shared->retiring.clear();
        shared->retiringAudio.clear();
        bool play = shared->playRequested && !shared->quit;
        std::string path = shared->path;
        std::string title = shared->title;
        shared->playRequested = false;
        shared->stopRequested = false;
        shared->cancelOpen.store(false);
        lock.unlock();
        for (auto& player : old) {
            player->StopPlayback();
            player.reset();
        }
        oldAudio.clear();  // after the players that played into them
        std::unique_ptr<CH264FilePlayer> player;
        std::unique_ptr<AudioSink> audio;
        int opened = 0;
        if (play) {
            audio = shared->audioFactory ? shared->audioFactory() : nullptr;
            FilePlayerOptions options;
            options.videoSink = &shared->sink;
            options.audioSink = audio.get();
            options.threadName = "app/play";
            player = std::make_unique<CH264FilePlayer>(options);
            {
                std::lock_guard settings(shared->mutex);
                player->SetPaused(shared->paused);
                player->SetSpeed(shared->speed);
            }
            opened = player->OpenFile(path, title, &shared->cancelOpen);
        }
        lock.lock();
        bool superseded = shared->quit || shared->playRequested || shared->stopRequested;
        if (play && !superseded) {
            shared->analyzing = false;
            if (opened == 1) {
                // Pause or speed may have changed while the index was built.
                player->SetPaused(shared->paused);
                player->SetSpeed(shared->speed);
                shared->player = std::move(player);
                shared->audio = std::move(audio);
            } else {
                shared->refused = true;
            }
        }
        if (player) {
            // Not taken: stopped outside the lock.
            lock.unlock();
            player->StopPlayback();
            player.reset();
            audio.reset();
            lock.lock();
        }
        if (shared->quit && !shared->playRequested) {
            break;
        }
    }
    Retire(*shared);
    std::vector<std::unique_ptr<CH264FilePlayer>> last = std::move(shared->retiring);
    std::vector<std::unique_ptr<AudioSink>> lastAudio = std::move(shared->retiringAudio);
    lock.unlock();
    for (auto& player : last) {
        player->StopPlayback();
        player.reset();
    }
    lastAudio.clear();
    shared.reset();
    // Told under the lock: a waiter that returns may end the process.
    Workers& all = AllWorkers();
    std::lock_guard workersLock(all.mutex);
    --all.running;
    all.idle.notify_all();
}

}  // namespace orbisight
