#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/PaneVideoSink.h"

namespace orbisight {

class AudioSink;
class CH264FilePlayer;

// Makes the sound output of one player (null: the recording plays silent).
using PlaybackAudioFactory = std::function<std::unique_ptr<AudioSink>()>;

// What the playback window shows, read on its timer.
struct PlaybackStatus {
    bool analyzing = false;  // the worker builds the index
    bool open = false;       // a player has its file open (playing, paused or at its end)
    bool refused = false;    // the last file had no video or audio record
    bool ended = false;      // the playback thread reached the end or the damage
    bool damaged = false;
    std::string damageText;
    int progress = 0;
    uint32_t durationSeconds = 0;
    uint32_t entries = 0;
};

// The playback window's player and the worker thread behind it. Building
// the index reads every header of the file and stopping a player joins its
// thread, so both run on the worker ("app/playback"); the window only queues
// requests and sets pause, speed and seek, none of which waits.
//
// Lifetime: the window owns a handle; the worker keeps the shared state,
// including the picture sink the player draws into, until it has stopped
// the player. Dropping the handle (Release) never waits. WaitAllIdle lets
// the owner of the process wait for every worker where waiting is allowed.
class PlaybackSession {
  public:
    // wake: called on the player's thread when a picture is ready, at most
    // once until the painter has taken it; cleared by Release.
    PlaybackSession(std::function<void()> wake, PlaybackAudioFactory audio = {});
    // Release().
    ~PlaybackSession();
    PlaybackSession(const PlaybackSession&) = delete;
    PlaybackSession& operator=(const PlaybackSession&) = delete;

    // Stops and drops any player, then plays path (title: shown with the
    // pictures).
    void Play(const std::string& path, const std::string& title);
    // Stops and drops the player.
    void Stop();
    void SetPaused(bool paused);
    void SetSpeed(int speed);
    void SeekPercent(int percent);
    PlaybackStatus Read() const;

    // The pictures; the painter calls Latest on the window thread.
    PaneVideoSink& Sink();

    // Workers of every session still running (a released session's worker
    // finishes its player first).
    static int RunningWorkers();
    // Waits up to waitMs for every worker to end; true when none is left.
    static bool WaitAllIdle(int waitMs);

  private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);
    std::shared_ptr<Shared> shared_;
};

}  // namespace orbisight
