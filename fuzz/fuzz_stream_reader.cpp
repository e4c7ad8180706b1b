// Reading messages from a TCP stream: arbitrary bytes arrive on a socket
// pair and are read message by message with the command channel's limits
// until the stream ends. Lengths from the wire must never overrun the
// receive buffer.

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "device/CHalvexProtocolAX.h"
#include "platform/Socket.h"

using namespace orbisight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // What the socket pair can hold without a reader on the other side.
    if (size > 100000) {
        return 0;
    }
    static std::vector<uint8_t> buffer(3110400);
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
        return 0;
    }
    SetSocketBuffers(1 << 20, fds[0]);
    SetSocketBuffers(1 << 20, fds[1]);
    if (size > 0) {
        SendAll(1000, static_cast<int>(size), fds[1], data);
    }
    ::shutdown(fds[1], SHUT_WR);
    for (int i = 0; i < 1000; ++i) {
        CHalvexProtocolAX message;
        if (ReceiveMessage(fds[0], 100, 100, 327678, buffer.data(), buffer.size(), message) !=
            ReceiveResult::kOk) {
            break;
        }
    }
    ::close(fds[0]);
    ::close(fds[1]);
    return 0;
}
