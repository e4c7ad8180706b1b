#include "sim/camera/SimWebPage.h"

#include <sys/socket.h>

#include "platform/Socket.h"
#include "sim/camera/SimCamera.h"

namespace orbisight::sim {
namespace {

constexpr int kRequestWaitMs = 2000;
constexpr size_t kMaxRequestBytes = 8192;

std::string HtmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

bool SimWebPage::Start(const std::string& address, int port) {
    return server_.Start(address, port, "simweb", [this](int socket) {
        Serve(socket);
        return std::unique_ptr<SimTcpServer::Connection>();
    });
}

std::string SimWebPage::LastRequestLine() const {
    std::lock_guard lock(mutex_);
    return lastRequestLine_;
}

void SimWebPage::Serve(int socket) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes &&
           WaitReadable(socket, kRequestWaitMs) == 1) {
        ssize_t n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        request.append(buffer, static_cast<size_t>(n));
    }
    {
        std::lock_guard lock(mutex_);
        lastRequestLine_ = request.substr(0, request.find("\r\n"));
    }
    requests_.fetch_add(1);
    DevInfoBlock block = camera_.State().Parameters();
    std::string body = "<!DOCTYPE html>\n<html><head><title>" + HtmlEscape(block.DeviceName()) +
                       "</title></head><body><h1>" + HtmlEscape(block.DeviceName()) +
                       "</h1><p>Device ID " + HtmlEscape(camera_.Id()) + "</p><p>Firmware " +
                       HtmlEscape(block.FirmwareVersion()) + "</p></body></html>\n";
    std::string response =
        "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    SendAll(kRequestWaitMs, static_cast<int>(response.size()), socket, response.data());
    CloseSocket(socket);
}

}  // namespace orbisight::sim
