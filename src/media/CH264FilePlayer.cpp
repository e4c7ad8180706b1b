#include "media/CH264FilePlayer.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "media/CHalvexDecoder.h"
#include "media/MediaFrame.h"
#include "media/MediaHooks.h"
#include "media/PictureRenderer.h"
#include "platform/Clock.h"
#include "platform/WorkerThread.h"

namespace orbisight {

uint64_t PlaybackPauseMs(uint32_t delta, uint64_t elapsed, uint32_t rate) {
    if (delta == 0) {
        uint64_t period = rate == 0 ? 0 : 1000u / rate;
        return elapsed < period ? period - elapsed : 0;
    }
    if (delta > 1000) {
        // A jump in the camera's clock (or a step back) is not waited for.
        return 500;
    }
    // The step less the time this record took. No margin is taken off: the
    // rest is precise here, and a 20 ms margin made a 25 frames/s
    // recording play at twice its speed.
    return elapsed < delta ? delta - elapsed : 0;
}

CH264FilePlayer::CH264FilePlayer(FilePlayerOptions options)
    : options_(std::move(options)),
      decoder_(std::make_unique<CHalvexDecoder>(options_.decoderThreads)),
      renderer_(std::make_unique<PictureRenderer>()) {
    decoder_->SetPictureCallback([this](const AVFrame& picture) {
        if (options_.videoSink != nullptr) {
            VideoOverlay overlay;
            overlay.title = title_;
            renderer_->Render(picture, *options_.videoSink, overlay);
        }
    });
}

CH264FilePlayer::~CH264FilePlayer() {
    StopPlayback();
}

uint64_t CH264FilePlayer::Now() const {
    return options_.clock ? options_.clock() : TickCountMs();
}

void CH264FilePlayer::Sleep(int ms) {
    if (ms <= 0) {
        return;
    }
    if (options_.sleep) {
        options_.sleep(ms);
        return;
    }
    std::unique_lock lock(waitMutex_);
    waitCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

bool CH264FilePlayer::WaitWhilePaused() {
    std::unique_lock lock(waitMutex_);
    waitCv_.wait(lock, [this] { return !paused_.load() || stop_.load(); });
    return !stop_.load();
}

int CH264FilePlayer::OpenFile(const std::string& path, const std::string& title,
                              const std::atomic<bool>* cancel) {
    // Pause and speed set before opening are kept (a player may start paused).
    if (thread_) {
        StopPlayback();
    }
    FileRecordSource source;
    if (!source.Open(path)) {
        index_ = RecordIndex{};
        return 0;
    }
    BuildRecordIndex(source, index_, cancel);
    source.Close();
    if (index_.entries.empty() || index_.cancelled) {
        return 0;
    }
    path_ = path;
    title_ = title.empty() ? path : title;
    ended_.store(false);
    damagedWhilePlaying_.store(false);
    seekEntry_.store(-1);
    // Set here rather than on the thread, so a seek right after OpenFile
    // is not lost.
    playing_.store(true);
    stop_.store(false);
    thread_ = std::make_unique<WorkerThread>();
    thread_->Start(
        options_.threadName, [this](AutoResetEvent&) { Run(); }, ThreadPriority::kHighest);
    return 1;
}

void CH264FilePlayer::StopPlayback() {
    {
        std::lock_guard lock(waitMutex_);
        stop_.store(true);
        paused_.store(false);
    }
    waitCv_.notify_all();
    if (thread_) {
        thread_->Join(2000);
        thread_.reset();
    }
    playing_.store(false);
    seekEntry_.store(-1);
    position_.store(0);
    length_.store(1);
    speed_.store(1);
}

void CH264FilePlayer::SeekPercent(int percent) {
    if (!playing_.load() || index_.entries.empty()) {
        return;
    }
    percent = std::clamp(percent, 0, 100);
    uint64_t count = index_.entries.size();
    uint64_t entry = count * static_cast<uint64_t>(percent) / 100;
    entry = std::min<uint64_t>(entry, count - 1);
    seekEntry_.store(static_cast<int64_t>(entry));
}

int CH264FilePlayer::Progress() const {
    uint64_t length = std::max<uint64_t>(1, length_.load());
    return static_cast<int>(std::min<uint64_t>(100, position_.load() * 100 / length));
}

void CH264FilePlayer::SetPaused(bool paused) {
    {
        std::lock_guard lock(waitMutex_);
        paused_.store(paused);
    }
    waitCv_.notify_all();
}

void CH264FilePlayer::SetSpeed(int speed) {
    speed_.store(std::clamp(speed, 1, kMaxSpeed));
}

FilePlayerStats CH264FilePlayer::Stats() const {
    FilePlayerStats s;
    s.videoRecords = videoRecords_.load();
    s.decodedRecords = decodedRecords_.load();
    s.keyFramesDecoded = keyFramesDecoded_.load();
    s.pictures = decoder_->Pictures();
    s.audioRecords = audioRecords_.load();
    s.skippedLarge = skippedLarge_.load();
    s.seeks = seeks_.load();
    return s;
}

void CH264FilePlayer::Run() {
    FileRecordSource file;
    if (!file.Open(path_)) {
        ended_.store(true);
        playing_.store(false);
        return;
    }
    const uint64_t length = std::max<uint64_t>(1, file.Length());
    length_.store(length);
    FrameBuffer buffer(kMaxRecordSize);
    uint64_t position = 0;
    uint32_t previousTimeStamp = 0;
    bool havePrevious = false;
    bool needKeyFrame = true;  // the decoder starts, and restarts after a seek, at a key frame
    uint32_t lastRate = 0;
    uint8_t headerBytes[FrameHeader::kSize];

    while (!stop_.load()) {
        if (paused_.load() && !WaitWhilePaused()) {
            break;
        }
        int64_t seek = seekEntry_.exchange(-1);
        if (seek >= 0 && static_cast<size_t>(seek) < index_.entries.size()) {
            position = index_.entries[static_cast<size_t>(seek)];
            position_.store(position);
            havePrevious = false;
            needKeyFrame = true;
            decoder_->Flush();
            seeks_.fetch_add(1);
        }
        size_t got = file.ReadAt(position, headerBytes, FrameHeader::kSize);
        if (got < FrameHeader::kSize) {
            if (got > 0) {
                damagedWhilePlaying_.store(true);
            }
            break;
        }
        const uint64_t start = Now();
        FrameHeader header = ReadFrameHeaderFile(headerBytes);
        // A file still being written may have grown since it was opened: the
        // reads below check what is there now, not the length at the start.
        if (header.size > kMaxRecordSize) {
            skippedLarge_.fetch_add(1);
            position += FrameHeader::kSize + uint64_t{header.size};
            position_.store(std::min(position, length));
            continue;
        }
        got = file.ReadAt(position + FrameHeader::kSize, buffer.Data(), header.size);
        if (got < header.size) {
            damagedWhilePlaying_.store(true);
            break;
        }
        std::memset(buffer.Data() + header.size, 0, FrameBuffer::kPadding);
        position += FrameHeader::kSize + uint64_t{header.size};
        position_.store(std::min(position, length));

        if (header.mediaType != mediatype::kVideo && header.mediaType != mediatype::kAudio) {
            continue;  // not part of the format: passed over
        }
        const int speed = speed_.load();
        if (header.mediaType == mediatype::kAudio) {
            // Sound only at normal speed.
            if (speed == 1 && options_.audioSink != nullptr) {
                options_.audioSink->PlayFrame(header, buffer.Data(), header.size);
                audioRecords_.fetch_add(1);
            }
            continue;
        }
        if (speed > 1 && !header.KeyFrame()) {
            continue;
        }
        videoRecords_.fetch_add(1);
        if (!needKeyFrame || header.KeyFrame()) {
            needKeyFrame = false;
            if (header.size > 0) {
                decoder_->Decode(buffer.Data(), header.size);
            }
            decodedRecords_.fetch_add(1);
            if (header.KeyFrame()) {
                keyFramesDecoded_.fetch_add(1);
            }
        }
        if (speed > 1) {
            Sleep(400 / speed);
            continue;
        }
        if (header.rate != 0) {
            lastRate = header.rate;
        }
        uint32_t rate = lastRate != 0 ? lastRate : kAssumedRate;
        uint32_t delta = havePrevious ? header.timeStamp - previousTimeStamp : 0;
        uint64_t now = Now();
        uint64_t elapsed = now >= start ? now - start : 0;
        Sleep(static_cast<int>(PlaybackPauseMs(delta, elapsed, rate)));
        previousTimeStamp = header.timeStamp;
        havePrevious = true;
    }
    if (!stop_.load()) {
        ended_.store(true);
    }
    file.Close();
    playing_.store(false);
}

}  // namespace orbisight
