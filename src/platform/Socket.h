#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace orbisight {

// Socket helpers shared by every network part of the client. Sockets are
// IPv4 descriptors; -1 means "no socket". Results follow the house rule:
// byte counts, 1/0 for yes/no, -1 for a failed call.
constexpr int kNoSocket = -1;

// How long ConnectTcp waits for a host name to resolve.
constexpr int kResolveTimeoutMs = 5000;

// Resolves host (an empty host, or a name the resolver says has no address,
// means 127.0.0.1), creates a TCP socket with 64 KiB buffers, connects with a
// time-out and returns the blocking socket, or -1. The name is resolved on a
// worker (platform/Resolver.h): a resolution that takes longer than
// kResolveTimeoutMs, or that cannot start because too many are pending,
// fails this attempt (-1) rather than connecting anywhere. When cancel is
// given and becomes true the attempt, name resolution included, is abandoned
// within about 50 ms.
int ConnectTcp(const char* host, int port, int timeoutMs,
               const std::atomic<bool>* cancel = nullptr);

// Sends all length bytes (length 0: the NUL-terminated string) under the
// socket's send lock, so that whole messages from several threads never
// interleave. Returns the number of bytes sent (less than length on failure).
int SendAll(int timeoutMs, int length, int socket, const void* bytes);

// Stream mode: receives exactly length bytes; a failed, timed-out or
// zero-byte receive (the peer closed) returns -1. Datagram mode: receives
// datagrams one after another until length bytes are there, storing each
// sender in source when given; a failed receive returns -1. Returns 0 at once
// for a missing socket, length or buffer; otherwise the bytes received.
int ReceiveExact(int timeoutMs, int socket, int length, void* buffer, bool datagram = false,
                 sockaddr_in* source = nullptr);

// Sets the send and receive buffer sizes. Returns 0 for socket -1, else 1.
int SetSocketBuffers(int size, int socket);

// Waits up to timeoutMs (10 s by default) for the socket to become readable.
// Returns 1 if it did, else 0.
int WaitReadable(int socket, int timeoutMs = 10000);

// Local port from which LAN broadcasts are sent.
constexpr uint16_t kBroadcastSourcePort = 46369;

// Sends the first `size` bytes of block (a 1088-byte parameter block by
// default) as a UDP broadcast to 255.255.255.255:port from every local IPv4
// address. Returns 0, or -1 when the machine has no IPv4 address.
int BroadcastDatagram(int port, const void* block, size_t size = 1088);

// Opens the UDP socket on which LAN answers arrive: broadcast permission,
// address reuse, out-of-band data inline, bound to 0.0.0.0:port. Returns the
// socket or -1.
// sharePort: several sockets of this machine (the simulated cameras) bind
// the same port and each receives every broadcast.
int OpenDatagramListener(int port, bool sharePort = false);

// Wakes every thread blocked on the socket (their calls fail at once). The
// descriptor stays valid until CloseSocket.
void ShutdownSocket(int socket);
void CloseSocket(int socket);

// The local port a socket is bound to (tests bind to port 0), or 0.
uint16_t LocalPort(int socket);

}  // namespace orbisight
