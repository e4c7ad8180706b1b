#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include "platform/Resolver.h"

namespace orbisight {
namespace {

// One send lock per descriptor. Descriptors are small integers that the
// kernel reuses; a lock that outlives its socket simply serves the next one.
constexpr size_t kSendLockCount = 4096;
std::array<std::mutex, kSendLockCount>& SendLocks() {
    static std::array<std::mutex, kSendLockCount> locks;
    return locks;
}

void SetTimeout(int socket, int option, int timeoutMs) {
    timeval tv{};
    if (timeoutMs > 0) {
        tv.tv_sec = timeoutMs / 1000;
        tv.tv_usec = (timeoutMs % 1000) * 1000;
    }
    setsockopt(socket, SOL_SOCKET, option, &tv, sizeof tv);
}

}  // namespace

int ConnectTcp(const char* host, int port, int timeoutMs, const std::atomic<bool>* cancel) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (host != nullptr && *host != '\0') {
        in_addr resolved{};
        switch (ResolveIPv4(host, kResolveTimeoutMs, cancel, resolved)) {
            case Resolution::kAddress:
                address.sin_addr = resolved;
                break;
            case Resolution::kNoAddress:
                break;  // a name that does not resolve leaves 127.0.0.1
            case Resolution::kGaveUp:
                return kNoSocket;
        }
    }
    if (cancel != nullptr && cancel->load()) {
        return kNoSocket;
    }

    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return kNoSocket;
    }
    SetSocketBuffers(65536, s);

    int flags = fcntl(s, F_GETFL, 0);
    fcntl(s, F_SETFL, flags | O_NONBLOCK);
    int rc = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (rc != 0 && errno != EINPROGRESS) {
        close(s);
        return kNoSocket;
    }
    if (rc != 0) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        bool connected = false;
        for (;;) {
            if (cancel != nullptr && cancel->load()) {
                break;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0) {
                break;
            }
            pollfd pfd{s, POLLOUT, 0};
            int slice = static_cast<int>(left < 50 ? left : 50);
            int ready = poll(&pfd, 1, slice);
            if (ready < 0 && errno != EINTR) {
                break;
            }
            if (ready > 0) {
                int error = 0;
                socklen_t length = sizeof error;
                getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length);
                connected = (error == 0);
                break;
            }
        }
        if (!connected) {
            close(s);
            return kNoSocket;
        }
    }
    fcntl(s, F_SETFL, flags & ~O_NONBLOCK);
    return s;
}

int SendAll(int timeoutMs, int length, int socket, const void* bytes) {
    if (socket < 0 || bytes == nullptr) {
        return 0;
    }
    if (length == 0) {
        length = static_cast<int>(std::strlen(static_cast<const char*>(bytes)));
    }
    std::lock_guard lock(SendLocks()[static_cast<size_t>(socket) % kSendLockCount]);
    SetTimeout(socket, SO_SNDTIMEO, timeoutMs);
    const char* p = static_cast<const char*>(bytes);
    int sent = 0;
    while (sent < length) {
        ssize_t n = send(socket, p + sent, static_cast<size_t>(length - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        sent += static_cast<int>(n);
    }
    return sent;
}

int ReceiveExact(int timeoutMs, int socket, int length, void* buffer, bool datagram,
                 sockaddr_in* source) {
    if (socket < 0 || length <= 0 || buffer == nullptr) {
        return 0;
    }
    SetTimeout(socket, SO_RCVTIMEO, timeoutMs);
    char* p = static_cast<char*>(buffer);
    int received = 0;
    while (received < length) {
        ssize_t n;
        if (datagram) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            n = recvfrom(socket, p + received, static_cast<size_t>(length - received), 0,
                         reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n >= 0 && source != nullptr) {
                *source = from;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return -1;
            }
        } else {
            n = recv(socket, p + received, static_cast<size_t>(length - received), 0);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return -1;
            }
        }
        received += static_cast<int>(n);
    }
    return received;
}

int SetSocketBuffers(int size, int socket) {
    if (socket < 0) {
        return 0;
    }
    setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    return 1;
}

int WaitReadable(int socket, int timeoutMs) {
    if (socket < 0) {
        return 0;
    }
    pollfd pfd{socket, POLLIN, 0};
    for (;;) {
        int ready = poll(&pfd, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready > 0 ? 1 : 0;
    }
}

int BroadcastDatagram(int port, const void* block, size_t size) {
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) {
        return -1;
    }
    int addressCount = 0;
    for (ifaddrs* it = interfaces; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        ++addressCount;
        int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (s < 0) {
            continue;
        }
        SetSocketBuffers(65536, s);
        int on = 1;
        setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local = *reinterpret_cast<sockaddr_in*>(it->ifa_addr);
        local.sin_port = htons(kBroadcastSourcePort);
        if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
            sockaddr_in target{};
            target.sin_family = AF_INET;
            target.sin_port = htons(static_cast<uint16_t>(port));
            target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
            sendto(s, block, size, 0, reinterpret_cast<sockaddr*>(&target), sizeof target);
        }
        close(s);
    }
    freeifaddrs(interfaces);
    return addressCount > 0 ? 0 : -1;
}

int OpenDatagramListener(int port, bool sharePort) {
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return kNoSocket;
    }
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(s, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
    if (sharePort) {
        setsockopt(s, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        close(s);
        return kNoSocket;
    }
    return s;
}

void ShutdownSocket(int socket) {
    if (socket >= 0) {
        shutdown(socket, SHUT_RDWR);
    }
}

void CloseSocket(int socket) {
    if (socket >= 0) {
        close(socket);
    }
}

uint16_t LocalPort(int socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (socket < 0 || getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

}  // namespace orbisight
