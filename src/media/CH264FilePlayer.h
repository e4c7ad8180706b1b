#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "media/RecordFileIndex.h"

namespace orbisight {

class AudioSink;
class CHalvexDecoder;
class PictureRenderer;
class VideoSink;
class WorkerThread;

struct FilePlayerOptions {
    // Where pictures go (null: decode only) and where sound records go (null:
    // none). Both outlive the player; they are called on the playback thread.
    VideoSink* videoSink = nullptr;
    AudioSink* audioSink = nullptr;
    // The clock and the pause of the pacing, in milliseconds; empty: the
    // monotonic clock and a wait that a stop cuts short. Tests give their
    // own so pacing is checked without waiting.
    std::function<uint64_t()> clock;
    std::function<void(int ms)> sleep;
    int decoderThreads = 1;
    std::string threadName = "playback";
};

// What the playback thread did so far (any thread).
struct FilePlayerStats {
    uint64_t videoRecords = 0;      // video records read
    uint64_t decodedRecords = 0;    // video records handed to the decoder
    uint64_t keyFramesDecoded = 0;  // of those, key frames
    uint64_t pictures = 0;          // pictures the decoder produced
    uint64_t audioRecords = 0;      // audio records given to the sound output
    uint64_t skippedLarge = 0;      // records above kMaxRecordSize passed over
    uint64_t seeks = 0;             // seeks taken up by the playback thread
};

// Plays one ".264" recording on a thread of its own: video records through
// its own decoder into the video sink, audio records to the audio sink, paced
// by the records' time stamps.
//
// The owner's thread only sets pause, speed and the seek position and reads
// the progress: none of these waits. OpenFile reads every header of the file
// and StopPlayback joins the thread, so the window calls both from a worker.
class CH264FilePlayer {
  public:
    static constexpr uint32_t kMaxRecordSize = 204800;
    static constexpr int kMaxSpeed = 32;
    // Pacing of a video record with rate 0 (which the recorder never writes)
    // when no earlier record gave a rate.
    static constexpr uint32_t kAssumedRate = 25;

    explicit CH264FilePlayer(FilePlayerOptions options = {});
    virtual ~CH264FilePlayer();
    CH264FilePlayer(const CH264FilePlayer&) = delete;
    CH264FilePlayer& operator=(const CH264FilePlayer&) = delete;

    // Builds the index and starts the playback thread. Returns 0 (nothing
    // started) when the file cannot be read or has no video or audio record,
    // else 1. A damaged file plays up to the damage. title goes with every
    // picture (the overlay); empty: the path. A file already playing is
    // stopped first; pause and speed set before are kept. cancel, when given,
    // ends the index build early (the owner gave up waiting): 0.
    int OpenFile(const std::string& path, const std::string& title = {},
                 const std::atomic<bool>* cancel = nullptr);
    // Stops and joins the playback thread; position 0, length 1, speed 1.
    void StopPlayback();
    // Continues at index entry floor(count * p / 100), p in 0..100 (100 is
    // the last entry), from the next record boundary on. Ignored while
    // nothing plays.
    void SeekPercent(int percent);
    // position * 100 / length.
    int Progress() const;

    void SetPaused(bool paused);
    bool Paused() const { return paused_.load(); }
    // 1 is normal; 2..32 play key frames only. 0 and below are stored as 1.
    void SetSpeed(int speed);
    int Speed() const { return speed_.load(); }

    // The playback thread runs.
    bool Playing() const { return playing_.load(); }
    // The playback thread reached the end of the file or the damage.
    bool Ended() const { return ended_.load(); }
    // The file is damaged: the index stopped early, or the playback thread
    // met a record cut short or out of step.
    bool Damaged() const { return index_.Damaged() || damagedWhilePlaying_.load(); }

    // Of the open file (stable while the thread runs).
    const RecordIndex& Index() const { return index_; }
    uint32_t EntryCount() const { return static_cast<uint32_t>(index_.entries.size()); }
    uint32_t DurationSeconds() const { return index_.durationSeconds; }
    uint64_t Position() const { return position_.load(); }
    uint64_t Length() const { return length_.load(); }
    FilePlayerStats Stats() const;

  private:
    void Run();
    bool WaitWhilePaused();
    void Sleep(int ms);
    uint64_t Now() const;

    FilePlayerOptions options_;
    std::unique_ptr<CHalvexDecoder> decoder_;
    std::unique_ptr<PictureRenderer> renderer_;
    std::unique_ptr<WorkerThread> thread_;
    RecordIndex index_;
    std::string path_;
    std::string title_;

    std::atomic<bool> playing_{false};
    std::atomic<bool> ended_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> stop_{true};
    std::atomic<bool> damagedWhilePlaying_{false};
    std::atomic<int> speed_{1};
    std::atomic<int64_t> seekEntry_{-1};
    std::atomic<uint64_t> position_{0};
    std::atomic<uint64_t> length_{1};

    std::mutex waitMutex_;
    std::condition_variable waitCv_;  // pause lifted, stop

    // Playback thread only, read through Stats().
    std::atomic<uint64_t> videoRecords_{0};
    std::atomic<uint64_t> decodedRecords_{0};
    std::atomic<uint64_t> keyFramesDecoded_{0};
    std::atomic<uint64_t> audioRecords_{0};
    std::atomic<uint64_t> skippedLarge_{0};
    std::atomic<uint64_t> seeks_{0};
};

// The pause after a video record at normal speed. delta: this time stamp
// minus the previous video record's (0 for the first), elapsed: the time
// the record took so far, rate: the record's frame rate (0 is replaced by
// the caller).
uint64_t PlaybackPauseMs(uint32_t delta, uint64_t elapsed, uint32_t rate);

}  // namespace orbisight
