#pragma once

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/Socket.h"

namespace orbisight {

// A listening socket on an ephemeral loopback port.
struct LoopbackListener {
    int fd = -1;
    int port = 0;
    LoopbackListener() {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, 8);
        port = LocalPort(fd);
    }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;
    int Accept() const { return ::accept(fd, nullptr, nullptr); }
    ~LoopbackListener() { ::close(fd); }
};

}  // namespace orbisight
