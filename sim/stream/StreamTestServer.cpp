#include "sim/stream/StreamTestServer.h"

#include <chrono>

#include "device/CHalvexProtocolAX.h"
#include "platform/Socket.h"
#include "platform/WorkerThread.h"
#include "sim/stream/SimStreamCamera.h"

namespace orbisight::sim {

class StreamTestServer::Connection : public SimConnection, public SimTcpServer::Connection {
  public:
    Connection(StreamTestServer& server, int socket) : server_(server), socket_(socket) {
        thread_ = std::thread([this] {
            SetCurrentThreadName("sim/conn");
            Serve();
        });
    }
    ~Connection() override {
        Drop();
        if (thread_.joinable()) {
            thread_.join();
        }
        CloseSocket(socket_);
    }

    bool Send(CHalvexProtocolAX& message) override {
        return open_.load() && SendMessage(socket_, message, 1000) == message.TotalLength();
    }
    bool SendRaw(const uint8_t* bytes, size_t size) override {
        return open_.load() &&
               SendAll(2000, static_cast<int>(size), socket_, bytes) == static_cast<int>(size);
    }
    void Drop() override {
        open_.store(false);
        ShutdownSocket(socket_);
    }
    bool Open() const override { return open_.load(); }
    bool Finished() const override { return finished_.load(); }

  private:
    void Serve() {
        auto buffer = std::make_unique<uint8_t[]>(kBufferSize);
        std::unique_ptr<SimMediaSession> session;
        while (open_.load()) {
            CHalvexProtocolAX message;
            // A client quiet for a minute is gone (keep-alives come every 10 s).
            if (ReceiveMessage(socket_, 60000, 10000, kBufferSize - 16, buffer.get(), kBufferSize,
                               message) != ReceiveResult::kOk) {
                break;
            }
            if (message.Type() == msgtype::kLogin) {
                // A busy camera answers late.
                for (int waited = 0; waited < server_.loginDelayMs_ && open_.load(); waited += 20) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
                bool ok = Matches(message, "UserName", server_.user_) &&
                          Matches(message, "Password", server_.password_) &&
                          Matches(message, "DeviceSerial", server_.id_);
                CHalvexProtocolAX reply;
                reply.SetType(msgtype::kLoginReply);
                reply.AddField("Ret", ok ? "1" : "0");
                if (!ok) {
                    reply.AddField("ErrorInfo", "Wrong user name, password or device ID");
                }
                Send(reply);
                if (ok && !session && server_.media_) {
                    server_.logins_.fetch_add(1);
                    session = server_.media_->OpenSession(*this);
                }
                continue;
            }
            if (message.Type() == msgtype::kKeepAlive || !session) {
                continue;
            }
            session->Handle(message);
        }
        if (session) {
            session->Stop();
        }
        open_.store(false);
        ShutdownSocket(socket_);
        finished_.store(true);
    }

    static bool Matches(const CHalvexProtocolAX& message, const char* name,
                        const std::string& expected) {
        const char* text = message.FindText(name);
        return text != nullptr && expected == text;
    }

    static constexpr size_t kBufferSize = 1 << 20;
    StreamTestServer& server_;
    int socket_;
    std::atomic<bool> open_{true};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

StreamTestServer::StreamTestServer(const nlohmann::json& camera)
    : config_(camera), media_(CreateSimCameraMedia(camera)) {
    user_ = camera.value("user", "admin");
    password_ = camera.value("password", "admin");
    id_ = camera.value("id", "");
    loginDelayMs_ = camera.value("login_delay_ms", 0);
}

StreamTestServer::~StreamTestServer() {
    Stop();
}

SimStreamCamera* StreamTestServer::Camera() {
    return dynamic_cast<SimStreamCamera*>(media_.get());
}

bool StreamTestServer::Start(int port) {
    return server_.Start(port, "sim/accept",
                         [this](int socket) -> std::unique_ptr<SimTcpServer::Connection> {
                             return std::make_unique<Connection>(*this, socket);
                         });
}

void StreamTestServer::DropConnections() {
    server_.DropConnections();
}

void StreamTestServer::Stop() {
    server_.Stop();
}

}  // namespace orbisight::sim
