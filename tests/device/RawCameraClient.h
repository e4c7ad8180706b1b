#pragma once

#include <string>
#include <vector>

#include "device/CHalvexProtocolAX.h"
#include "platform/Socket.h"

namespace orbisight::testing {

// A bare client of the camera protocol for simulator tests: sends messages
// (or raw bytes) and reads answers with the production reader.
class RawCameraClient {
  public:
    explicit RawCameraClient(int port) : socket_(ConnectTcp("127.0.0.1", port, 2000)) {}
    ~RawCameraClient() { CloseSocket(socket_); }
    RawCameraClient(const RawCameraClient&) = delete;
    RawCameraClient& operator=(const RawCameraClient&) = delete;

    bool Connected() const { return socket_ >= 0; }
    int Socket() const { return socket_; }

    bool Send(CHalvexProtocolAX& message) {
        return SendMessage(socket_, message) == message.TotalLength();
    }
    bool SendRaw(const std::string& bytes) {
        return SendAll(1000, static_cast<int>(bytes.size()), socket_, bytes.data()) ==
               static_cast<int>(bytes.size());
    }
    ReceiveResult Receive(CHalvexProtocolAX& message, int timeoutMs = 2000, int maxBody = 1572856) {
        return ReceiveMessage(socket_, timeoutMs, timeoutMs, maxBody, buffer_.data(),
                              buffer_.size(), message);
    }
    // The raw 14-byte header of the next message.
    std::string ReceiveHeader(int timeoutMs = 2000) {
        char header[14];
        if (ReceiveExact(timeoutMs, socket_, 14, header) != 14) {
            return {};
        }
        return std::string(header, 14);
    }

    bool Login(const std::string& user, const std::string& password, const std::string& id) {
        CHalvexProtocolAX login;
        login.SetType(msgtype::kLogin);
        login.AddField("UserName", user.c_str());
        login.AddField("Password", password.c_str());
        login.AddField("DeviceSerial", id.c_str());
        return Send(login);
    }
    // Sends a request of type 16 with "Command_Param" code and "Wait" 1.
    bool Request(int code) {
        CHalvexProtocolAX request;
        request.SetType(msgtype::kRequest);
        request.AddNumberField("Command_Param", code);
        request.AddNumberField("Wait", 1);
        return Send(request);
    }

  private:
    int socket_;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(1600000);
};

}  // namespace orbisight::testing
