// Fuzzes the peer-to-peer client's handling of what the rendezvous service
// relays: a run of datagrams (each a 16-bit big-endian length and its bytes)
// for one session, put together into frames and control messages, then
// every queued frame and message taken out again. Nothing may be read or
// written outside its buffer, and no frame may come out larger than the
// buffer it is taken into.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "media/p2p/PeerApi.h"
#include "media/p2p/PeerClient.h"
#include "media/p2p/PeerWire.h"

using namespace orbisight::p2p;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PeerClient client;
    int av = client.InjectSession(1);
    size_t offset = 0;
    while (offset + 2 <= size) {
        size_t length = static_cast<size_t>(data[offset] << 8 | data[offset + 1]);
        offset += 2;
        if (length > size - offset) {
            length = size - offset;
        }
        std::vector<uint8_t> datagram(data + offset, data + offset + length);
        client.InjectDatagram(datagram.data(), datagram.size());
        offset += length;
    }
    static std::vector<char> frame(kMaxFrameSize);
    char info[16];
    int actual = 0;
    int expected = 0;
    int infoActual = 0;
    unsigned index = 0;
    while (client.QueuedVideo(av) > 0) {
        int n = client.RecvFrame(av, frame.data(), static_cast<int>(frame.size()), &actual,
                                 &expected, info, sizeof info, &infoActual, &index);
        if (n > static_cast<int>(frame.size()) || (n >= 0 && n > expected)) {
            std::abort();
        }
    }
    std::vector<char> sound(1024);
    while (client.CheckAudio(av) > 0) {
        client.RecvAudio(av, sound.data(), static_cast<int>(sound.size()), info, sizeof info,
                         &index);
    }
    std::vector<char> control(256);
    unsigned type = 0;
    while (client.RecvIoctrl(av, &type, control.data(), static_cast<int>(control.size()), 0) >= 0) {
    }
    return 0;
}
