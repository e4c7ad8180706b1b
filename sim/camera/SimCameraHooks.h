#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "device/CHalvexProtocolAX.h"

namespace orbisight::sim {

// One accepted client connection of a simulated camera, as the media side
// sees it. Sends are whole messages under the socket's send lock, so the
// streaming thread and the command side never interleave.
class SimConnection {
  public:
    virtual ~SimConnection() = default;
    virtual bool Send(CHalvexProtocolAX& message) = 0;
    // Raw bytes, for fault modes that break the format on purpose.
    virtual bool SendRaw(const uint8_t* bytes, size_t size) = 0;
    // Closes the connection (the client sees the peer go away).
    virtual void Drop() = 0;
    virtual bool Open() const = 0;
};

// The media side of one connection: streaming and the live controls.
class SimMediaSession {
  public:
    virtual ~SimMediaSession() = default;
    // Offered every message of type 8 (stream commands) and 16 (requests)
    // that the command side does not answer itself. Returns true when the
    // message was handled here.
    virtual bool Handle(const CHalvexProtocolAX& message) = 0;
    // Stops streaming; called before the connection is closed.
    virtual void Stop() = 0;
};

// The media side of one simulated camera, shared by its connections (the
// pre-encoded clips, the pan/tilt position, the alarm state).
class SimCameraMedia {
  public:
    virtual ~SimCameraMedia() = default;
    // Called after a successful login on a connection.
    virtual std::unique_ptr<SimMediaSession> OpenSession(SimConnection& connection) = 0;
    // The camera's alarm marker (set by the command side or a test).
    virtual void SetAlarm(bool on) = 0;
    // Changes the streaming fault mode at run time: a mode name ("none",
    // "drop", "stall", "oversize_frame", "overlong_message", "time_jump",
    // "time_rewind") or an object like the "fault" of the "stream"
    // configuration. Returns false for an unknown mode.
    virtual bool SetStreamFault(const nlohmann::json& /*fault*/) { return false; }
    // Prepares in the background what the camera streams (a simulator that
    // starts a wall of cameras calls it for each at start-up).
    virtual void Prefetch() {}
};

// Creates the media side of a camera from its configuration object; the
// streaming simulator provides it. Returns nullptr when the camera has no
// media side (the command side then ignores stream commands).
std::unique_ptr<SimCameraMedia> CreateSimCameraMedia(const nlohmann::json& cameraConfig);

}  // namespace orbisight::sim
