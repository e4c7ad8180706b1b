#include "media/ChannelMessages.h"

#include <string>

#include "device/CHalvexProtocolAX.h"

namespace orbisight::channelmsg {
namespace {

void AddText(CHalvexProtocolAX& message, const char* name, std::string_view value) {
    std::string text(value);
    message.AddField(name, text.c_str());
}

}  // namespace

void BuildLogin(CHalvexProtocolAX& message, std::string_view user, std::string_view password,
                std::string_view deviceId) {
    message.Reset();
    message.SetType(msgtype::kLogin);
    AddText(message, "UserName", user);
    AddText(message, "Password", password);
    AddText(message, "DeviceSerial", deviceId);
}

void BuildKeepAlive(CHalvexProtocolAX& message) {
    message.Reset();
    message.SetType(msgtype::kKeepAlive);
}

std::optional<int> BuildStreamCommand(CHalvexProtocolAX& message, bool start, std::string_view type,
                                      const StreamChoice& choice) {
    message.Reset();
    message.SetType(msgtype::kCommand);
    message.AddField("Command", start ? "Start" : "Stop");
    AddText(message, "Type", type);
    std::optional<int> streamId;
    if (choice.remote) {
        message.AddField("StreamID", "1");
        streamId = 1;
    }
    if (choice.paneStream) {
        if (choice.remote) {
            return streamId;  // the remote address's "1" stays, and the flag says so
        }
        int value = *choice.paneStream == 0 ? 0 : 1;
        message.AddField("StreamID", value == 0 ? "0" : "1");
        return value;
    }
    if (choice.localCamera) {
        int value = choice.localBigStream ? 0 : 1;
        message.AddField("StreamID", value == 0 ? "0" : "1");
        streamId = value;
    }
    return streamId;
}

void BuildControl(CHalvexProtocolAX& message, int code, bool alertOn) {
    message.Reset();
    message.SetType(msgtype::kRequest);
    if (code == 100) {
        message.AddField("Wait", "1");
        message.AddNumberField("Command_Param", 100, 2);
    } else if (code == 101) {
        message.AddField("AlertVal", alertOn ? "On" : "Off");
        message.AddNumberField("Command_Param", 101, 2);
    } else if (IsQualityCode(code)) {
        int level = code >> 8;
        message.AddField("AVQVal", level == 1 ? "Max" : level == 3 ? "Mid" : "Min");
        message.AddNumberField("Command_Param", 103, 2);
    } else {
        message.AddNumberField("Command_Param", code, (code >= 0 && code <= 9) ? 0 : 2);
    }
}

void BuildPointPtz(CHalvexProtocolAX& message, int x, int y) {
    message.Reset();
    message.SetType(msgtype::kRequest);
    message.AddNumberField("Command_Param", 14, 2);
    message.AddNumberField("X_Axis", x);
    message.AddNumberField("Y_Axis", y);
}

void BuildTalkStart(CHalvexProtocolAX& message) {
    message.Reset();
    message.SetType(msgtype::kRequest);
    message.AddNumberField("Command_Param", 3001, 2);
    message.AddField("Wait", "1");
}

void BuildTalkAudio(CHalvexProtocolAX& message, const uint8_t* frame, size_t size) {
    message.Reset();
    message.SetType(msgtype::kRequest);
    message.AddNumberField("Command_Param", 3000, 2);
    if (frame != nullptr && size > 0) {
        message.AddField("audiodata", frame, 9, static_cast<int>(size));
    }
}

}  // namespace orbisight::channelmsg
