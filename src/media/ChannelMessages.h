#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace orbisight {

class CHalvexProtocolAX;

// The device messages a live channel sends, built into a fresh message.
namespace channelmsg {

// Login (8193): "UserName", "Password", "DeviceSerial".
void BuildLogin(CHalvexProtocolAX& message, std::string_view user, std::string_view password,
                std::string_view deviceId);

// Keep-alive (8195), no fields.
void BuildKeepAlive(CHalvexProtocolAX& message);

// Which stream a command asks for.
struct StreamChoice {
    bool remote = false;         // the connection goes to the "ddns://" address
    bool localCamera = false;    // the camera is in the local list (local mode 2)
    bool localBigStream = true;  // the "Local big stream" setting
    // The stream the pane's size asks for (0 main, 1 sub); set, it takes the
    // place of the local camera's rule.
    std::optional<int> paneStream;
};

// Stream command (8): "Command" "Start"/"Stop", "Type" type, then "StreamID":
// "1" on a remote connection; for a local camera "0" with the big-stream
// setting on, "1" with it off; a name already added is not added again, so
// the first wins. With a pane stream, "StreamID" is that stream's instead,
// for any camera, except on the remote connection, which keeps its "1" (and
// then returns 1 for a local camera too). Returns the value of the last attempted addition (the
// channel's StreamID flag), or nullopt when none was attempted.
std::optional<int> BuildStreamCommand(CHalvexProtocolAX& message, bool start, std::string_view type,
                                      const StreamChoice& choice);

// Control request (16) for SendControl(code); alertOn is the alert flag
// (already flipped by the caller for 101).
void BuildControl(CHalvexProtocolAX& message, int code, bool alertOn);

// Whether code is a stream quality request (low byte 103).
inline bool IsQualityCode(int code) {
    return (code & 0xff) == 103;
}

// Point request (16): "Command_Param" 14, "X_Axis", "Y_Axis".
void BuildPointPtz(CHalvexProtocolAX& message, int x, int y);

// Talk start (16): "Command_Param" 3001, "Wait" 1.
void BuildTalkStart(CHalvexProtocolAX& message);

// Talk audio (16): "Command_Param" 3000, "audiodata" = one encoded frame.
void BuildTalkAudio(CHalvexProtocolAX& message, const uint8_t* frame, size_t size);

}  // namespace channelmsg
}  // namespace orbisight
