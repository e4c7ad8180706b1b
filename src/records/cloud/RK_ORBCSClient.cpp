// The cloud-storage client library (libRK_ORBCSClient.so). Plain sockets and
// the framing of CloudWire.h; nothing of the engine is linked in, so the
// program can load it like any other run-time library.

#include "records/cloud/RK_ORBCSClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "records/cloud/CloudWire.h"

#define ORBCS_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace orbisight::cloudwire;
using Clock = std::chrono::steady_clock;

std::atomic<bool> initialised{false};

constexpr int kDefaultTimeoutSeconds = 60;
constexpr int kMaxTimeoutSeconds = 3600;

// What "AddrRemote[=]host:port[|]TOConnect[=]S[|]TORW[=]S[|]" says.
struct ConnectParams {
    std::string host;
    int port = 0;
    int connectSeconds = kDefaultTimeoutSeconds;
    int rwSeconds = kDefaultTimeoutSeconds;
};

bool ParseSeconds(const std::string& text, int& out) {
    if (text.empty() || text.size() > 6) {
        return false;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kMaxTimeoutSeconds) {
        return false;
    }
    out = value;
    return true;
}

// Pairs "key[=]value" closed by "[|]" (the last one may lack it). Unknown
// keys are ignored; a malformed address or time-out is an error.
bool ParseConnectParams(const char* text, ConnectParams& out) {
    std::string rest(text);
    bool haveAddress = false;
    while (!rest.empty()) {
        size_t end = rest.find("[|]");
        std::string pair = rest.substr(0, end);
        rest = end == std::string::npos ? std::string() : rest.substr(end + 3);
        size_t eq = pair.find("[=]");
        if (eq == std::string::npos) {
            if (pair.empty()) {
                continue;
            }
            return false;
        }
        std::string key = pair.substr(0, eq);
        std::string value = pair.substr(eq + 3);
        if (key == "AddrRemote") {
            size_t colon = value.rfind(':');
            if (colon == std::string::npos || colon == 0 || colon > 255) {
                return false;
            }
            out.host = value.substr(0, colon);
            int port = 0;
            std::string portText = value.substr(colon + 1);
            if (portText.empty() || portText.size() > 5) {
                return false;
            }
            for (char c : portText) {
                if (c < '0' || c > '9') {
                    return false;
                }
                port = port * 10 + (c - '0');
            }
            if (port < 1 || port > 65535) {
                return false;
            }
            out.port = port;
            haveAddress = true;
        } else if (key == "TOConnect") {
            if (!ParseSeconds(value, out.connectSeconds)) {
                return false;
            }
        } else if (key == "TORW") {
            if (!ParseSeconds(value, out.rwSeconds)) {
                return false;
            }
        }
    }
    return haveAddress;
}

int ConnectWithTimeout(const ConnectParams& params) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string port = std::to_string(params.port);
    if (getaddrinfo(params.host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr) {
        return -1;
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    freeaddrinfo(found);

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (rc != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    if (rc != 0) {
        pollfd p{fd, POLLOUT, 0};
        int ready;
        do {
            ready = ::poll(&p, 1, params.connectSeconds * 1000);
        } while (ready < 0 && errno == EINTR);
        int error = 0;
        socklen_t len = sizeof error;
        if (ready != 1 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
            ::close(fd);
            return -1;
        }
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

struct Client {
    std::mutex mutex;  // one call at a time on this connection
    int fd = -1;
    int rwMs = kDefaultTimeoutSeconds * 1000;

    void Close() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }

    // Waits until fd is ready for `events` before the deadline.
    int Wait(short events, Clock::time_point deadline) {
        for (;;) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0) {
                return ORBCS_E_TIMEOUT;
            }
            pollfd p{fd, events, 0};
            int ready = ::poll(&p, 1, static_cast<int>(left));
            if (ready > 0) {
                return ORBCS_OK;
            }
            if (ready < 0 && errno != EINTR) {
                return ORBCS_E_NETWORK;
            }
        }
    }

    int SendAll(const void* bytes, size_t size) {
        auto deadline = Clock::now() + std::chrono::milliseconds(rwMs);
        const char* p = static_cast<const char*>(bytes);
        while (size > 0) {
            ssize_t sent = ::send(fd, p, size, MSG_NOSIGNAL);
            if (sent > 0) {
                p += sent;
                size -= static_cast<size_t>(sent);
                continue;
            }
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                if (int rc = Wait(POLLOUT, deadline); rc != ORBCS_OK) {
                    return rc;
                }
                continue;
            }
            return ORBCS_E_NETWORK;
        }
        return ORBCS_OK;
    }

    // The time-out counts from the last bytes received, so a slow but
    // moving transfer is fine and a stalled one ends after TORW.
    int ReceiveAll(void* bytes, size_t size) {
        char* p = static_cast<char*>(bytes);
        auto deadline = Clock::now() + std::chrono::milliseconds(rwMs);
        while (size > 0) {
            ssize_t got = ::recv(fd, p, size, 0);
            if (got > 0) {
                p += got;
                size -= static_cast<size_t>(got);
                deadline = Clock::now() + std::chrono::milliseconds(rwMs);
                continue;
            }
            if (got == 0) {
                return ORBCS_E_NETWORK;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                if (int rc = Wait(POLLIN, deadline); rc != ORBCS_OK) {
                    return rc;
                }
                continue;
            }
            return ORBCS_E_NETWORK;
        }
        return ORBCS_OK;
    }

    // Sends one request and reads the reply's header. Any failure closes
    // the connection: the stream is no longer in step.
    int Exchange(uint16_t type, const std::string& body, Header& reply) {
        if (fd < 0) {
            return ORBCS_E_NOT_CONNECTED;
        }
        std::string frame(kHeaderSize, '\0');
        Header h;
        h.type = type;
        h.length = static_cast<uint32_t>(body.size());
        EncodeHeader(h, reinterpret_cast<uint8_t*>(frame.data()));
        frame += body;
        int rc = SendAll(frame.data(), frame.size());
        uint8_t raw[kHeaderSize];
        if (rc == ORBCS_OK) {
            rc = ReceiveAll(raw, sizeof raw);
        }
        if (rc == ORBCS_OK && (!DecodeHeader(raw, reply) || reply.type != (type | kReplyBit))) {
            rc = ORBCS_E_PROTOCOL;
        }
        if (rc == ORBCS_OK && reply.status != kStatusOk) {
            // A refusal carries a short text, read and dropped; the
            // connection stays usable.
            if (reply.length > kMaxErrorBody) {
                rc = ORBCS_E_PROTOCOL;
            } else {
                std::string text(reply.length, '\0');
                rc = ReceiveAll(text.data(), text.size());
                if (rc == ORBCS_OK) {
                    return reply.status == kStatusNotFound ? ORBCS_E_NOT_FOUND : ORBCS_E_REFUSED;
                }
            }
        }
        if (rc != ORBCS_OK) {
            Close();
        }
        return rc;
    }

    // Reads a reply body of exactly `length` bytes into a new block (one
    // more byte holds a NUL).
    int ReceiveBlock(uint32_t length, char** out) {
        char* block = static_cast<char*>(std::malloc(size_t{length} + 1));
        if (block == nullptr) {
            Close();
            return ORBCS_E_NO_MEMORY;
        }
        int rc = ReceiveAll(block, length);
        if (rc != ORBCS_OK) {
            std::free(block);
            Close();
            return rc;
        }
        block[length] = '\0';
        *out = block;
        return ORBCS_OK;
    }
};

Client* AsClient(ORBCS_HANDLE handle) {
    return static_cast<Client*>(handle);
}

int ReadFixedReply(Client& c, const Header& reply, uint8_t* out, uint32_t size) {
    if (reply.length != size) {
        c.Close();
        return ORBCS_E_PROTOCOL;
    }
    int rc = c.ReceiveAll(out, size);
    if (rc != ORBCS_OK) {
        c.Close();
    }
    return rc;
}

bool TextArgument(const char* text, size_t maxLength) {
    return text != nullptr && std::strlen(text) <= maxLength;
}

int QueryCount(ORBCS_HANDLE handle, const char* table, const char* condition, int* count) {
    if (count != nullptr) {
        *count = -1;
    }
    Client* c = AsClient(handle);
    if (c == nullptr || count == nullptr || !TextArgument(condition, kMaxConditionText)) {
        return ORBCS_E_ARGUMENT;
    }
    std::lock_guard lock(c->mutex);
    std::string body = std::string(table) + '\0' + condition + '\0';
    Header reply;
    if (int rc = c->Exchange(kCount, body, reply); rc != ORBCS_OK) {
        return rc;
    }
    uint8_t raw[4];
    if (int rc = ReadFixedReply(*c, reply, raw, 4); rc != ORBCS_OK) {
        return rc;
    }
    int32_t value = static_cast<int32_t>(GetU32(raw));
    if (value < 0) {
        c->Close();
        return ORBCS_E_PROTOCOL;
    }
    *count = value;
    return ORBCS_OK;
}

int QueryData(ORBCS_HANDLE handle, const char* table, const char* condition, const char* fields,
              int offset, int limit, int* found, char** data, int* length) {
    if (found != nullptr) {
        *found = 0;
    }
    if (data != nullptr) {
        *data = nullptr;
    }
    if (length != nullptr) {
        *length = 0;
    }
    Client* c = AsClient(handle);
    if (c == nullptr || found == nullptr || data == nullptr || length == nullptr ||
        !TextArgument(condition, kMaxConditionText) || !TextArgument(fields, kMaxConditionText) ||
        offset < 0 || limit < 0 || limit > kMaxQueryLimit) {
        return ORBCS_E_ARGUMENT;
    }
    std::lock_guard lock(c->mutex);
    std::string body;
    AppendU32(body, static_cast<uint32_t>(offset));
    AppendU32(body, static_cast<uint32_t>(limit));
    body += std::string(table) + '\0' + condition + '\0' + fields + '\0';
    Header reply;
    if (int rc = c->Exchange(kQuery, body, reply); rc != ORBCS_OK) {
        return rc;
    }
    if (reply.length < 4 || reply.length > kMaxQueryBody) {
        c->Close();
        return reply.length < 4 ? ORBCS_E_PROTOCOL : ORBCS_E_TOO_LARGE;
    }
    uint8_t raw[4];
    if (int rc = c->ReceiveAll(raw, 4); rc != ORBCS_OK) {
        c->Close();
        return rc;
    }
    uint32_t number = GetU32(raw);
    if (number > static_cast<uint32_t>(limit)) {
        c->Close();
        return ORBCS_E_PROTOCOL;
    }
    char* block = nullptr;
    if (int rc = c->ReceiveBlock(reply.length - 4, &block); rc != ORBCS_OK) {
        return rc;
    }
    *found = static_cast<int>(number);
    *data = block;
    *length = static_cast<int>(reply.length - 4);
    return ORBCS_OK;
}

}  // namespace

ORBCS_EXPORT int GORBCSClient_Init(const char* programFolder, int /*flags*/) {
    if (programFolder == nullptr) {
        return ORBCS_E_ARGUMENT;
    }
    initialised = true;
    return ORBCS_OK;
}

ORBCS_EXPORT int GORBCSClient_Fini(void) {
    initialised = false;
    return ORBCS_OK;
}

ORBCS_EXPORT int GORBCSClient_Create(ORBCS_HANDLE* handle) {
    if (handle == nullptr) {
        return ORBCS_E_ARGUMENT;
    }
    *handle = nullptr;
    if (!initialised) {
        return ORBCS_E_NOT_INIT;
    }
    Client* c = new (std::nothrow) Client;
    if (c == nullptr) {
        return ORBCS_E_NO_MEMORY;
    }
    *handle = c;
    return ORBCS_OK;
}

ORBCS_EXPORT int GORBCSClient_Destroy(ORBCS_HANDLE handle) {
    Client* c = AsClient(handle);
    if (c == nullptr) {
        return ORBCS_E_ARGUMENT;
    }
    {
        std::lock_guard lock(c->mutex);
        c->Close();
    }
    delete c;
    return ORBCS_OK;
}

ORBCS_EXPORT int GORBCSClient_Connect(ORBCS_HANDLE handle, const char* param, const char* user,
                                      const char* password, const char* cameraId) {
    Client* c = AsClient(handle);
    ConnectParams params;
    if (c == nullptr || param == nullptr || !ParseConnectParams(param, params) ||
        !TextArgument(user, kMaxLoginText) || !TextArgument(password, kMaxLoginText) ||
        !TextArgument(cameraId, kMaxLoginText)) {
        return ORBCS_E_ARGUMENT;
    }
    std::lock_guard lock(c->mutex);
    c->Close();
    c->rwMs = params.rwSeconds * 1000;
    c->fd = ConnectWithTimeout(params);
    if (c->fd < 0) {
        return ORBCS_E_CONNECT;
    }
    std::string body = std::string(user) + '\0' + password + '\0' + cameraId + '\0';
    Header reply;
    int rc = c->Exchange(kHello, body, reply);
    if (rc == ORBCS_OK && reply.length != 0) {
        rc = ORBCS_E_PROTOCOL;
    }
    if (rc != ORBCS_OK) {
        c->Close();
    }
    return rc;
}

ORBCS_EXPORT int GORBCSClient_Disconnect(ORBCS_HANDLE handle) {
    Client* c = AsClient(handle);
    if (c == nullptr) {
        return ORBCS_E_ARGUMENT;
    }
    std::lock_guard lock(c->mutex);
    if (c->fd >= 0) {
        // A polite goodbye; the server closes on it. Not waited for.
        uint8_t raw[kHeaderSize];
        Header h;
        h.type = kBye;
        EncodeHeader(h, raw);
        ::send(c->fd, raw, sizeof raw, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    c->Close();
    return ORBCS_OK;
}

ORBCS_EXPORT int GORBCSClient_IsConnect(ORBCS_HANDLE handle) {
    Client* c = AsClient(handle);
    if (c == nullptr) {
        return 0;
    }
    std::lock_guard lock(c->mutex);
    return c->fd >= 0 ? 1 : 0;
}

ORBCS_EXPORT int GORBCSClient_Query_Count_Video(ORBCS_HANDLE handle, const char* condition,
                                                int* count) {
    return QueryCount(handle, "video", condition, count);
}

ORBCS_EXPORT int GORBCSClient_Query_Data_Video(ORBCS_HANDLE handle, const char* condition,
                                               const char* fields, int offset, int limit,
                                               int* found, char** data, int* length) {
    return QueryData(handle, "video", condition, fields, offset, limit, found, data, length);
}

ORBCS_EXPORT int GORBCSClient_Query_Count_Event(ORBCS_HANDLE handle, const char* condition,
                                                int* count) {
    return QueryCount(handle, "event", condition, count);
}

ORBCS_EXPORT int GORBCSClient_Query_Data_Event(ORBCS_HANDLE handle, const char* condition,
                                               const char* fields, int offset, int limit,
                                               int* found, char** data, int* length) {
    return QueryData(handle, "event", condition, fields, offset, limit, found, data, length);
}

ORBCS_EXPORT int GORBCSClient_Download_Info_Video(ORBCS_HANDLE handle, int videoTime, int videoType,
                                                  int* info1, int* info2, int* info3) {
    Client* c = AsClient(handle);
    if (c == nullptr || info1 == nullptr || info2 == nullptr || info3 == nullptr) {
        return ORBCS_E_ARGUMENT;
    }
    *info1 = *info2 = *info3 = 0;
    std::lock_guard lock(c->mutex);
    std::string body;
    AppendU32(body, static_cast<uint32_t>(videoTime));
    AppendU32(body, static_cast<uint32_t>(videoType));
    Header reply;
    if (int rc = c->Exchange(kInfo, body, reply); rc != ORBCS_OK) {
        return rc;
    }
    uint8_t raw[12];
    if (int rc = ReadFixedReply(*c, reply, raw, 12); rc != ORBCS_OK) {
        return rc;
    }
    uint32_t size = GetU32(raw);
    if (size > kMaxFileBytes) {
        return ORBCS_E_TOO_LARGE;
    }
    *info1 = static_cast<int>(size);
    *info2 = static_cast<int>(GetU32(raw + 4));
    *info3 = static_cast<int>(GetU32(raw + 8));
    return ORBCS_OK;
}

ORBCS_EXPORT int GORBCSClient_Download_Data_Video(ORBCS_HANDLE handle, int token, int videoTime,
                                                  int videoType, int offset, int size, int* unused,
                                                  char** data, int* length) {
    Client* c = AsClient(handle);
    if (data != nullptr) {
        *data = nullptr;
    }
    if (length != nullptr) {
        *length = 0;
    }
    if (unused != nullptr) {
        *unused = 0;
    }
    if (c == nullptr || data == nullptr || length == nullptr || offset < 0 || size < 0 ||
        offset > size || static_cast<uint32_t>(size) > kMaxFileBytes) {
        return ORBCS_E_ARGUMENT;
    }
    std::lock_guard lock(c->mutex);
    std::string body;
    AppendU32(body, static_cast<uint32_t>(token));
    AppendU32(body, static_cast<uint32_t>(videoTime));
    AppendU32(body, static_cast<uint32_t>(videoType));
    AppendU32(body, static_cast<uint32_t>(offset));
    AppendU32(body, static_cast<uint32_t>(size));
    Header reply;
    if (int rc = c->Exchange(kData, body, reply); rc != ORBCS_OK) {
        return rc;
    }
    uint32_t expected = static_cast<uint32_t>(size - offset);
    if (reply.length != expected) {
        // More than declared is never read; less means the file changed or
        // the server lies. Either way the stream is given up.
        c->Close();
        return reply.length > expected ? ORBCS_E_TOO_LARGE : ORBCS_E_SIZE_MISMATCH;
    }
    char* block = nullptr;
    if (int rc = c->ReceiveBlock(reply.length, &block); rc != ORBCS_OK) {
        return rc;
    }
    *data = block;
    *length = static_cast<int>(reply.length);
    return ORBCS_OK;
}

ORBCS_EXPORT int GORBCSlient_Release_Data(ORBCS_HANDLE /*handle*/, char* data) {
    std::free(data);
    return ORBCS_OK;
}
