#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orbisight {

// What a recording file holds, told by its first bytes rather than its name:
// a ".264" file is either the client's own record format (28-byte headers
// in front of every frame) or a bare H.264 stream.
enum class RecordFileKind {
    kRecordFormat,  // a whole first record: video or audio, its payload inside the file
    kRawH264,       // an Annex B start code at the very start
    kOther,         // anything else (another container, a picture)
    kUnreadable,    // missing, empty or not a regular file
};

// head: the first bytes of the file (at least 32 when the file has them),
// fileLength: the whole file's length.
RecordFileKind ClassifyRecordBytes(const uint8_t* head, size_t size, uint64_t fileLength);

// Reads the first bytes of the file at path.
RecordFileKind DetectRecordFileKind(const std::string& path);

const char* RecordFileKindName(RecordFileKind kind);

}  // namespace orbisight
