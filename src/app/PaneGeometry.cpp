#include "app/PaneGeometry.h"

#include <cstdlib>

namespace orbisight {

PaneZones PaneZones::For(int clientWidth, int clientHeight) {
    PaneZones z;
    z.inner = {6, 6, clientWidth - 6, clientHeight - 6};
    int t = z.inner.top;
    int r = z.inner.right;
    int b = z.inner.bottom;
    z.close = {r - 18, t + 1, r, t + 17};
    z.recordings = {r - 60, t + 1, r - 34, t + 23};
    z.web = {r - 102, t + 1, r - 76, t + 23};
    z.bottomRight = {r - 33, b - 25, r, b};
    return z;
}

ZoneRect VideoSurface(int clientWidth, int clientHeight) {
    return {3, 3, 3 + (clientWidth - 5), 3 + (clientHeight - 5)};
}

std::optional<PtzPoint> PointPtzFromDrag(int startX, int startY, int endX, int endY, int videoWidth,
                                         int videoHeight, int surfaceWidth, int surfaceHeight) {
    if (std::abs(endX - startX) <= 4 && std::abs(endY - startY) <= 4) {
        return std::nullopt;
    }
    if (surfaceWidth <= 0 || surfaceHeight <= 0) {
        return std::nullopt;
    }
    // Integer arithmetic in the order the camera's firmware was tuned for:
    // centre first, then scale.
    long cx = (static_cast<long>(startX) + endX) / 2;
    long cy = (static_cast<long>(startY) + endY) / 2;
    PtzPoint p;
    p.x = static_cast<int>(cx * videoWidth / surfaceWidth);
    p.y = static_cast<int>(cy * videoHeight / surfaceHeight);
    return p;
}

bool IsPtzName(const std::string& name) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return name.size() >= 3 && lower(name[0]) == 'p' && lower(name[1]) == 't' &&
           lower(name[2]) == 'z';
}

std::string StreamNote(int shownStream, bool switching) {
    bool sub = shownStream == 1;
    std::string note = sub ? "Sub stream" : "Main stream";
    if (switching) {
        note += sub ? ", switching to the main stream" : ", switching to the sub stream";
    }
    return note;
}

int QualityLevel(bool peerToPeer, bool noLimit, int streamIdFlag, int value) {
    if (peerToPeer) {
        if (noLimit) {
            return 2;
        }
        return value > 5 ? 1 : 0;
    }
    if (streamIdFlag == 1) {
        return value <= 3 ? 0 : (value <= 8 ? 1 : 2);
    }
    return value <= 8 ? 0 : (value <= 15 ? 1 : 2);
}

std::string PaneQualityTooltip(bool peerToPeer, bool noLimit, int streamIdFlag, int value) {
    int level = QualityLevel(peerToPeer, noLimit, streamIdFlag, value);
    if (peerToPeer) {
        if (level == 2) {
            return "High Video Quality";
        }
        return level == 1 ? "Middle Video Quality" : "LowVideo Quality";
    }
    if (level == 2) {
        return "High qulity";
    }
    return level == 1 ? "Mid qulity" : "Low qulity";
}

int QualityControlCode(int menuId) {
    return ControlCode(103, 0x18 - (menuId & 0xFF));
}

int QualityMenuIdForLevel(int level) {
    if (level == 2) {
        return kQualityMenuHigh;
    }
    return level == 1 ? kQualityMenuMiddle : kQualityMenuLow;
}

}  // namespace orbisight
