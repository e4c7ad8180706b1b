#include "lan/LanListener.h"

#include <sys/socket.h>

#include "platform/Debug.h"
#include "platform/Socket.h"

namespace orbisight {
namespace {

// The stop of a listener thread that somehow missed its slice.
constexpr int kStopWaitMs = 1400;

// Frees a notice's record and lets its window take one more.
struct PendingRelease {
    std::shared_ptr<std::atomic<int>> pending;
    void operator()(CamNetParam* record) const {
        std::default_delete<CamNetParam>()(record);
        pending->fetch_sub(1);
    }
};

}  // namespace

LanListener::LanListener(LanPorts ports, std::shared_ptr<LanDeviceList> list)
    : ports_(ports), list_(std::move(list)) {}

LanListener::~LanListener() {
    Stop();
}

bool LanListener::Start() {
    if (thread_.Running()) {
        return true;
    }
    int socket = OpenDatagramListener(ports_.getPort);
    if (socket < 0) {
        return false;
    }
    listenPort_ = LocalPort(socket);
    thread_.Start("lan/listen", [this, socket](AutoResetEvent& stop) { Run(stop, socket); });
    StartLanSearch();
    return true;
}

void LanListener::Stop() {
    if (thread_.Running()) {
        thread_.Stop(kStopWaitMs);
    }
}

int LanListener::StartLanSearch() {
    list_->Clear();
    DevInfoBlock search = lan::BuildSearch();
    return BroadcastDatagram(ports_.setPort, &search, sizeof search);
}

int LanListener::SearchAgain() {
    DevInfoBlock search = lan::BuildSearch();
    return BroadcastDatagram(ports_.fixedSetPort, &search, sizeof search);
}

void LanListener::SetTarget(LanWindow window, NoticeTarget* target) {
    std::lock_guard lock(targetsMutex_);
    slots_[static_cast<int>(window)].target = target;
}

void LanListener::Run(AutoResetEvent& stop, int socket) {
    // One byte more than a datagram: a longer one shows as truncated.
    uint8_t buffer[lan::kDatagramBytes + 1];
    while (!stop.Wait(1)) {
        if (WaitReadable(socket, kReceiveSliceMs) != 1) {
            continue;
        }
        sockaddr_in source{};
        socklen_t sourceSize = sizeof source;
        ssize_t size = recvfrom(socket, buffer, sizeof buffer, MSG_TRUNC | MSG_DONTWAIT,
                                reinterpret_cast<sockaddr*>(&source), &sourceSize);
        if (size < 0) {
            continue;
        }
        HandleDatagram(buffer, static_cast<size_t>(size), lan::DottedAddress(source));
    }
    CloseSocket(socket);
}

void LanListener::HandleDatagram(const void* data, size_t size, std::string_view sender) {
    std::optional<lan::Answer> answer = lan::ParseAnswer(data, size);
    if (!answer) {
        datagramsIgnored_.fetch_add(1);
        return;
    }
    if (answer->kind == lan::AnswerKind::kBasic) {
        DevInfoBlock reply = lan::Build3gReply(answer->block);
        BroadcastDatagram(ports_.fixedSetPort, &reply, sizeof reply);
        // The windows get the answer as it came (address and network type
        // from this sender), the list keeps its record.
        LanDeviceList::BasicResult result = list_->ApplyBasic(answer->block, sender);
        answersTaken_.fetch_add(1);
        if (!result.added) {
            Notify(LanWindow::kSettings, notice::kCommand, kSettingsRefreshCommand, result.record);
        }
        CamNetParam area = lan::RecordFromAnswer(answer->block, sender);
        Notify(LanWindow::kDeviceTree, notice::kLanDeviceChanged, 0, area);
        Notify(LanWindow::kLocalSearch, notice::kLanDeviceFound, 0, area);
        return;
    }
    std::optional<CamNetParam> record = list_->ApplyExtended(answer->block);
    if (!record) {
        DebugOutput("lan: extended answer of " + std::string(answer->block.DeviceId()) +
                    " before its basic answer, dropped");
        datagramsIgnored_.fetch_add(1);
        return;
    }
    answersTaken_.fetch_add(1);
    Notify(LanWindow::kSettings, notice::kCommand, kSettingsRefreshCommand, *record);
    Notify(LanWindow::kDeviceTree, notice::kLanDeviceChanged, 1, *record);
    Notify(LanWindow::kLocalSearch, notice::kLanDeviceFound, 1, *record);
}

void LanListener::Notify(LanWindow window, uint32_t message, uintptr_t wParam,
                         const CamNetParam& record) {
    std::lock_guard lock(targetsMutex_);
    Slot& slot = slots_[static_cast<int>(window)];
    if (slot.target == nullptr) {
        return;
    }
    if (slot.pending->fetch_add(1) >= kMaxPendingNotices) {
        slot.pending->fetch_sub(1);
        noticesDropped_.fetch_add(1);
        return;
    }
    auto owned = std::make_unique<CamNetParam>(record);
    std::shared_ptr<CamNetParam> payload(owned.release(), PendingRelease{slot.pending});
    Notice notice;
    notice.message = message;
    notice.wParam = wParam;
    notice.object = std::move(payload);
    slot.target->Post(std::move(notice));
}

}  // namespace orbisight
