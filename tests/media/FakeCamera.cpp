#include "FakeCamera.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "device/CHalvexProtocolAX.h"
#include "platform/Socket.h"

namespace orbisight::test {

std::string FakeCamera::Received::Field(const std::string& name) const {
    CHalvexProtocolAX message;
    message.Parse(bytes.data(), bytes.size());
    const char* text = message.FindText(name);
    return text ? text : "";
}

bool FakeCamera::Received::Has(const std::string& name) const {
    CHalvexProtocolAX message;
    message.Parse(bytes.data(), bytes.size());
    return message.FindField(name) != nullptr;
}

FakeCamera::FakeCamera(const char* host) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, host, &address.sin_addr);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0) {
        close(s);
        return;
    }
    listener_ = s;
    port_ = LocalPort(s);
    thread_ = std::thread([this] { Run(); });
}

FakeCamera::~FakeCamera() {
    stopping_.store(true);
    if (listener_ >= 0) {
        shutdown(listener_, SHUT_RDWR);
    }
    int client = client_.load();
    if (client >= 0) {
        shutdown(client, SHUT_RDWR);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listener_ >= 0) {
        close(listener_);
    }
}

void FakeCamera::Run() {
    while (!stopping_.load()) {
        int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (stopping_.load()) {
                return;
            }
            continue;
        }
        accepted_.fetch_add(1);
        client_.store(client);
        Serve(client);
        client_.store(-1);
        close(client);
    }
}

void FakeCamera::Serve(int client) {
    std::vector<uint8_t> buffer(4 << 20);
    while (!stopping_.load()) {
        while (!reading_.load() && !stopping_.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        CHalvexProtocolAX message;
        if (ReceiveMessage(client, 30000, 10000, static_cast<int>(buffer.size()) - 16,
                           buffer.data(), buffer.size(), message) != ReceiveResult::kOk) {
            return;
        }
        Received received;
        received.type = message.Type();
        int body = message.ParsedBodyLength();
        received.bytes.assign(buffer.begin(), buffer.begin() + 14 + body);
        std::string ret;
        {
            std::lock_guard lock(mutex_);
            pending_.push_back(received);
            all_.push_back(received);
            ret = loginRet_;
        }
        cv_.notify_all();
        if (received.type == msgtype::kLogin && ret != "silent") {
            CHalvexProtocolAX reply;
            reply.SetType(msgtype::kLoginReply);
            if (!ret.empty()) {
                reply.AddField("Ret", ret.c_str());
            }
            SendMessage(client, reply);
            logins_.fetch_add(1);
            cv_.notify_all();
        }
    }
}

bool FakeCamera::WaitFor(int type, Received& out, int timeoutMs) {
    std::unique_lock lock(mutex_);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            if (type == 0 || it->type == type) {
                out = *it;
                pending_.erase(pending_.begin(), it + 1);
                return true;
            }
        }
        if (cv_.wait_until(lock, deadline) == std::cv_status::timeout) {
            return false;
        }
    }
}

bool FakeCamera::WaitLogins(int count, int timeoutMs) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return logins_.load() >= count; });
}

std::vector<FakeCamera::Received> FakeCamera::Messages() {
    std::lock_guard lock(mutex_);
    return all_;
}

bool FakeCamera::SendRaw(const std::vector<uint8_t>& bytes) {
    int client = client_.load();
    return client >= 0 && SendAll(2000, static_cast<int>(bytes.size()), client, bytes.data()) ==
                              static_cast<int>(bytes.size());
}

void FakeCamera::DropConnection() {
    int client = client_.load();
    if (client >= 0) {
        shutdown(client, SHUT_RDWR);
    }
}

std::vector<uint8_t> MediaMessage(const std::vector<uint8_t>& data, const char* ret) {
    CHalvexProtocolAX message;
    message.SetType(msgtype::kMedia);
    if (ret != nullptr) {
        message.AddField("Ret", ret);
    }
    message.AddField("Data", data.data(), 4, static_cast<int>(data.size()));
    const uint8_t* bytes = message.Serialize();
    return {bytes, bytes + message.TotalLength()};
}

std::vector<uint8_t> Message(int type,
                             const std::vector<std::pair<std::string, std::string>>& fields) {
    CHalvexProtocolAX message;
    message.SetType(type);
    for (const auto& [name, value] : fields) {
        message.AddField(name.c_str(), value.c_str());
    }
    const uint8_t* bytes = message.Serialize();
    return {bytes, bytes + message.TotalLength()};
}

}  // namespace orbisight::test
