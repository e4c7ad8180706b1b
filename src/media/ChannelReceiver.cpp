#include "media/ChannelReceiver.h"

#include <cstring>
#include <optional>

#include "account/DeviceDirectory.h"
#include "device/CHalvexProtocolAX.h"
#include "media/AddressList.h"
#include "media/ChannelMessages.h"
#include "media/ChannelRecord.h"
#include "media/LiveLink.h"
#include "platform/Text.h"

namespace orbisight {

ChannelReceiver::ChannelReceiver(LiveLink& link, ChannelRecord& record,
                                 const DeviceDirectory* directory, int offlineRetryMs,
                                 const std::atomic<bool>& stopping, Host& host)
    : link_(link),
      record_(record),
      directory_(directory),
      offlineRetryMs_(offlineRetryMs),
      stopping_(stopping),
      host_(host) {}

void ChannelReceiver::Start(const std::string& name) {
    receiveThread_.Start(
        name + "/recv", [this](AutoResetEvent& e) { ReceiveLoop(e); }, ThreadPriority::kHighest);
    keepAliveThread_.Start(name + "/alive", [this](AutoResetEvent& e) { KeepAliveLoop(e); });
}

void ChannelReceiver::SignalStop() {
    receiveThread_.SignalStop();
    keepAliveThread_.SignalStop();
}

void ChannelReceiver::Join(int waitMs) {
    receiveThread_.Join(waitMs);
    keepAliveThread_.Join(waitMs);
}

int ChannelReceiver::ConnectAndLogin() {
    std::optional<ChannelRecord::Login> login = record_.LoginFields();
    if (!login) {
        return 4;
    }
    if (!link_.Connect(!login->local, &stopping_)) {
        return 0;
    }
    host_.OnNewConnection();
    CHalvexProtocolAX message;
    channelmsg::BuildLogin(message, login->user, login->password, login->id);
    link_.Send(message);
    if (ReceiveOne() == ReadOutcome::kMessage) {
        loggedIn_.store(true);
        return 1;
    }
    link_.CloseSocket();
    loggedIn_.store(false);
    return 2;
}

ChannelReceiver::ReadOutcome ChannelReceiver::ReceiveOne() {
    CHalvexProtocolAX message;
    switch (link_.Receive(message)) {
        case LiveLink::Received::kMessage:
            Dispatch(message);
            return ReadOutcome::kMessage;
        case LiveLink::Received::kSkipped:
            overlong_.fetch_add(1);
            return ReadOutcome::kSkipped;
        case LiveLink::Received::kFailed:
            break;
    }
    failures_.fetch_add(1);
    return ReadOutcome::kFailed;
}

void ChannelReceiver::Dispatch(CHalvexProtocolAX& message) {
    if (stopping_.load()) {
        return;
    }
    if (!link_.Remote()) {
        const char* ret = message.FindText("Ret");
        if (ret == nullptr || !EqualsNoCase(ret, "1")) {
            return;
        }
    }
    switch (message.Type()) {
        case msgtype::kMedia: {
            const Field* data = message.FindField("Data");
            if (data != nullptr && data->valueLength > 0) {
                host_.OnMedia(data->Bytes(), static_cast<size_t>(data->valueLength));
            }
            return;
        }
        case msgtype::kReply: {
            const char* alert = message.FindText("RetAlert");
            if (alert == nullptr) {
                return;
            }
            if (std::strcmp(alert, "On") == 0) {
                host_.OnAlert(true);
            } else if (std::strcmp(alert, "Off") == 0 || std::strcmp(alert, "Fail") == 0) {
                host_.OnAlert(false);
            }
            return;
        }
        case msgtype::kLoginReply:
            host_.OnLoggedIn();
            return;
        default:
            return;
    }
}

bool ChannelReceiver::RefreshAddresses() {
    if (directory_ == nullptr) {
        return false;
    }
    std::string id = record_.Id();
    if (id.empty()) {
        return false;
    }
    std::optional<std::string> current = directory_->FindAddressList(id, record_.Local());
    if (!current || *current == record_.Url()) {
        return false;
    }
    bool peerAllowed = host_.PeerAllowed();
    ChannelAddresses addresses = ParseAddressList(*current, peerAllowed);
    if (!peerAllowed) {
        addresses.peerId = link_.Addresses().peerId;
    }
    link_.SetAddresses(addresses);
    record_.SetUrl(*current);
    return true;
}

void ChannelReceiver::ReceiveLoop(AutoResetEvent& stop) {
    failures_.store(0);
    int offlineWaitMs = 0;
    while (!stop.TryConsume() && !stopping_.load()) {
        if (!link_.IsOpen()) {
            failures_.fetch_add(1);
        } else if (ReceiveOne() != ReadOutcome::kFailed) {
            // An over-long message was read to its end and thrown away: the
            // connection is still in step, so it is not a failure.
            continue;
        }
        if (stopping_.load() || stop.Wait(kReconnectPauseMs)) {
            break;
        }
        if (record_.OfflineServerCamera() && offlineWaitMs < offlineRetryMs_) {
            // Wait for the camera to come back on-line rather than knock
            // every second.
            offlineWaitMs += 2 * kReconnectPauseMs;
            if (stop.Wait(kReconnectPauseMs)) {
                break;
            }
            continue;
        }
        offlineWaitMs = 0;
        RefreshAddresses();
        reconnectAttempts_.fetch_add(1);
        int result = ConnectAndLogin();
        if (result == 1) {
            reconnects_.fetch_add(1);
        }
        if (!stopping_.load()) {
            host_.OnReconnected(result == 1);
        }
    }
}

void ChannelReceiver::KeepAliveLoop(AutoResetEvent& stop) {
    while (!stop.Wait(kKeepAliveIntervalMs)) {
        if (stopping_.load()) {
            break;
        }
        if (link_.IsOpen()) {
            CHalvexProtocolAX message;
            channelmsg::BuildKeepAlive(message);
            link_.Send(message);
        }
    }
}

}  // namespace orbisight
