#pragma once

#include <optional>
#include <string>

namespace orbisight {

// Rectangles in a pane's client coordinates, right and bottom exclusive.
struct ZoneRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const ZoneRect&) const = default;
};

// The clickable boxes of a pane, computed from its client size.
struct PaneZones {
    ZoneRect inner;        // client rectangle deflated by 6 on every side
    ZoneRect close;        // close box at the top right
    ZoneRect recordings;   // the camera's recordings
    ZoneRect web;          // the camera's web page (pan/tilt cameras)
    ZoneRect bottomRight;  // the 33 x 25 area at the inner bottom-right corner

    static PaneZones For(int clientWidth, int clientHeight);
};

// The video surface: the pane less 3 pixels left and top, 2 right and bottom.
ZoneRect VideoSurface(int clientWidth, int clientHeight);

// Drag-to-point: a drag of more than 4 pixels in either direction aims the
// camera at the centre of the dragged rectangle, scaled from the surface to
// the picture. nullopt when nothing is to be sent.
struct PtzPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PtzPoint&) const = default;
};
std::optional<PtzPoint> PointPtzFromDrag(int startX, int startY, int endX, int endY, int videoWidth,
                                         int videoHeight, int surfaceWidth, int surfaceHeight);

// True when the name begins with the letters p, t, z in any case: such
// cameras pan and tilt and have a web page box.
bool IsPtzName(const std::string& name);

// The channel's quality as the menus and tooltips show it: 0 low, 1 middle,
// 2 high. A peer-to-peer channel reports either "no limit" or a value; a
// direct channel's scale depends on the stream it asked for.
int QualityLevel(bool peerToPeer, bool noLimit, int streamIdFlag, int value);

// Which stream a pane shows, for the quality tooltips of a channel that
// picks its stream by the pane's size: "Main stream" or "Sub stream", and
// while a switch waits for the new stream's first picture ", switching to
// the sub stream" (or main) after it.
std::string StreamNote(int shownStream, bool switching);

// The floating pane toolbar's quality tooltip.
std::string PaneQualityTooltip(bool peerToPeer, bool noLimit, int streamIdFlag, int value);

// Quality menu: identifiers 0x4017 (High), 0x4015 (Middle), 0x4013 (Low);
// the control code sent for an entry is 103 with parameter 24 minus the low
// byte of its identifier.
constexpr int kQualityMenuHigh = 0x4017;
constexpr int kQualityMenuMiddle = 0x4015;
constexpr int kQualityMenuLow = 0x4013;
int QualityControlCode(int menuId);
int QualityMenuIdForLevel(int level);

// Control code with a parameter: the code in the low byte, the parameter in
// the next one.
constexpr int ControlCode(int code, int parameter) {
    return (code & 0xFF) | ((parameter & 0xFF) << 8);
}

}  // namespace orbisight
