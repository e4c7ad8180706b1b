#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orbisight::test {

// A scripted camera for channel tests: accepts one connection at a time on
// 127.0.0.1 (an ephemeral port), answers logins with 8194 "Ret" "1" (or what
// the test says), records every message it receives and sends what the test
// asks.
class FakeCamera {
  public:
    struct Received {
        int type = 0;
        std::vector<uint8_t> bytes;  // the whole message
        std::string Field(const std::string& name) const;
        bool Has(const std::string& name) const;
    };

    explicit FakeCamera(const char* host = "127.0.0.1");
    ~FakeCamera();

    int Port() const { return port_; }
    bool Listening() const { return listener_ >= 0; }

    // The login reply's "Ret"; empty: no "Ret" at all; "silent": no reply.
    void SetLoginRet(std::string ret) {
        std::lock_guard lock(mutex_);
        loginRet_ = std::move(ret);
    }

    // Waits for the next message of the given type (0: any).
    bool WaitFor(int type, Received& out, int timeoutMs);
    // Waits until `count` logins have been answered.
    bool WaitLogins(int count, int timeoutMs);
    std::vector<Received> Messages();
    int Logins() const { return logins_.load(); }
    int Accepted() const { return accepted_.load(); }

    // Sends raw bytes / a message on the current connection.
    bool SendRaw(const std::vector<uint8_t>& bytes);
    // Closes the current connection.
    void DropConnection();
    // false: stop reading what the client sends (a stalled camera: the
    // socket's buffers fill up and the client's sends block); true: read on.
    void SetReading(bool on) { reading_.store(on); }

  private:
    void Run();
    void Serve(int client);

    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> reading_{true};
    std::atomic<int> client_{-1};
    std::atomic<int> logins_{0};
    std::atomic<int> accepted_{0};
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Received> pending_;  // protected by mutex_
    std::vector<Received> all_;     // protected by mutex_
    std::string loginRet_ = "1";    // protected by mutex_
};

// A media message (type 9) with "Ret" "1" (unless ret is null) and "Data".
std::vector<uint8_t> MediaMessage(const std::vector<uint8_t>& data, const char* ret = "1");
// Any message: fields given as name/value pairs, in order.
std::vector<uint8_t> Message(int type,
                             const std::vector<std::pair<std::string, std::string>>& fields);

}  // namespace orbisight::test
