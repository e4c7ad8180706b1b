#include "media/RecordFileIndex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orbisight {

FileRecordSource::~FileRecordSource() {
    Close();
}

bool FileRecordSource::Open(const std::string& path) {
    Close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return false;
    }
    fd_ = fd;
    length_ = static_cast<uint64_t>(st.st_size);
    return true;
}

void FileRecordSource::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    length_ = 0;
}

size_t FileRecordSource::ReadAt(uint64_t position, uint8_t* out, size_t size) {
    size_t done = 0;
    while (fd_ >= 0 && done < size) {
        ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(position + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t MemoryRecordSource::ReadAt(uint64_t position, uint8_t* out, size_t size) {
    if (position >= size_) {
        return 0;
    }
    size_t n = std::min<uint64_t>(size, size_ - position);
    std::memcpy(out, data_ + position, n);
    return n;
}

const char* RecordDamageText(RecordDamage damage) {
    switch (damage) {
        case RecordDamage::kNone:
            return "";
        case RecordDamage::kTruncatedHeader:
        case RecordDamage::kTruncatedPayload:
            return "the recording is cut short";
        case RecordDamage::kTooLong:
            return "the recording is longer than 4 GiB";
    }
    return "";
}

void BuildRecordIndex(RecordSource& source, RecordIndex& index, const std::atomic<bool>* cancel) {
    index = RecordIndex{};
    const uint64_t length = source.Length();
    index.fileLength = length;
    uint64_t position = 0;
    bool haveVideo = false;
    // Each read takes a little more than a header: the header of a short
    // record (sound) that follows comes with it, one read fewer.
    constexpr size_t kWindow = 512;
    uint8_t window[kWindow];
    uint64_t windowStart = 0;
    size_t windowSize = 0;
    for (uint64_t records = 0;; ++records) {
        if (cancel != nullptr && (records & 4095) == 0 && cancel->load()) {
            index.cancelled = true;
            break;
        }
        if (position >= length) {
            break;
        }
        if (length - position < FrameHeader::kSize) {
            index.damage = RecordDamage::kTruncatedHeader;
            break;
        }
        if (position < windowStart || position + FrameHeader::kSize > windowStart + windowSize) {
            windowStart = position;
            windowSize =
                source.ReadAt(position, window,
                              static_cast<size_t>(std::min<uint64_t>(kWindow, length - position)));
            if (windowSize < FrameHeader::kSize) {
                index.damage = RecordDamage::kTruncatedHeader;
                break;
            }
        }
        const uint8_t* bytes = window + (position - windowStart);
        FrameHeader header = ReadFrameHeaderFile(bytes);
        if (position > UINT32_MAX) {
            index.damage = RecordDamage::kTooLong;
            break;
        }
        if (header.mediaType == mediatype::kVideo || header.mediaType == mediatype::kAudio) {
            index.entries.push_back(static_cast<uint32_t>(position));
            if (header.mediaType == mediatype::kVideo) {
                if (!haveVideo) {
                    index.firstVideoTimeStamp = header.timeStamp;
                    haveVideo = true;
                }
                index.lastVideoTimeStamp = header.timeStamp;
                ++index.videoRecords;
                if (header.KeyFrame()) {
                    ++index.keyFrames;
                }
            } else {
                ++index.audioRecords;
            }
        }
        uint64_t end = position + FrameHeader::kSize + header.size;
        if (end > length) {
            index.damage = RecordDamage::kTruncatedPayload;
            break;
        }
        position = end;
        index.indexedLength = position;
    }
    if (haveVideo && index.lastVideoTimeStamp >= index.firstVideoTimeStamp) {
        index.durationSeconds = (index.lastVideoTimeStamp - index.firstVideoTimeStamp) / 1000;
    }
}

}  // namespace orbisight
