#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "media/MediaHooks.h"
#include "media/RecordNames.h"

namespace orbisight {

// Writes a live channel's frames into ".264" files: each frame as its
// 28-byte header (little-endian) followed by its payload, no file header.
// A file begins with a video key frame; audio and video follow in arrival
// order. A new file is begun (named at that moment) when the camera's time
// stamp jumps forward by more than 3 s or steps back at all (video and audio
// time stamps each against their own previous one), and when the file has run for the segment
// length; the frame that causes the change is not written, and the new file again waits for a key
// frame.
//
// Failures stop the recording: a file that cannot be created (at the start
// or at a change of file) or a write that fails leaves the recorder idle and
// reports the path and the reason to the failure handler. A record cut by a
// failed write is cut off the file again, so the file ends on a whole one.
//
// Threads: Write runs on the thread that splits frames (under the channel's
// splitting mutex); Start and Stop on the window thread. One mutex orders
// them, so a start or stop never cuts a record. The window thread waits at
// most for the write of one frame and never for the disk: a start only
// names the camera, and the first frame after it creates the file (so a
// folder that cannot be written is reported as soon as a frame comes).
class CHalvexRecorder : public FrameRecorder {
  public:
    static constexpr uint32_t kMaxTimeStampStepMs = 3000;
    static constexpr int kDefaultSegmentMinutes = 60;

    struct Options {
        std::string recordFolder;
        // "Record file divide:"; values below 1 mean the default.
        int segmentMinutes = kDefaultSegmentMinutes;
        // Milliseconds of a steady clock (segment lengths); default: the
        // process's steady clock.
        std::function<int64_t()> nowMs;
        // The wall clock that names the files; default: time().
        std::function<std::time_t()> wallClock;
        // Opens a new file for a name; default CreateNewRecordFile. Tests
        // put other files (a full device) behind it.
        std::function<int(const RecordName& name, std::string& path, std::string& error)>
            createFile;
    };

    explicit CHalvexRecorder(Options options);
    ~CHalvexRecorder() override;
    CHalvexRecorder(const CHalvexRecorder&) = delete;
    CHalvexRecorder& operator=(const CHalvexRecorder&) = delete;

    // FrameRecorder. Start fails only without a record folder (an empty
    // folder never means the current directory); creation failures are
    // reported when the first frame comes.
    bool Start(const char* id, const char* name) override;
    void Stop() override;
    void Write(const FrameHeader& header, const uint8_t* payload) override;
    void SetFailureHandler(FailureHandler handler) override;
    void SetRecordSettings(const std::string& folder, int minutes) override;

    // Recording (a file open, or one to be made by the next frame).
    bool Active() const;
    // The file being written ("" when idle).
    std::string CurrentFile() const;
    // Every file this recorder has kept, oldest first (files left empty at
    // a stop or change are removed and not listed).
    std::vector<std::string> Files() const;
    uint64_t FramesWritten() const;
    uint64_t BytesWritten() const;

  private:
    struct OpenFile {
        int fd = -1;
        std::string path;
        uint64_t bytes = 0;
    };

    // A new file named for the camera at the current time; fd -1 and the
    // reason on failure.
    OpenFile Create(const std::string& folder, const std::string& id, const std::string& name,
                    std::string& error) const;
    // Closes a file taken out of the recorder (outside mutex_); removes it
    // when empty.
    void Finish(OpenFile file);
    // The same under mutex_ (the splitting thread, at a change of file or a
    // failure).
    void CloseLocked(const OpenFile& file);
    // Under mutex_: begins the next file. False when it cannot be created
    // (the recorder is then idle and the failure reported).
    bool BeginNextFileLocked();
    bool WriteRecordLocked(const FrameHeader& header, const uint8_t* payload, std::string& error);
    void FailLocked(const std::string& path, const std::string& error);
    void KeepLocked(const std::string& path);

    const Options options_;

    mutable std::mutex mutex_;
    OpenFile file_;                // protected by mutex_
    std::string id_;               // protected by mutex_
    std::string name_;             // protected by mutex_
    bool writingStarted_ = false;  // protected by mutex_
    bool startPending_ = false;    // protected by mutex_
    bool segmentStarted_ = false;  // protected by mutex_
    int64_t segmentStartMs_ = 0;   // protected by mutex_
    // Per media type (video, audio): the previous frame's time stamp.
    std::array<bool, 2> havePrevious_{};           // protected by mutex_
    std::array<uint32_t, 2> previousTimeStamp_{};  // protected by mutex_
    std::vector<std::string> files_;               // protected by mutex_
    uint64_t framesWritten_ = 0;                   // protected by mutex_
    uint64_t bytesWritten_ = 0;                    // protected by mutex_
    FailureHandler onFailure_;                     // protected by mutex_
    std::string folder_;                           // protected by mutex_
    int64_t segmentMs_ = 0;                        // protected by mutex_
};

}  // namespace orbisight
