#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/FrameHeader.h"

namespace orbisight::test {

// Builds ".264" recordings for tests: each record is the little-endian
// 28-byte header and its payload, as the recorder writes them.
class RecordFileMaker {
  public:
    void Record(uint32_t mediaType, bool key, uint32_t timeStamp, const uint8_t* payload,
                size_t size, uint32_t rate) {
        FrameHeader header;
        header.flags = key ? 1 : 0;
        header.mediaType = mediaType;
        header.size = static_cast<uint32_t>(size);
        header.rate = rate;
        header.timeStamp = timeStamp;
        size_t at = bytes_.size();
        bytes_.resize(at + FrameHeader::kSize);
        WriteFrameHeaderFile(header, bytes_.data() + at);
        bytes_.insert(bytes_.end(), payload, payload + size);
    }
    // A video record; without a payload, size filler bytes (not decodable).
    void Video(uint32_t timeStamp, bool key, size_t size = 100, uint32_t rate = 25) {
        std::vector<uint8_t> filler(size, 0x5a);
        Record(mediatype::kVideo, key, timeStamp, filler.data(), size, rate);
    }
    void Video(uint32_t timeStamp, bool key, const std::vector<uint8_t>& payload,
               uint32_t rate = 25) {
        Record(mediatype::kVideo, key, timeStamp, payload.data(), payload.size(), rate);
    }
    void Audio(uint32_t timeStamp, size_t size = 40, uint32_t rate = 8000) {
        std::vector<uint8_t> filler(size, 0x21);
        Record(mediatype::kAudio, false, timeStamp, filler.data(), size, rate);
    }
    // A header with any values (damaged or foreign records).
    void RawHeader(const FrameHeader& header) {
        size_t at = bytes_.size();
        bytes_.resize(at + FrameHeader::kSize);
        WriteFrameHeaderFile(header, bytes_.data() + at);
    }
    void RawBytes(size_t count, uint8_t value = 0) { bytes_.insert(bytes_.end(), count, value); }

    std::vector<uint8_t>& Bytes() { return bytes_; }
    size_t Size() const { return bytes_.size(); }

    bool WriteTo(const std::filesystem::path& path) const {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes_.data()),
                  static_cast<std::streamsize>(bytes_.size()));
        return static_cast<bool>(out);
    }

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace orbisight::test
