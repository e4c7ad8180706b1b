#include "sim/camera/SimLanResponder.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cstring>

#include "platform/Socket.h"
#include "platform/Text.h"
#include "sim/camera/SimCamera.h"

namespace orbisight::sim {
namespace {

constexpr size_t kDatagramBytes = sizeof(DevInfoBlock);
constexpr size_t kExtendedOffset = DevInfoExt::kOffsetInLanAnswer;
constexpr int kSliceMs = 100;

bool IsLoopback(const std::string& text, in_addr& out) {
    return inet_pton(AF_INET, text.c_str(), &out) == 1 && (ntohl(out.s_addr) >> 24) == 127;
}

}  // namespace

SimLanResponder::SimLanResponder(SimCamera& camera, SimLanConfig config)
    : camera_(camera), config_(std::move(config)) {}

SimLanResponder::~SimLanResponder() {
    Stop();
}

bool SimLanResponder::Start() {
    in_addr address{};
    if (!IsLoopback(config_.address, address)) {
        return false;
    }
    int socket = OpenDatagramListener(config_.searchPort, true);
    if (socket < 0) {
        return false;
    }
    std::string id = camera_.Id();
    thread_.Start("sim" + (id.size() > 4 ? id.substr(id.size() - 4) : id) + "/lan",
                  [this, socket](AutoResetEvent& stop) { Run(stop, socket); });
    return true;
}

void SimLanResponder::Stop() {
    thread_.Stop(2000);
}

void SimLanResponder::Run(AutoResetEvent& stop, int socket) {
    uint8_t buffer[kDatagramBytes + 1];
    while (!stop.Wait(0)) {
        if (WaitReadable(socket, kSliceMs) != 1) {
            continue;
        }
        ssize_t size = recv(socket, buffer, sizeof buffer, MSG_TRUNC | MSG_DONTWAIT);
        if (size >= 0) {
            Handle(buffer, static_cast<size_t>(size));
        }
    }
    CloseSocket(socket);
}

void SimLanResponder::Handle(const uint8_t* data, size_t size) {
    if (size != kDatagramBytes) {
        camera_.ReportViolation("LAN datagram of " + std::to_string(size) + " bytes (not " +
                                std::to_string(kDatagramBytes) + ")");
        return;
    }
    DevInfoBlock block;
    std::memcpy(&block, data, sizeof block);
    switch (block.code) {
        case DevInfoBlock::kCodeSearch:
            searches_.fetch_add(1);
            Answer(camera_.State().Parameters());
            return;
        case DevInfoBlock::kCodeSet:
        case DevInfoBlock::kCodeSetExtended:
            break;
        default:
            return;  // answers of other cameras, the client's "3G" replies
    }
    if (!EqualsNoCase(block.DeviceId(), camera_.Id())) {
        return;  // a set for another camera
    }
    if (block.CommandName() != "VidxSetInfo") {
        camera_.ReportViolation("LAN set with command name \"" + std::string(block.CommandName()) +
                                "\"");
        return;
    }
    if (FieldText(block.deviceName).size() > DevInfoBlock::kMaxDeviceNameBytes) {
        camera_.ReportViolation("LAN set with a device name over 18 bytes");
        return;
    }
    sets_.fetch_add(1);
    if (block.code == DevInfoBlock::kCodeSetExtended) {
        DevInfoExt ext;
        std::memcpy(&ext, data + kExtendedOffset, sizeof ext);
        camera_.State().StoreExtended(ext);
        return;
    }
    std::string before(camera_.State().Parameters().WiredIp());
    SimCameraState::Restart restart = camera_.State().StoreParameters(block);
    std::string after(camera_.State().Parameters().WiredIp());
    in_addr moved{};
    if (after != before && IsLoopback(after, moved)) {
        camera_.MoveLanSide(after);
    }
    if (restart != SimCameraState::Restart::kNone) {
        // A reboot or reset: the camera's clients lose their connections.
        camera_.DropConnections();
    }
}

void SimLanResponder::Answer(const DevInfoBlock& parameters) {
    // Answers come from the camera's wired address when that is one of this
    // machine's (loopback) addresses, else from its configured one.
    in_addr source{};
    if (!IsLoopback(std::string(FieldText(parameters.wiredIp)), source)) {
        IsLoopback(config_.address, source);
    }
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return;
    }
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = source;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(config_.answerPort));
    target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
        DevInfoBlock basic = parameters;
        basic.code = DevInfoBlock::kCodeBasicAnswer;
        basic.SetCommandName("VidxGet");
        sendto(s, &basic, sizeof basic, 0, reinterpret_cast<sockaddr*>(&target), sizeof target);
        DevInfoBlock extended = basic;
        extended.code = DevInfoBlock::kCodeExtendedAnswer;
        DevInfoExt ext = camera_.State().Extended();
        std::memcpy(reinterpret_cast<uint8_t*>(&extended) + kExtendedOffset, &ext, sizeof ext);
        sendto(s, &extended, sizeof extended, 0, reinterpret_cast<sockaddr*>(&target),
               sizeof target);
    }
    CloseSocket(s);
}

}  // namespace orbisight::sim
