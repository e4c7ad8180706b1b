// Reading ".264" recordings: arbitrary bytes are indexed from their headers
// and then played (without pacing) by the file player. Sizes from the file
// must never make a read run past the file or the read buffer, the index
// must hold whole records (only a last one cut short, and then marked as
// damage), and playback must end.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "media/CH264FilePlayer.h"
#include "media/MediaHooks.h"
#include "media/RecordFileIndex.h"

using namespace orbisight;

namespace {

void CheckIndex(const uint8_t* data, size_t size) {
    MemoryRecordSource source(data, size);
    RecordIndex index;
    BuildRecordIndex(source, index);
    uint64_t previousEnd = 0;
    for (size_t i = 0; i < index.entries.size(); ++i) {
        uint32_t position = index.entries[i];
        if (position < previousEnd || uint64_t{position} + FrameHeader::kSize > size) {
            std::abort();
        }
        FrameHeader header = ReadFrameHeaderFile(data + position);
        previousEnd = uint64_t{position} + FrameHeader::kSize + header.size;
        bool cutLast = i + 1 == index.entries.size() &&
                       index.damage == RecordDamage::kTruncatedPayload &&
                       position == index.indexedLength;
        if (!cutLast && (previousEnd > index.indexedLength || previousEnd > size)) {
            std::abort();
        }
    }
    if (index.entries.size() != uint64_t{index.videoRecords} + index.audioRecords) {
        std::abort();
    }
    // Whatever is left after the last whole record is damage.
    if (index.indexedLength != size && !index.Damaged()) {
        std::abort();
    }
}

void Play(const uint8_t* data, size_t size) {
    int fd = ::memfd_create("record", 0);
    if (fd < 0) {
        return;
    }
    if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) {
        ::close(fd);
        return;
    }
    CountingAudioSink audio;
    FilePlayerOptions options;
    options.audioSink = &audio;
    options.clock = [] { return uint64_t{0}; };
    options.sleep = [](int) {};
    {
        CH264FilePlayer player(options);
        if (player.OpenFile("/proc/self/fd/" + std::to_string(fd)) == 1) {
            player.SetSpeed(size % 2 == 0 ? 1 : 4);
            while (player.Playing()) {
                ::usleep(200);
            }
            if (!player.Ended()) {
                std::abort();
            }
        }
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckIndex(data, size);
    if (size <= 65536) {
        Play(data, size);
    }
    return 0;
}
