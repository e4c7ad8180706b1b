#include "media/CHalvexRecorder.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace orbisight {

namespace {

// The list of kept files is for reports; a recording that changes file
// often keeps only the latest ones.
constexpr size_t kMaxListedFiles = 1024;

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Writes all of both buffers; false with errno set on failure.
bool WriteAll(int fd, const uint8_t* head, size_t headSize, const uint8_t* body, size_t bodySize) {
    iovec parts[2] = {{const_cast<uint8_t*>(head), headSize},
                      {const_cast<uint8_t*>(body), bodySize}};
    int first = 0;
    while (first < 2) {
        ssize_t n = ::writev(fd, parts + first, 2 - first);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        auto left = static_cast<size_t>(n);
        while (first < 2 && left >= parts[first].iov_len) {
            left -= parts[first].iov_len;
            ++first;
        }
        if (first < 2) {
            parts[first].iov_base = static_cast<uint8_t*>(parts[first].iov_base) + left;
            parts[first].iov_len -= left;
        }
    }
    return true;
}

}  // namespace

namespace {
int64_t SegmentMs(int minutes) {
    return int64_t{minutes >= 1 ? minutes : CHalvexRecorder::kDefaultSegmentMinutes} * 60 * 1000;
}
}  // namespace

CHalvexRecorder::CHalvexRecorder(Options options)
    : options_(std::move(options)),
      folder_(options_.recordFolder),
      segmentMs_(SegmentMs(options_.segmentMinutes)) {}

void CHalvexRecorder::SetRecordSettings(const std::string& folder, int minutes) {
    std::lock_guard lock(mutex_);
    folder_ = folder;
    segmentMs_ = SegmentMs(minutes);
}

CHalvexRecorder::~CHalvexRecorder() {
    Stop();
}

CHalvexRecorder::OpenFile CHalvexRecorder::Create(const std::string& folder, const std::string& id,
                                                  const std::string& name,
                                                  std::string& error) const {
    if (folder.empty() && !options_.createFile) {
        // Never a file relative to the current directory.
        error = "no record folder is set";
        return OpenFile{};
    }
    std::time_t now = options_.wallClock ? options_.wallClock() : std::time(nullptr);
    RecordName recordName = BuildRecordName(folder, name, id, LocalRecordTime(now));
    OpenFile file;
    if (options_.createFile) {
        file.fd = options_.createFile(recordName, file.path, error);
    } else {
        std::filesystem::path created;
        file.fd = CreateNewRecordFile(recordName, ".264", created, error);
        file.path = created.string();
    }
    return file;
}

void CHalvexRecorder::Finish(OpenFile file) {
    if (file.fd < 0) {
        return;
    }
    ::close(file.fd);
    if (file.bytes == 0) {
        // Nothing arrived (no key frame, or no camera): no empty recording
        // is left behind.
        ::unlink(file.path.c_str());
        std::lock_guard lock(mutex_);
        auto it = std::find(files_.begin(), files_.end(), file.path);
        if (it != files_.end()) {
            files_.erase(it);
        }
    }
}

void CHalvexRecorder::CloseLocked(const OpenFile& file) {
    if (file.fd < 0) {
        return;
    }
    ::close(file.fd);
    if (file.bytes == 0) {
        ::unlink(file.path.c_str());
        if (!files_.empty() && files_.back() == file.path) {
            files_.pop_back();
        }
    }
}

void CHalvexRecorder::KeepLocked(const std::string& path) {
    if (files_.size() >= kMaxListedFiles) {
        files_.erase(files_.begin());
    }
    files_.push_back(path);
}

void CHalvexRecorder::FailLocked(const std::string& path, const std::string& error) {
    if (onFailure_) {
        onFailure_(path, error);
    }
}

bool CHalvexRecorder::Start(const char* id, const char* name) {
    OpenFile old;
    {
        std::lock_guard lock(mutex_);
        if (folder_.empty() && !options_.createFile) {
            return false;  // no record folder: recording is not available
        }
        old = std::exchange(file_, OpenFile{});
        writingStarted_ = false;
        segmentStarted_ = false;
        havePrevious_ = {};
        id_ = id != nullptr ? id : "";
        name_ = name != nullptr ? name : "";
        // The file is created by the first frame, on the splitting thread:
        // the window thread never waits for a folder or a file to be made.
        startPending_ = true;
    }
    Finish(std::move(old));
    return true;
}

void CHalvexRecorder::Stop() {
    OpenFile old;
    {
        std::lock_guard lock(mutex_);
        startPending_ = false;
        old = std::exchange(file_, OpenFile{});
        writingStarted_ = false;
        havePrevious_ = {};
        segmentStarted_ = false;
    }
    Finish(std::move(old));
}

bool CHalvexRecorder::BeginNextFileLocked() {
    OpenFile old = std::exchange(file_, OpenFile{});
    writingStarted_ = false;
    havePrevious_ = {};
    segmentStarted_ = false;
    CloseLocked(old);
    std::string error;
    OpenFile fresh = Create(folder_, id_, name_, error);
    if (fresh.fd < 0) {
        FailLocked(fresh.path, error);
        return false;
    }
    file_ = std::move(fresh);
    KeepLocked(file_.path);
    return true;
}

bool CHalvexRecorder::WriteRecordLocked(const FrameHeader& header, const uint8_t* payload,
                                        std::string& error) {
    uint8_t head[FrameHeader::kSize];
    WriteFrameHeaderFile(header, head);
    if (!WriteAll(file_.fd, head, sizeof head, payload, header.size)) {
        error = ErrnoText(errno);
        // Whatever part of the record reached the file is cut off again.
        if (::ftruncate(file_.fd, static_cast<off_t>(file_.bytes)) != 0) {
            // The file then ends on a cut record, which readers stop at.
        }
        return false;
    }
    file_.bytes += FrameHeader::kSize + header.size;
    ++framesWritten_;
    bytesWritten_ += FrameHeader::kSize + header.size;
    return true;
}

void CHalvexRecorder::Write(const FrameHeader& header, const uint8_t* payload) {
    if (header.mediaType != mediatype::kVideo && header.mediaType != mediatype::kAudio) {
        return;  // not part of the recording format
    }
    std::lock_guard lock(mutex_);
    if (startPending_) {
        startPending_ = false;
        if (!BeginNextFileLocked()) {
            return;
        }
    }
    if (file_.fd < 0) {
        return;
    }
    int64_t now = options_.nowMs ? options_.nowMs() : SteadyMs();
    if (!segmentStarted_) {
        segmentStarted_ = true;
        segmentStartMs_ = now;
    }
    // As a 32-bit unsigned difference, any step back is a very large step.
    // Video and audio are timed apart: a camera (and the simulator when it
    // catches up) sends a sound frame stamped a little after the picture
    // that follows it, which is no jump of its clock and must not split the
    // file and lose the pictures up to the next key frame.
    size_t kind = header.mediaType == mediatype::kVideo ? 0 : 1;
    if (havePrevious_[kind] && header.timeStamp - previousTimeStamp_[kind] > kMaxTimeStampStepMs) {
        BeginNextFileLocked();
        return;
    }
    havePrevious_[kind] = true;
    previousTimeStamp_[kind] = header.timeStamp;
    if (now - segmentStartMs_ >= segmentMs_) {
        BeginNextFileLocked();
        return;
    }
    if (!writingStarted_) {
        if (header.mediaType != mediatype::kVideo || !header.KeyFrame()) {
            return;  // a file begins with a key frame; audio before it is dropped
        }
        writingStarted_ = true;
    }
    std::string error;
    if (!WriteRecordLocked(header, payload, error)) {
        OpenFile failed = std::exchange(file_, OpenFile{});
        CloseLocked(failed);
        writingStarted_ = false;
        havePrevious_ = {};
        segmentStarted_ = false;
        FailLocked(failed.path, error);
    }
}

void CHalvexRecorder::SetFailureHandler(FailureHandler handler) {
    std::lock_guard lock(mutex_);
    onFailure_ = std::move(handler);
}

bool CHalvexRecorder::Active() const {
    std::lock_guard lock(mutex_);
    return file_.fd >= 0 || startPending_;
}

std::string CHalvexRecorder::CurrentFile() const {
    std::lock_guard lock(mutex_);
    return file_.path;
}

std::vector<std::string> CHalvexRecorder::Files() const {
    std::lock_guard lock(mutex_);
    return files_;
}

uint64_t CHalvexRecorder::FramesWritten() const {
    std::lock_guard lock(mutex_);
    return framesWritten_;
}

uint64_t CHalvexRecorder::BytesWritten() const {
    std::lock_guard lock(mutex_);
    return bytesWritten_;
}

}  // namespace orbisight
