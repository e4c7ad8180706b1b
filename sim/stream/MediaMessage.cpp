#include "sim/stream/MediaMessage.h"

#include <cstdio>
#include <cstring>

namespace orbisight::sim {
namespace {

void AppendText(std::vector<uint8_t>& out, const char* text) {
    out.insert(out.end(), text, text + std::strlen(text));
}

void AppendField(std::vector<uint8_t>& out, const char* name, const uint8_t* value, size_t size) {
    char lengths[16];
    std::snprintf(lengths, sizeof lengths, "%02X%06X", static_cast<unsigned>(std::strlen(name)),
                  static_cast<unsigned>(size));
    AppendText(out, lengths);
    AppendText(out, name);
    if (size > 0) {
        out.insert(out.end(), value, value + size);
    }
}

void AppendHeader(std::vector<uint8_t>& out, size_t bodyLength) {
    char header[16];
    std::snprintf(header, sizeof header, "0100%04X%06X", 9u, static_cast<unsigned>(bodyLength));
    AppendText(out, header);
}

}  // namespace

void AppendFrame(std::vector<uint8_t>& data, const FrameHeader& header, const uint8_t* payload,
                 size_t size) {
    size_t at = data.size();
    data.resize(at + FrameHeader::kSize + size);
    WriteFrameHeaderNetwork(header, data.data() + at);
    if (size > 0) {
        std::memcpy(data.data() + at + FrameHeader::kSize, payload, size);
    }
}

void BuildMediaMessage(std::vector<uint8_t>& out, const uint8_t* data, size_t size) {
    static const uint8_t kOne = '1';
    size_t body = (8 + 3 + 1) + (8 + 4 + size);
    out.clear();
    out.reserve(14 + body);
    AppendHeader(out, body);
    AppendField(out, "Ret", &kOne, 1);
    AppendField(out, "Data", data, size);
}

void BuildPaddedMediaMessage(std::vector<uint8_t>& out, size_t bodyLength) {
    static const uint8_t kOne = '1';
    size_t dataSize = bodyLength > 24 ? bodyLength - 24 : 0;
    std::vector<uint8_t> zeros(dataSize, 0);
    out.clear();
    AppendHeader(out, (8 + 3 + 1) + (8 + 4 + dataSize));
    AppendField(out, "Ret", &kOne, 1);
    AppendField(out, "Data", zeros.data(), dataSize);
}

}  // namespace orbisight::sim
