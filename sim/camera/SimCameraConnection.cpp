#include "sim/camera/SimCameraConnection.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "device/DevInfoBlock.h"
#include "device/DevInfoExt.h"
#include "platform/Socket.h"
#include "platform/Text.h"
#include "sim/camera/SimCamera.h"
#include "sim/camera/SimMessageCheck.h"

namespace orbisight::sim {
namespace {

constexpr int kSendTimeoutMs = 5000;
constexpr size_t kChunkBytes = 64 * 1024;
// Above the command channel's limit of 327678 bytes.
constexpr const char* kOverlongLength = "050000";

void StartReply(CHalvexProtocolAX& message, int replyCode, bool ok) {
    message.SetType(msgtype::kReply);
    message.AddField("Ret", ok ? "1" : "0");
    message.AddNumberField("Command_Param", replyCode);
}

}  // namespace

SimCameraConnection::SimCameraConnection(SimCamera& camera, int socket, std::string threadName)
    : camera_(camera),
      threadName_(std::move(threadName)),
      socket_(socket),
      buffer_(SimMessageCheck::kMaxBody + CHalvexProtocolAX::kHeaderSize + 1) {}

SimCameraConnection::~SimCameraConnection() {
    Stop();
}

void SimCameraConnection::Start() {
    thread_.Start(threadName_, [this](AutoResetEvent& stop) { Run(stop); });
}

void SimCameraConnection::Stop() {
    Drop();
    thread_.Join(2000);
}

void SimCameraConnection::Drop() {
    std::lock_guard lock(socketMutex_);
    open_ = false;
    ShutdownSocket(socket_);
}

void SimCameraConnection::CloseSocket() {
    std::lock_guard lock(socketMutex_);
    open_ = false;
    orbisight::CloseSocket(socket_);
    socket_ = kNoSocket;
}

bool SimCameraConnection::Send(CHalvexProtocolAX& message) {
    // The socket is closed only by this connection's thread, after the media
    // session has stopped, so it stays valid for every caller of Send.
    if (!open_) {
        return false;
    }
    return SendMessage(socket_, message, kSendTimeoutMs) == message.TotalLength();
}

bool SimCameraConnection::SendRaw(const uint8_t* bytes, size_t size) {
    if (!open_) {
        return false;
    }
    return SendAll(kSendTimeoutMs, static_cast<int>(size), socket_, bytes) ==
           static_cast<int>(size);
}

void SimCameraConnection::Run(AutoResetEvent&) {
    for (;;) {
        CHalvexProtocolAX message;
        std::vector<std::string> violations;
        if (!ReadMessage(message, violations)) {
            break;
        }
        for (const auto& violation : violations) {
            camera_.ReportViolation(violation);
        }
        if (camera_.Fault() == SimFaultMode::kStall) {
            continue;  // read everything, answer nothing
        }
        Handle(message, violations);
        if (!open_) {
            break;
        }
    }
    if (session_) {
        session_->Stop();
        session_.reset();
    }
    CloseSocket();
}

bool SimCameraConnection::ReadMessage(CHalvexProtocolAX& message,
                                      std::vector<std::string>& violations) {
    uint8_t* header = buffer_.data();
    // No time-out: a client may stay quiet as long as it likes; Drop()
    // wakes the read.
    if (ReceiveExact(0, socket_, CHalvexProtocolAX::kHeaderSize, header) !=
        CHalvexProtocolAX::kHeaderSize) {
        return false;
    }
    int bodyLength = 0;
    if (!SimMessageCheck::CheckHeader(header, bodyLength, violations)) {
        for (const auto& violation : violations) {
            camera_.ReportViolation(violation + " (connection closed)");
        }
        return false;
    }
    if (bodyLength > SimMessageCheck::kMaxBody) {
        camera_.ReportViolation("header: body length " + std::to_string(bodyLength) +
                                " is beyond any message (connection closed)");
        return false;
    }
    uint8_t* body = header + CHalvexProtocolAX::kHeaderSize;
    if (bodyLength > 0 && ReceiveExact(0, socket_, bodyLength, body) != bodyLength) {
        return false;
    }
    SimMessageCheck::CheckBody(body, static_cast<size_t>(bodyLength), violations);
    size_t total = CHalvexProtocolAX::kHeaderSize + static_cast<size_t>(bodyLength);
    message.Parse(header, total);
    SimMessageCheck::CheckCommand(message, violations);
    return true;
}

void SimCameraConnection::Handle(const CHalvexProtocolAX& message,
                                 const std::vector<std::string>& violations) {
    switch (message.Type()) {
        case msgtype::kLogin:
            HandleLogin(message);
            return;
        case msgtype::kKeepAlive:
            return;  // keeps the connection; no answer
        case msgtype::kCommand:
            if (!loggedIn_) {
                camera_.ReportViolation("stream command before login");
            } else if (session_) {
                session_->Handle(message);
            }
            return;
        case msgtype::kRequest:
            if (!loggedIn_) {
                camera_.ReportViolation("request before login");
                ReplyResult(0, false, "not logged in");
                return;
            }
            HandleRequest(message, violations.empty());
            return;
        default:
            return;  // reported by the check
    }
}

void SimCameraConnection::HandleLogin(const CHalvexProtocolAX& message) {
    auto text = [&](const char* name) {
        const char* value = message.FindText(name);
        return std::string(value ? value : "");
    };
    std::string error =
        camera_.State().CheckLogin(text("UserName"), text("Password"), text("DeviceSerial"));
    CHalvexProtocolAX reply;
    reply.SetType(msgtype::kLoginReply);
    reply.AddField("Ret", error.empty() ? "1" : "0");
    if (!error.empty()) {
        reply.AddField("ErrorInfo", error.c_str());
    }
    Reply(reply);
    if (!error.empty()) {
        // A camera does not serve a client it did not let in.
        Drop();
        return;
    }
    camera_.CountLogin();
    if (camera_.Fault() == SimFaultMode::kCloseAfterLogin) {
        Drop();
        return;
    }
    loggedIn_ = true;
    if (!session_ && camera_.Media() != nullptr) {
        session_ = camera_.Media()->OpenSession(*this);
    }
}

void SimCameraConnection::HandleRequest(const CHalvexProtocolAX& message, bool wellFormed) {
    const char* codeText = message.FindText("Command_Param");
    int code = codeText ? ParseDecimal(codeText) : -1;
    switch (code) {
        case 3300: {
            CHalvexProtocolAX reply;
            StartReply(reply, 3301, true);
            DevInfoBlock block = camera_.State().Parameters();
            reply.AddField("DevInfo", &block, 7, sizeof block);
            Reply(reply);
            return;
        }
        case 3304: {
            CHalvexProtocolAX reply;
            StartReply(reply, 3305, true);
            DevInfoExt ext = camera_.State().Extended();
            reply.AddField("DevInfo", &ext, 7, sizeof ext);
            Reply(reply);
            return;
        }
        case 3302: {
            if (!wellFormed) {
                ReplyResult(3303, false, "bad parameter block");
                return;
            }
            DevInfoBlock block;
            std::memcpy(&block, message.FindField("DevInfo")->Bytes(), sizeof block);
            auto restart = camera_.State().StoreParameters(block);
            ReplyResult(3303, true);
            if (restart != SimCameraState::Restart::kNone) {
                camera_.DropConnections();  // the camera restarts
            }
            return;
        }
        case 3306: {
            if (!wellFormed) {
                ReplyResult(3307, false, "bad extended parameter block");
                return;
            }
            DevInfoExt ext;
            std::memcpy(&ext, message.FindField("DevInfo")->Bytes(), sizeof ext);
            camera_.State().StoreExtended(ext);
            ReplyResult(3307, true);
            return;
        }
        case 3400: {
            CHalvexProtocolAX reply;
            StartReply(reply, 3401, true);
            std::string list = camera_.State().RfList();
            reply.AddField("RfidInfo", list.c_str(), 8, static_cast<int>(list.size()));
            Reply(reply);
            return;
        }
        case 3402: {
            const Field* list = message.FindField("RfidInfo");
            if (list == nullptr) {
                ReplyResult(3403, false, "RfidInfo missing");
                return;
            }
            camera_.State().StoreRfList(std::string(list->Value()));
            ReplyResult(3403, true);
            return;
        }
        case 3100:
            if (!wellFormed) {
                ReplyResult(3101, false, "bad SD request");
                return;
            }
            HandleSd(message);
            return;
        default:
            if (session_ && session_->Handle(message)) {
                return;
            }
            std::fprintf(stderr, "orbisight-sim: camera %s: request %d not handled\n",
                         camera_.Id().c_str(), code);
            return;
    }
}

void SimCameraConnection::HandleSd(const CHalvexProtocolAX& message) {
    int type = ParseDecimal(message.FindText("Type"));
    const SimSdCard& card = camera_.SdCard();
    auto fail = [&](const std::string& why) {
        CHalvexProtocolAX reply;
        StartReply(reply, 3101, false);
        reply.AddNumberField("Type", type);
        reply.AddField("ErrorInfo", why.c_str());
        Reply(reply);
    };
    if (!card.Present()) {
        fail("no SD card");
        return;
    }
    auto text = [&](const char* name) {
        const char* value = message.FindText(name);
        return std::string(value ? value : "");
    };
    CHalvexProtocolAX reply;
    StartReply(reply, 3101, true);
    reply.AddNumberField("Type", type);
    switch (type) {
        case 1:
            reply.AddField("DirList", card.DirListText().c_str());
            Reply(reply);
            return;
        case 2: {
            auto list = card.FileListText(text("DirName"), text("TimeStart"), text("TimeEnd"));
            if (!list) {
                fail("bad directory name");
                return;
            }
            reply.AddField("DirName", text("DirName").c_str());
            reply.AddField("FileList", list->c_str());
            Reply(reply);
            return;
        }
        case 3:
            SendFile(text("FileName"), ParseDecimal(text("nStartPos")),
                     ParseDecimal(text("nOffSet")));
            return;
        case 7: {
            auto list = card.HourDirListText(text("DataHourDirName"));
            if (!list) {
                fail("no such hour directory");
                return;
            }
            reply.AddField("FileList", list->c_str());
            Reply(reply);
            return;
        }
        default:
            fail("unknown SD request type");
            return;
    }
}

void SimCameraConnection::SendFile(const std::string& name, long long start, long long length) {
    auto path = camera_.SdCard().FindRecording(name);
    std::ifstream in;
    if (path) {
        in.open(*path, std::ios::binary);
    }
    if (!in.is_open()) {
        CHalvexProtocolAX reply;
        StartReply(reply, 3101, false);
        reply.AddNumberField("Type", 3);
        reply.AddField("FileName", name.c_str());
        reply.AddField("ErrorInfo", "no such file");
        Reply(reply);
        return;
    }
    // nStartPos / nOffSet of -1 mean the whole file.
    if (start > 0) {
        in.seekg(start);
    }
    long long left = length > 0 ? length : -1;
    std::vector<char> chunk(kChunkBytes);
    while (open_ && in && left != 0) {
        size_t want =
            left > 0 ? static_cast<size_t>(std::min<long long>(left, kChunkBytes)) : kChunkBytes;
        in.read(chunk.data(), static_cast<std::streamsize>(want));
        auto got = static_cast<int>(in.gcount());
        if (got <= 0) {
            break;
        }
        if (left > 0) {
            left -= got;
        }
        CHalvexProtocolAX reply;
        StartReply(reply, 3101, true);
        reply.AddNumberField("Type", 3);
        reply.AddField("FileName", name.c_str());
        reply.AddField("FileData", chunk.data(), 8, got);
        Reply(reply);
    }
    CHalvexProtocolAX done;
    StartReply(done, 3101, true);
    done.AddNumberField("Type", 4);
    done.AddField("FileName", name.c_str());
    Reply(done);
}

void SimCameraConnection::ReplyResult(int replyCode, bool ok, const std::string& errorInfo) {
    CHalvexProtocolAX reply;
    StartReply(reply, replyCode, ok);
    if (!errorInfo.empty()) {
        reply.AddField("ErrorInfo", errorInfo.c_str());
    }
    Reply(reply);
}

void SimCameraConnection::Reply(CHalvexProtocolAX& message) {
    switch (camera_.Fault()) {
        case SimFaultMode::kOverlongHeader: {
            const uint8_t* wire = message.Serialize();
            std::vector<uint8_t> bytes(wire, wire + message.TotalLength());
            std::memcpy(bytes.data() + 8, kOverlongLength, 6);
            SendRaw(bytes.data(), bytes.size());
            return;
        }
        case SimFaultMode::kMalformedFields: {
            const uint8_t* wire = message.Serialize();
            std::vector<uint8_t> bytes(wire, wire + message.TotalLength());
            if (bytes.size() >= CHalvexProtocolAX::kHeaderSize + 8) {
                // The first field's name length is no number: the field list
                // breaks before its first field.
                std::memcpy(bytes.data() + CHalvexProtocolAX::kHeaderSize, "ZZ", 2);
            }
            SendRaw(bytes.data(), bytes.size());
            return;
        }
        default:
            Send(message);
            return;
    }
}

}  // namespace orbisight::sim
