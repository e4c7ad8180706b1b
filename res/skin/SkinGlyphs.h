#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>

namespace orbisight::skin {

// The pictograms of the skin, drawn as vector strokes so every image size
// gets crisp lines in one consistent style.
enum class Glyph {
    kGrid,
    kFullScreen,
    kReplay,
    kScan,
    kUser,
    kGear,
    kPower,
    kPanelOn,
    kPanelOff,
    kFirst,
    kPrevious,
    kNext,
    kLast,
    kPause,
    kStopSquare,
    kConnectAll,
    kDisconnectAll,
    kRecordDot,
    kCamera,
    kUnplug,
    kMirror,
    kFlip,
    kSpeaker,
    kArrowUp,
    kArrowDown,
    kArrowLeft,
    kArrowRight,
    kReset,
    kHScan,
    kVScan,
    kAuto,
    kZoomIn,
    kZoomOut,
    kQuality,
    kMicrophone,
    kClose,
    kFilm,
    kGlobe,
    kShield,
    kBell,
    kSdCard,
    kSearch,
    kFolder,
    kMinimize,
    kMaximize,
    kRestore,
    kLoop,
};

// Draws the glyph centred in box with the given colour; stroke is the line
// width in pixels.
void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& box, const QColor& color, qreal stroke);

// The product mark: a lens orb.
void DrawLogo(QPainter& p, const QRectF& box);

}  // namespace orbisight::skin
