#include "sim/cloud/SimCloudConnection.h"

#include <cinttypes>
#include <cstdio>
#include <set>
#include <sstream>
#include <thread>

#include "platform/Socket.h"
#include "records/cloud/CloudWire.h"
#include "sim/cloud/SimCloudServer.h"

namespace orbisight::sim {

using namespace orbisight::cloudwire;

namespace {

constexpr int kSendTimeoutMs = 10000;
// A client that stays silent this long is dropped.
constexpr int kIdleTimeoutMs = 300000;
constexpr size_t kChunk = 64 * 1024;

// "video_time >= A and video_time <= B" exactly (the client's own wording).
bool ParseCondition(const std::string& text, int64_t& start, int64_t& end) {
    long long a = 0;
    long long b = 0;
    if (std::sscanf(text.c_str(), "video_time >= %lld and video_time <= %lld", &a, &b) != 2) {
        return false;
    }
    char again[128];
    std::snprintf(again, sizeof again, "video_time >= %lld and video_time <= %lld", a, b);
    if (text != again) {
        return false;
    }
    start = a;
    end = b;
    return true;
}

bool ParseFields(const std::string& text, const std::set<std::string>& known,
                 std::vector<std::string>& out) {
    std::stringstream in(text);
    std::string field;
    while (std::getline(in, field, ',')) {
        if (known.count(field) == 0) {
            return false;
        }
        out.push_back(field);
    }
    return !out.empty() && text.back() != ',';
}

int32_t ReadI32(const std::string& body, size_t at) {
    return static_cast<int32_t>(GetU32(reinterpret_cast<const uint8_t*>(body.data()) + at));
}

}  // namespace

SimCloudConnection::SimCloudConnection(SimCloudServer& server, int socket)
    : server_(server), socket_(socket) {}

SimCloudConnection::~SimCloudConnection() {
    Drop();
    thread_.Join(2000);
}

void SimCloudConnection::Start() {
    thread_.Start("sim/cloud", [this](AutoResetEvent&) { Run(); });
}

void SimCloudConnection::Drop() {
    std::lock_guard lock(socketMutex_);
    open_ = false;
    ShutdownSocket(socket_);
}

bool SimCloudConnection::SendRaw(const void* bytes, size_t size) {
    if (!open_) {
        return false;
    }
    return SendAll(kSendTimeoutMs, static_cast<int>(size), socket_, bytes) ==
           static_cast<int>(size);
}

void SimCloudConnection::Run() {
    for (;;) {
        uint8_t raw[kHeaderSize];
        if (ReceiveExact(kIdleTimeoutMs, socket_, kHeaderSize, raw) != int(kHeaderSize)) {
            break;
        }
        Header h;
        if (!DecodeHeader(raw, h)) {
            server_.ReportViolation("header: bad magic or reserved field (connection closed)");
            break;
        }
        if (h.status != 0) {
            server_.ReportViolation("header: a request with status " + std::to_string(h.status));
        }
        if (h.length > kMaxRequestBody) {
            server_.ReportViolation("header: request body of " + std::to_string(h.length) +
                                    " bytes, the limit is " + std::to_string(kMaxRequestBody) +
                                    " (connection closed)");
            break;
        }
        std::string body(h.length, '\0');
        if (h.length > 0 && ReceiveExact(kIdleTimeoutMs, socket_, static_cast<int>(h.length),
                                         body.data()) != static_cast<int>(h.length)) {
            break;
        }
        if (!Handle(h.type, body) || !open_) {
            break;
        }
    }
    std::lock_guard lock(socketMutex_);
    open_ = false;
    CloseSocket(socket_);
    socket_ = kNoSocket;
}

bool SimCloudConnection::Reply(uint16_t type, int32_t status, const std::string& body) {
    uint8_t raw[kHeaderSize];
    Header h;
    h.type = type | kReplyBit;
    h.status = status;
    h.length = static_cast<uint32_t>(body.size());
    EncodeHeader(h, raw);
    return SendRaw(raw, sizeof raw) && (body.empty() || SendRaw(body.data(), body.size()));
}

bool SimCloudConnection::Refuse(uint16_t type, int32_t status, const std::string& why) {
    if (status == kStatusBadRequest) {
        server_.ReportViolation(why);
    }
    return Reply(type, status, why.substr(0, kMaxErrorBody));
}

bool SimCloudConnection::Handle(uint16_t type, const std::string& body) {
    switch (type) {
        case kHello:
            return HandleHello(body);
        case kBye:
            if (!body.empty()) {
                server_.ReportViolation("bye: a body of " + std::to_string(body.size()) + " bytes");
            }
            return false;
        default:
            break;
    }
    if (cameraId_.empty()) {
        if (type == kCount || type == kQuery || type == kInfo || type == kData) {
            return Refuse(type, kStatusNotLoggedIn, "not logged in");
        }
        server_.ReportViolation("unknown request type " + std::to_string(type) +
                                " (connection closed)");
        return false;
    }
    switch (type) {
        case kCount:
            return HandleCount(body);
        case kQuery:
            return HandleQuery(body);
        case kInfo:
            return HandleInfo(body);
        case kData:
            return HandleData(body);
        default:
            server_.ReportViolation("unknown request type " + std::to_string(type) +
                                    " (connection closed)");
            return false;
    }
}

bool SimCloudConnection::HandleHello(const std::string& body) {
    TextReader reader(body);
    std::string user;
    std::string password;
    std::string camera;
    if (!reader.Next(user, kMaxLoginText) || !reader.Next(password, kMaxLoginText) ||
        !reader.Next(camera, kMaxLoginText) || !reader.AtEnd()) {
        return Refuse(kHello, kStatusBadRequest, "hello: expected three NUL-terminated texts");
    }
    if (camera.empty()) {
        return Refuse(kHello, kStatusBadRequest, "hello: empty camera ID");
    }
    if (!server_.CheckLogin(user, password)) {
        return Refuse(kHello, kStatusLoginRefused, "wrong user name or password");
    }
    cameraId_ = camera;
    return Reply(kHello, kStatusOk, {});
}

bool SimCloudConnection::HandleCount(const std::string& body) {
    TextReader reader(body);
    std::string table;
    std::string condition;
    if (!reader.Next(table, 16) || !reader.Next(condition, kMaxConditionText) || !reader.AtEnd()) {
        return Refuse(kCount, kStatusBadRequest, "count: expected table and condition texts");
    }
    int64_t start = 0;
    int64_t end = 0;
    if (table != "video" && table != "event") {
        return Refuse(kCount, kStatusBadRequest, "count: unknown table \"" + table + "\"");
    }
    if (!ParseCondition(condition, start, end)) {
        return Refuse(kCount, kStatusBadRequest,
                      "count: malformed condition \"" + condition + "\"");
    }
    int32_t count = 0;
    if (table == "video") {
        count = static_cast<int32_t>(server_.Store().Find(cameraId_, start, end).size());
    }
    std::string reply;
    AppendU32(reply, static_cast<uint32_t>(count));
    return Reply(kCount, kStatusOk, reply);
}

bool SimCloudConnection::HandleQuery(const std::string& body) {
    if (body.size() < 8) {
        return Refuse(kQuery, kStatusBadRequest, "query: body shorter than 8 bytes");
    }
    int32_t offset = ReadI32(body, 0);
    int32_t limit = ReadI32(body, 4);
    TextReader reader(std::string_view(body).substr(8));
    std::string table;
    std::string condition;
    std::string fieldText;
    if (!reader.Next(table, 16) || !reader.Next(condition, kMaxConditionText) ||
        !reader.Next(fieldText, kMaxConditionText) || !reader.AtEnd()) {
        return Refuse(kQuery, kStatusBadRequest, "query: expected table, condition and fields");
    }
    if (offset < 0 || limit < 0 || limit > kMaxQueryLimit) {
        return Refuse(kQuery, kStatusBadRequest, "query: offset or limit out of range");
    }
    int64_t start = 0;
    int64_t end = 0;
    if (!ParseCondition(condition, start, end)) {
        return Refuse(kQuery, kStatusBadRequest,
                      "query: malformed condition \"" + condition + "\"");
    }
    std::vector<std::string> fields;
    if (table == "video") {
        static const std::set<std::string> known = {"video_time", "video_type", "video_status",
                                                    "video_size"};
        if (!ParseFields(fieldText, known, fields)) {
            return Refuse(kQuery, kStatusBadRequest, "query: bad field list \"" + fieldText + "\"");
        }
    } else if (table == "event") {
        static const std::set<std::string> known = {"event_time", "event_type"};
        if (!ParseFields(fieldText, known, fields)) {
            return Refuse(kQuery, kStatusBadRequest, "query: bad field list \"" + fieldText + "\"");
        }
        std::string reply;
        AppendU32(reply, 0);
        reply += "<events></events>";
        return Reply(kQuery, kStatusOk, reply);
    } else {
        return Refuse(kQuery, kStatusBadRequest, "query: unknown table \"" + table + "\"");
    }
    auto found = server_.Store().Find(cameraId_, start, end);
    std::string xml = "<videos>";
    uint32_t number = 0;
    for (size_t i = static_cast<size_t>(offset); i < found.size() && number < uint32_t(limit);
         ++i, ++number) {
        const auto& r = found[i];
        xml += "<video>";
        for (const auto& field : fields) {
            long long value = field == "video_time"     ? r.time
                              : field == "video_type"   ? r.type
                              : field == "video_status" ? r.status
                                                        : static_cast<long long>(r.bytes->size());
            xml += "<" + field + ">" + std::to_string(value) + "</" + field + ">";
        }
        xml += "</video>";
    }
    xml += "</videos>";
    std::string reply;
    AppendU32(reply, number);
    reply += xml;
    return Reply(kQuery, kStatusOk, reply);
}

bool SimCloudConnection::HandleInfo(const std::string& body) {
    if (body.size() != 8) {
        return Refuse(kInfo, kStatusBadRequest,
                      "info: body of " + std::to_string(body.size()) + " bytes, expected 8");
    }
    SimCloudRecording r;
    if (!server_.Store().Get(cameraId_, ReadI32(body, 0), ReadI32(body, 4), r)) {
        return Refuse(kInfo, kStatusNotFound, "no such recording");
    }
    uint32_t size = static_cast<uint32_t>(r.bytes->size());
    if (server_.Fault() == SimCloudFault::kWrongSize) {
        size += 512;
    }
    std::string reply;
    AppendU32(reply, size);
    AppendU32(reply, static_cast<uint32_t>(r.status));
    AppendU32(reply, static_cast<uint32_t>(r.token));
    return Reply(kInfo, kStatusOk, reply);
}

bool SimCloudConnection::HandleData(const std::string& body) {
    if (body.size() != 20) {
        return Refuse(kData, kStatusBadRequest,
                      "data: body of " + std::to_string(body.size()) + " bytes, expected 20");
    }
    int32_t token = ReadI32(body, 0);
    int32_t time = ReadI32(body, 4);
    int32_t type = ReadI32(body, 8);
    uint32_t offset = static_cast<uint32_t>(ReadI32(body, 12));
    uint32_t size = static_cast<uint32_t>(ReadI32(body, 16));
    SimCloudRecording r;
    if (!server_.Store().Get(cameraId_, time, type, r)) {
        return Refuse(kData, kStatusNotFound, "no such recording");
    }
    if (token != r.token) {
        return Refuse(kData, kStatusBadRequest,
                      "data: token " + std::to_string(token) + " is not the recording's " +
                          std::to_string(r.token));
    }
    uint32_t actual = static_cast<uint32_t>(r.bytes->size());
    SimCloudFault fault = server_.Fault();
    // Under "wrong-size" the client asks for the size it was told; the
    // server sends what it has.
    if (fault != SimCloudFault::kWrongSize && size != actual) {
        return Refuse(
            kData, kStatusBadRequest,
            "data: size " + std::to_string(size) + " is not the file's " + std::to_string(actual));
    }
    if (offset > actual) {
        return Refuse(kData, kStatusBadRequest, "data: offset beyond the file");
    }
    std::string_view part = std::string_view(*r.bytes).substr(offset);
    uint32_t declared = static_cast<uint32_t>(part.size());
    std::string extra;
    if (fault == SimCloudFault::kOversize) {
        extra.assign(4096, '\0');
        declared += 4096;
    }
    uint8_t raw[kHeaderSize];
    Header h;
    h.type = kData | kReplyBit;
    h.length = declared;
    EncodeHeader(h, raw);
    if (!SendRaw(raw, sizeof raw)) {
        return false;
    }
    size_t limit = part.size();
    if (fault == SimCloudFault::kDrop || fault == SimCloudFault::kStall) {
        limit = part.size() / 2;
    }
    for (size_t at = 0; at < limit; at += kChunk) {
        if (!SendRaw(part.data() + at, std::min(kChunk, limit - at))) {
            return false;
        }
    }
    if (fault == SimCloudFault::kDrop) {
        return false;
    }
    if (fault == SimCloudFault::kStall) {
        // Nothing more until the client gives up (or the server stops).
        while (open_) {
            uint8_t byte;
            if (ReceiveExact(kIdleTimeoutMs, socket_, 1, &byte) != 1) {
                break;
            }
        }
        return false;
    }
    return extra.empty() || SendRaw(extra.data(), extra.size());
}

}  // namespace orbisight::sim
