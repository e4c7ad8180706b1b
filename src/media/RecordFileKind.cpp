#include "media/RecordFileKind.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "media/FrameHeader.h"

namespace orbisight {
namespace {

bool StartCodeAt(const uint8_t* bytes, size_t size) {
    if (size >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 1) {
        return true;
    }
    return size >= 3 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1;
}

}  // namespace

RecordFileKind ClassifyRecordBytes(const uint8_t* head, size_t size, uint64_t fileLength) {
    if (size == 0 || fileLength == 0) {
        return RecordFileKind::kUnreadable;
    }
    // A bare stream starts with 00 00 00 01; read as a record header its
    // media type would be the bytes after the start code (never 1 or 2 with
    // a NAL header there), so the two cannot be mistaken for each other.
    if (size >= FrameHeader::kSize) {
        FrameHeader header = ReadFrameHeaderFile(head);
        bool knownType =
            header.mediaType == mediatype::kVideo || header.mediaType == mediatype::kAudio;
        bool fits = header.size > 0 && FrameHeader::kSize + uint64_t{header.size} <= fileLength;
        if (knownType && fits) {
            // A video record carries Annex B itself.
            if (header.mediaType == mediatype::kAudio || size <= FrameHeader::kSize ||
                StartCodeAt(head + FrameHeader::kSize, size - FrameHeader::kSize)) {
                return RecordFileKind::kRecordFormat;
            }
        }
    }
    if (StartCodeAt(head, size)) {
        return RecordFileKind::kRawH264;
    }
    return RecordFileKind::kOther;
}

RecordFileKind DetectRecordFileKind(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return RecordFileKind::kUnreadable;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return RecordFileKind::kUnreadable;
    }
    uint8_t head[64];
    size_t got = 0;
    while (got < sizeof head) {
        ssize_t n = ::read(fd, head + got, sizeof head - got);
        if (n <= 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return ClassifyRecordBytes(head, got, static_cast<uint64_t>(info.st_size));
}

const char* RecordFileKindName(RecordFileKind kind) {
    switch (kind) {
        case RecordFileKind::kRecordFormat:
            return "record format";
        case RecordFileKind::kRawH264:
            return "H.264 stream";
        case RecordFileKind::kOther:
            return "other";
        case RecordFileKind::kUnreadable:
            return "unreadable";
    }
    return "unreadable";
}

}  // namespace orbisight
