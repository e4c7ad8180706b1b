#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "media/FrameHeader.h"

namespace orbisight {

// Where a ".264" recording is read from: positional reads, so the index
// builder and the playback thread never share a file offset. A file on disk
// (FileRecordSource) or bytes in memory (the fuzzer, tests).
class RecordSource {
  public:
    virtual ~RecordSource() = default;
    virtual uint64_t Length() const = 0;
    // Reads up to size bytes at position; returns the bytes read (fewer at
    // the end of the source or on a read error).
    virtual size_t ReadAt(uint64_t position, uint8_t* out, size_t size) = 0;
};

class FileRecordSource : public RecordSource {
  public:
    FileRecordSource() = default;
    ~FileRecordSource() override;
    FileRecordSource(const FileRecordSource&) = delete;
    FileRecordSource& operator=(const FileRecordSource&) = delete;

    // Opens for reading. False (errno kept) when the file cannot be opened or
    // is not a regular file.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // The length when opened; ReadAt reads beyond it while the file grows.
    uint64_t Length() const override { return length_; }
    size_t ReadAt(uint64_t position, uint8_t* out, size_t size) override;

  private:
    int fd_ = -1;
    uint64_t length_ = 0;
};

class MemoryRecordSource : public RecordSource {
  public:
    MemoryRecordSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint64_t Length() const override { return size_; }
    size_t ReadAt(uint64_t position, uint8_t* out, size_t size) override;

  private:
    const uint8_t* data_;
    size_t size_;
};

// Why reading a recording stopped before its end.
enum class RecordDamage {
    kNone,
    kTruncatedHeader,   // fewer than 28 bytes left for a header
    kTruncatedPayload,  // a payload runs past the end of the file
    kTooLong,           // records beyond 4 GiB cannot be indexed by 32-bit positions
};

// A short text for the user, e.g. "the last record is cut short".
const char* RecordDamageText(RecordDamage damage);

// What the headers of a recording say: one 32-bit position per video or
// audio record, in file order.
struct RecordIndex {
    std::vector<uint32_t> entries;
    uint32_t videoRecords = 0;
    uint32_t audioRecords = 0;
    uint32_t keyFrames = 0;
    uint32_t firstVideoTimeStamp = 0;
    uint32_t lastVideoTimeStamp = 0;
    // (last - first video time stamp) / 1000 in whole seconds; 0 when the
    // last is before the first.
    uint32_t durationSeconds = 0;
    uint64_t fileLength = 0;
    // Bytes up to the end of the last whole record.
    uint64_t indexedLength = 0;
    RecordDamage damage = RecordDamage::kNone;
    bool cancelled = false;

    bool Damaged() const { return damage != RecordDamage::kNone; }
};

// Builds the index from the headers alone, skipping payloads. Records of
// another media type are skipped by their size without an entry. Every
// length is checked against the source: a payload that runs past the end
// is the last record (it is indexed, as playback reaches it and stops
// there) and marks the index damaged, as does a cut header. cancel, when
// given, is looked at every 4096 records.
void BuildRecordIndex(RecordSource& source, RecordIndex& index,
                      const std::atomic<bool>* cancel = nullptr);

}  // namespace orbisight
