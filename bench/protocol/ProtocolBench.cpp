// protocol_bench: what the device message costs on the media path.
//
//   build/bin/protocol_bench [--iterations N]
//
// One media message (type 9) whose "Data" field holds 256 KiB of frames,
// each a 28-byte big-endian frame header and its payload, as a camera sends
// a burst of video. Measured: building and serialising the message, parsing
// it, and walking its "Data" into frames (header converted to host order,
// bounds checked, payload copied out as a frame queue does). The reference
// is memcpy of the same 256 KiB in the same run; each figure is the best of
// several rounds and is printed with its ratio to that reference.
//
// Every message is built fresh, as a camera or the simulator builds one per
// burst. With glibc's default settings two 256 KiB buffers are mapped and
// unmapped per message, so the page faults show; a second pass keeps the
// heap (mmap and trim thresholds raised) to show the cost of the copying
// alone.

#include <arpa/inet.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/CHalvexProtocolAX.h"

namespace {

using orbisight::CHalvexProtocolAX;
using Clock = std::chrono::steady_clock;

constexpr size_t kDataBytes = 256 * 1024;
constexpr size_t kFrameHeaderBytes = 28;
constexpr int kRounds = 7;

// Frames of typical sizes (a key frame, then smaller ones) filling exactly
// kDataBytes.
std::vector<uint8_t> BuildFrames(int& frameCount) {
    const size_t sizes[] = {61000, 9000, 7000, 12000, 5000, 8000, 15000, 6000};
    std::vector<uint8_t> data;
    data.reserve(kDataBytes);
    frameCount = 0;
    uint32_t timestamp = 0;
    for (size_t i = 0; data.size() + kFrameHeaderBytes < kDataBytes; ++i) {
        size_t payload =
            std::min(sizes[i % std::size(sizes)], kDataBytes - data.size() - kFrameHeaderBytes);
        uint32_t header[7] = {htonl(i == 0 ? 1u : 0u),
                              htonl(1),
                              htonl(static_cast<uint32_t>(payload)),
                              htonl(25),
                              htonl(timestamp),
                              0,
                              0};
        timestamp += 40;
        const auto* bytes = reinterpret_cast<const uint8_t*>(header);
        data.insert(data.end(), bytes, bytes + kFrameHeaderBytes);
        for (size_t b = 0; b < payload; ++b) {
            data.push_back(static_cast<uint8_t>(b * 31 + i));
        }
        ++frameCount;
    }
    return data;
}

// The splitting step of a live channel, reduced to its work: read each
// header, convert it, check that the frame lies inside the data, copy the
// payload into the frame buffer.
int WalkFrames(const uint8_t* data, size_t size, std::vector<uint8_t>& frameBuffer) {
    size_t offset = 0;
    int frames = 0;
    while (offset + kFrameHeaderBytes <= size) {
        uint32_t header[7];
        std::memcpy(header, data + offset, kFrameHeaderBytes);
        for (int i = 0; i < 5; ++i) {
            header[i] = ntohl(header[i]);
        }
        size_t payload = header[2];
        if (payload > size - offset - kFrameHeaderBytes || payload > frameBuffer.size()) {
            break;
        }
        std::memcpy(frameBuffer.data(), data + offset + kFrameHeaderBytes, payload);
        offset += kFrameHeaderBytes + payload;
        ++frames;
    }
    return frames;
}

template <typename Body>
double BestSeconds(int iterations, Body body) {
    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        for (int i = 0; i < iterations; ++i) {
            body();
        }
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        best = std::min(best, seconds / iterations);
    }
    return best;
}

volatile uint8_t gSink;  // keeps the optimiser from dropping the work

}  // namespace

int main(int argc, char** argv) {
    int iterations = 2000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--iterations") {
            iterations = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    int frameCount = 0;
    std::vector<uint8_t> data = BuildFrames(frameCount);
    std::vector<uint8_t> copy(data.size());
    std::vector<uint8_t> frameBuffer(3110400);

    CHalvexProtocolAX prototype;
    prototype.SetType(orbisight::msgtype::kMedia);
    prototype.AddField("Data", data.data(), 4, static_cast<int>(data.size()));
    std::vector<uint8_t> wire(prototype.Serialize(),
                              prototype.Serialize() + prototype.TotalLength());

    CHalvexProtocolAX parsed;
    parsed.Parse(wire.data(), wire.size());
    const auto* field = parsed.FindField("Data");
    std::printf(
        "media message: %zu bytes of \"Data\", %d frames, message %zu bytes, %d iterations, "
        "best of %d\n",
        data.size(), frameCount, wire.size(), iterations, kRounds);

    for (const char* heap : {"default heap", "heap kept"}) {
        if (std::string(heap) == "heap kept") {
            mallopt(M_MMAP_THRESHOLD, 64 << 20);
            mallopt(M_TRIM_THRESHOLD, 256 << 20);
        }
        double memcpySeconds = BestSeconds(iterations, [&] {
            std::memcpy(copy.data(), data.data(), data.size());
            gSink = copy[data.size() / 2];
        });
        double serializeSeconds = BestSeconds(iterations, [&] {
            CHalvexProtocolAX message;
            message.SetType(orbisight::msgtype::kMedia);
            message.AddField("Data", data.data(), 4, static_cast<int>(data.size()));
            gSink = message.Serialize()[message.TotalLength() - 1];
        });
        double parseSeconds = BestSeconds(iterations, [&] {
            CHalvexProtocolAX message;
            message.Parse(wire.data(), wire.size());
            gSink = message.FindField("Data")->Bytes()[0];
        });
        int walked = 0;
        double walkSeconds = BestSeconds(iterations, [&] {
            walked =
                WalkFrames(field->Bytes(), static_cast<size_t>(field->valueLength), frameBuffer);
            gSink = frameBuffer[0];
        });
        if (walked != frameCount) {
            std::fprintf(stderr, "protocol_bench: walked %d of %d frames\n", walked, frameCount);
            return 1;
        }
        auto report = [&](const char* what, double seconds) {
            double mbPerSecond = static_cast<double>(data.size()) / seconds / 1e6;
            std::printf("  %-24s %9.1f MB/s  %8.1f us  %6.2fx memcpy time\n", what, mbPerSecond,
                        seconds * 1e6, seconds / memcpySeconds);
        };
        std::printf("%s:\n", heap);
        report("memcpy (reference)", memcpySeconds);
        report("build + serialise", serializeSeconds);
        report("parse", parseSeconds);
        report("walk into frames", walkSeconds);
        report("parse + walk", parseSeconds + walkSeconds);
    }
    return 0;
}
