// Draws every skin image of the client into one folder (the "images" folder
// next to the executables), so no binary images live in the repository. Run
// at build time:  orbisight-skin OUTPUT_FOLDER
//
// One flat style throughout: slate text on light grey for the toolbar, white
// strokes on dark chips over video, one blue accent for hover.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>
#include <vector>

#include "SkinGlyphs.h"
#include "app/WallLayout.h"

using namespace orbisight;
using namespace orbisight::skin;

namespace {

const QColor kAccent(0x1f, 0x6f, 0xd1);
const QColor kAccentSoft(0xdd, 0xe9, 0xf8);
const QColor kAccentLine(0xb9, 0xd2, 0xf2);
const QColor kInk(0x34, 0x44, 0x58);
const QColor kInkSoft(0x5a, 0x67, 0x78);
const QColor kChip(0x1b, 0x22, 0x2c);
const QColor kTitleTop(0x18, 0x27, 0x42);
const QColor kTitleBottom(0x12, 0x1d, 0x33);

QString g_out;
int g_written = 0;
bool g_failed = false;

void Save(const QImage& image, const QString& name) {
    QString path = g_out + "/" + name;
    const char* format = name.endsWith(".bmp") ? "BMP" : "PNG";
    if (!image.save(path, format)) {
        std::fprintf(stderr, "orbisight-skin: cannot write %s\n", qPrintable(path));
        g_failed = true;
        return;
    }
    ++g_written;
}

QImage Canvas(int w, int h, QColor fill = Qt::transparent) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

QFont CaptionFont(int pixels, bool bold = false) {
    QFont f("DejaVu Sans");
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

// ---- toolbar: 54 x 52, glyph over a caption ----

using Painter = void (*)(QPainter&, const QRectF&, const QColor&);

void ToolbarPair(const QString& stem, const QString& caption, Glyph glyph, int w = 54, int h = 52,
                 const QString& normalSuffix = "-01.png", const QString& hoverSuffix = "-02.png") {
    for (int hover = 0; hover < 2; ++hover) {
        QImage image = Canvas(w, h);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        if (hover) {
            p.setPen(QPen(kAccentLine, 1));
            p.setBrush(kAccentSoft);
            p.drawRoundedRect(QRectF(1.5, 1.5, w - 3, h - 3), 7, 7);
        }
        QColor ink = hover ? kAccent : kInk;
        qreal glyphSize = caption.isEmpty() ? h * 0.55 : 24;
        QRectF box = caption.isEmpty()
                         ? QRectF((w - glyphSize) / 2, (h - glyphSize) / 2, glyphSize, glyphSize)
                         : QRectF((w - glyphSize) / 2, 6, glyphSize, glyphSize);
        DrawGlyph(p, glyph, box, ink, 2.0);
        if (!caption.isEmpty()) {
            p.setFont(CaptionFont(10, hover));
            p.setPen(hover ? kAccent : kInkSoft);
            p.drawText(QRectF(0, 33, w, 16), Qt::AlignHCenter | Qt::AlignVCenter, caption);
        }
        p.end();
        Save(image, stem + (hover ? hoverSuffix : normalSuffix));
    }
}

// Miniature of a custom layout, from the wall's own cell table.
void LayoutPair(int index, int code, const QString& caption) {
    for (int hover = 0; hover < 2; ++hover) {
        QImage image = Canvas(54, 52);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        if (hover) {
            p.setPen(QPen(kAccentLine, 1));
            p.setBrush(kAccentSoft);
            p.drawRoundedRect(QRectF(1.5, 1.5, 51, 49), 7, 7);
        }
        QColor ink = hover ? kAccent : kInk;
        int g = WallLayout::CustomGrid(code);
        QRectF area(13, 6, 28, 24);
        qreal cw = area.width() / g;
        qreal ch = area.height() / g;
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        for (const auto& cell : WallLayout::CustomCells(code)) {
            QRectF r(area.left() + cell.column * cw, area.top() + cell.row * ch,
                     cell.span * cw - 1.6, cell.span * ch - 1.6);
            p.drawRoundedRect(r, 1.2, 1.2);
        }
        p.setFont(CaptionFont(10, hover));
        p.setPen(hover ? kAccent : kInkSoft);
        p.drawText(QRectF(0, 33, 54, 16), Qt::AlignHCenter | Qt::AlignVCenter, caption);
        p.end();
        Save(image, QString("Picture-View-%1-%2.png").arg(index).arg(hover + 1));
    }
}

void ToolbarImages() {
    ToolbarPair("TBAR-BtnMulPics", "Layout", Glyph::kGrid);
    LayoutPair(1, 30, "1+5");
    LayoutPair(2, 31, "3+4");
    LayoutPair(3, 32, "1+7");
    LayoutPair(4, 33, "2+8");
    LayoutPair(5, 34, "1+12");
    ToolbarPair("TBAR-BtnFullScreen", "Full", Glyph::kFullScreen);
    ToolbarPair("TBAR-BtnRePlay", "Playback", Glyph::kReplay);
    ToolbarPair("TBAR-BtnDevScan", "Search", Glyph::kScan);
    ToolbarPair("TBAR-BtnLogin", "Login", Glyph::kUser);
    ToolbarPair("TBAR-BtnSetting", "Settings", Glyph::kGear);
    ToolbarPair("TBAR-BtnExit", "Exit", Glyph::kPower);
    ToolbarPair("Btn-right-panel-off", "Panel", Glyph::kPanelOff, 54, 52, ".png", "-02.png");
    ToolbarPair("Btn-right-panel-on", "Panel", Glyph::kPanelOn, 54, 52, ".png", "-02.png");
    // Compact buttons: paging and the wall-wide commands, also used by the
    // recordings player.
    ToolbarPair("TBAR-BtnFPage", "", Glyph::kFirst, 34, 34);
    ToolbarPair("TBAR-BtnPPage", "", Glyph::kPrevious, 34, 34);
    ToolbarPair("TBAR-BtnNPage", "", Glyph::kNext, 34, 34);
    ToolbarPair("TBAR-BtnLPage", "", Glyph::kLast, 34, 34);
    ToolbarPair("TBAR-BtnConnectAll", "", Glyph::kConnectAll, 34, 34);
    ToolbarPair("TBAR-BtnDisconnectAll", "", Glyph::kDisconnectAll, 34, 34);
    ToolbarPair("TBAR-BtnRecordAll", "", Glyph::kRecordDot, 34, 34);
    ToolbarPair("TBAR-BtnSnapAll", "", Glyph::kCamera, 34, 34);
    ToolbarPair("TBAR-BtnLoop", "", Glyph::kLoop, 34, 34);
    ToolbarPair("Btn-Pause", "", Glyph::kPause, 34, 34);
    ToolbarPair("Btn-Stop", "", Glyph::kStopSquare, 34, 34);

    // The toolbar's background strip, painted every 680 pixels.
    QImage strip = Canvas(680, 60, QColor(246, 246, 246));
    QPainter p(&strip);
    p.setPen(QColor(0xdf, 0xe3, 0xe8));
    p.drawLine(0, 59, 679, 59);
    p.setPen(QColor(255, 255, 255));
    p.drawLine(0, 0, 679, 0);
    p.end();
    Save(strip, "Titile-Spr.png");
}

// ---- title bar ----

void TitleImages() {
    auto gradient = [](QPainter& p, int w) {
        QLinearGradient g(0, 0, 0, 36);
        g.setColorAt(0, kTitleTop);
        g.setColorAt(1, kTitleBottom);
        p.fillRect(QRect(0, 0, w, 36), g);
    };
    QImage header = Canvas(318, 36);
    {
        QPainter p(&header);
        p.setRenderHint(QPainter::Antialiasing);
        gradient(p, 318);
        DrawLogo(p, QRectF(10, 6, 24, 24));
        p.setFont(CaptionFont(15, true));
        p.setPen(QColor(0xf3, 0xf6, 0xfb));
        p.drawText(QRectF(44, 0, 270, 36), Qt::AlignVCenter | Qt::AlignLeft,
                   "Orbisight Cloud System");
    }
    Save(header, "Title-Header.png");
    QImage mid = Canvas(16, 36);
    {
        QPainter p(&mid);
        gradient(p, 16);
    }
    Save(mid, "Title-Mid.png");
    QImage back = Canvas(18, 36);
    {
        QPainter p(&back);
        gradient(p, 18);
    }
    Save(back, "TitleBack.png");

    struct Button {
        const char* stem;
        Glyph glyph;
        QColor hover;
    };
    const Button buttons[] = {{"Title-BtnMin", Glyph::kMinimize, QColor(255, 255, 255, 40)},
                              {"Title-BtnMax", Glyph::kMaximize, QColor(255, 255, 255, 40)},
                              {"Title-BtnRestore", Glyph::kRestore, QColor(255, 255, 255, 40)},
                              {"Title-BtnClose", Glyph::kClose, QColor(0xe5, 0x3e, 0x3e)}};
    for (const Button& b : buttons) {
        for (int hover = 0; hover < 2; ++hover) {
            QImage image = Canvas(36, 32);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            if (hover) {
                p.setPen(Qt::NoPen);
                p.setBrush(b.hover);
                p.drawRoundedRect(QRectF(1, 2, 34, 28), 5, 5);
            }
            DrawGlyph(p, b.glyph, QRectF(9, 7, 18, 18),
                      hover ? QColor(Qt::white) : QColor(0xc9, 0xd6, 0xea), 1.6);
            p.end();
            Save(image, QString("%1-0%2.png").arg(b.stem).arg(hover + 1));
        }
    }
}

// ---- the floating pane toolbar: 44 x 28, white strokes ----

void PaneToolbarPair(const QString& stem, Glyph glyph) {
    for (int hover = 0; hover < 2; ++hover) {
        QImage image = Canvas(44, 28);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        if (hover) {
            p.setPen(Qt::NoPen);
            p.setBrush(kAccent);
            p.drawRoundedRect(QRectF(2, 1, 40, 26), 6, 6);
        }
        DrawGlyph(p, glyph, QRectF(12, 4, 20, 20),
                  hover ? QColor(Qt::white) : QColor(0xe8, 0xee, 0xf6), 1.8);
        p.end();
        Save(image, stem + (hover ? "-02.png" : "-01.png"));
    }
}

void PaneToolbarImages() {
    PaneToolbarPair("Disconnect", Glyph::kUnplug);
    PaneToolbarPair("DevCapture", Glyph::kCamera);
    PaneToolbarPair("DevRecord", Glyph::kRecordDot);
    PaneToolbarPair("ImgMirror", Glyph::kMirror);
    PaneToolbarPair("ImgFlip", Glyph::kFlip);
    PaneToolbarPair("DevMute", Glyph::kSpeaker);
    PaneToolbarPair("TurnUp", Glyph::kArrowUp);
    PaneToolbarPair("TurnDown", Glyph::kArrowDown);
    PaneToolbarPair("TurnLeft", Glyph::kArrowLeft);
    PaneToolbarPair("TurnRight", Glyph::kArrowRight);
    PaneToolbarPair("DevReset", Glyph::kReset);
    PaneToolbarPair("DevStop", Glyph::kStopSquare);
    PaneToolbarPair("HScan", Glyph::kHScan);
    PaneToolbarPair("VScan", Glyph::kVScan);
    PaneToolbarPair("DevAuto", Glyph::kAuto);
    PaneToolbarPair("ZoomIn", Glyph::kZoomIn);
    PaneToolbarPair("ZoomOut", Glyph::kZoomOut);
    PaneToolbarPair("Quality", Glyph::kQuality);
    PaneToolbarPair("DevAlert", Glyph::kBell);
    PaneToolbarPair("DevSnapAll", Glyph::kCamera);
}

// ---- the device panel: glyph over caption, and the pan/tilt pad ----

void PanelPair(const QString& stem, const QString& caption, Glyph glyph, const char* ext = "png",
               int w = 64, int h = 48) {
    for (int hover = 0; hover < 2; ++hover) {
        QImage image =
            Canvas(w, h, QString(ext) == "bmp" ? QColor(0xf7, 0xf8, 0xfa) : Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        if (hover) {
            p.setPen(QPen(kAccentLine, 1));
            p.setBrush(kAccentSoft);
            p.drawRoundedRect(QRectF(1.5, 1.5, w - 3, h - 3), 6, 6);
        }
        QColor ink = hover ? kAccent : kInk;
        if (caption.isEmpty()) {
            DrawGlyph(p, glyph, QRectF(w / 2.0 - 11, h / 2.0 - 11, 22, 22), ink, 2.0);
        } else {
            DrawGlyph(p, glyph, QRectF(w / 2.0 - 10, 5, 20, 20), ink, 1.8);
            p.setFont(CaptionFont(10, hover));
            p.setPen(hover ? kAccent : kInkSoft);
            p.drawText(QRectF(0, 28, w, 16), Qt::AlignHCenter | Qt::AlignVCenter, caption);
        }
        p.end();
        Save(image, QString("%1-0%2.%3").arg(stem).arg(hover + 1).arg(ext));
    }
}

void PanelImages() {
    PanelPair("CPan-BtnDisCnnt", "Disconnect", Glyph::kUnplug);
    PanelPair("CPan-BtnCapture", "Snap", Glyph::kCamera);
    PanelPair("CPan-BtnVedioRec", "Record", Glyph::kRecordDot);
    PanelPair("CPan-BtnMirror", "Mirror", Glyph::kMirror);
    PanelPair("CPan-BtnFlip", "Flip", Glyph::kFlip);
    PanelPair("CPan-BtnAudio", "Sound", Glyph::kSpeaker);
    PanelPair("CPan-BtnStop", "Stop", Glyph::kStopSquare);
    PanelPair("CPan-BtnVScan", "VScan", Glyph::kVScan);
    PanelPair("CPan-BtnHScan", "HScan", Glyph::kHScan);
    PanelPair("CPan-BtnZoomOut", "Zoom +", Glyph::kZoomIn);
    PanelPair("CPan-BtnZoomIn", "Zoom -", Glyph::kZoomOut);
    PanelPair("CPan-BtnHD", "Quality", Glyph::kQuality);
    PanelPair("CPan-BtnTalk", "Talk", Glyph::kMicrophone);
    PanelPair("CPan-BtnBrowseSD", "SD / Cloud", Glyph::kSdCard);
    PanelPair("CPan-BtnSecurety", "Alert", Glyph::kShield);
    PanelPair("CPan-BtnAlarmLog", "Alarm log", Glyph::kBell);
    PanelPair("CPan-BtnUp", "", Glyph::kArrowUp, "bmp", 40, 40);
    PanelPair("CPan-BtnDown", "", Glyph::kArrowDown, "bmp", 40, 40);
    PanelPair("CPan-BtnLeft", "", Glyph::kArrowLeft, "bmp", 40, 40);
    PanelPair("CPan-BtnRight", "", Glyph::kArrowRight, "bmp", 40, 40);
    PanelPair("CPan-BtnReset", "", Glyph::kReset, "bmp", 40, 40);
}

// ---- over the video: dark chips with light strokes ----

QImage Chip(int w, int h, Glyph glyph, QColor ink, qreal glyphSize) {
    QImage image = Canvas(w, h, kChip);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x3a, 0x45, 0x55));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
    DrawGlyph(p, glyph, QRectF((w - glyphSize) / 2, (h - glyphSize) / 2, glyphSize, glyphSize), ink,
              1.8);
    return image;
}

void OverlayImages() {
    const QColor light(0xee, 0xf2, 0xf7);
    Save(Chip(27, 25, Glyph::kClose, light, 14), "VClose.bmp");
    Save(Chip(30, 30, Glyph::kFilm, light, 20), "RecordReplay.bmp");
    Save(Chip(30, 30, Glyph::kGlobe, light, 20), "WebLink.bmp");
    Save(Chip(30, 23, Glyph::kSpeaker, light, 16), "Volume.bmp");
    Save(Chip(30, 23, Glyph::kMicrophone, light, 16), "Intercom.bmp");
    for (int phase = 1; phase <= 2; ++phase) {
        QImage image = Canvas(30, 23, kChip);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(phase == 1 ? QColor(0xf0, 0x3a, 0x3a) : QColor(0x6b, 0x1f, 0x1f));
        p.drawEllipse(QPointF(8, 11.5), 4.5, 4.5);
        p.setFont(CaptionFont(8, true));
        p.setPen(phase == 1 ? light : QColor(0x9a, 0xa5, 0xb4));
        p.drawText(QRectF(13, 0, 17, 23), Qt::AlignCenter, "R");
        p.end();
        Save(image, QString("RecFlag%1.bmp").arg(phase));
    }

    // The idle pane: a quiet dark field with a faint camera mark.
    QImage idle = Canvas(480, 270);
    {
        QPainter p(&idle);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, 0, 270);
        g.setColorAt(0, QColor(0x27, 0x30, 0x3d));
        g.setColorAt(1, QColor(0x1a, 0x20, 0x29));
        p.fillRect(idle.rect(), g);
        DrawGlyph(p, Glyph::kCamera, QRectF(200, 95, 80, 80), QColor(0x3a, 0x46, 0x57), 5);
    }
    Save(idle.convertToFormat(QImage::Format_RGB32), "FrameBK.bmp");
}

// ---- the device tree ----

void TreeImages() {
    auto icon = [](const QString& name, Glyph glyph, QColor ink, QColor dot) {
        QImage image = Canvas(18, 18);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        DrawGlyph(p, glyph, QRectF(0, 1, 16, 16), ink, 1.5);
        if (dot.alpha() != 0) {
            p.setPen(QPen(Qt::white, 1.2));
            p.setBrush(dot);
            p.drawEllipse(QPointF(13.5, 13.5), 3.6, 3.6);
        }
        p.end();
        Save(image, name);
    };
    icon("Tree-Online.png", Glyph::kCamera, kInk, QColor(0x2f, 0xb3, 0x5a));
    icon("Tree-Offline.png", Glyph::kCamera, QColor(0xa0, 0xa8, 0xb3), QColor(0xb8, 0xbe, 0xc6));
    icon("Tree-Group.png", Glyph::kFolder, QColor(0xe0, 0xa3, 0x2e), Qt::transparent);
    icon("Tree-RootMy.png", Glyph::kUser, kAccent, Qt::transparent);
    icon("Tree-RootLocal.png", Glyph::kGrid, kAccent, Qt::transparent);
    icon("Tree-RootPublic.png", Glyph::kGlobe, kAccent, Qt::transparent);
    ToolbarPair("Tree-BtnSearch", "", Glyph::kSearch, 24, 24);
    ToolbarPair("Tree-BtnClear", "", Glyph::kClose, 24, 24);
}

void AppIcon() {
    // The window icon and the desktop icon theme's sizes (hicolor).
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image = Canvas(size, size);
        QPainter p(&image);
        DrawLogo(p, QRectF(0, 0, size, size));
        p.end();
        Save(image, size == 256 ? QString("orbisight.png") : QString("orbisight-%1.png").arg(size));
    }
}

// A short, soft shutter click (16-bit mono PCM WAV).
void ShutterSound() {
    const int rate = 16000;
    std::vector<int16_t> samples(rate / 8);
    uint32_t seed = 12345;
    for (size_t i = 0; i < samples.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        double noise = (static_cast<int>(seed >> 16) % 2001 - 1000) / 1000.0;
        double t = static_cast<double>(i) / rate;
        double envelope = std::exp(-t * 60) + 0.6 * std::exp(-std::fabs(t - 0.06) * 200);
        samples[i] = static_cast<int16_t>(noise * envelope * 9000);
    }
    QFile file(g_out + "/shutter.wav");
    if (!file.open(QIODevice::WriteOnly)) {
        g_failed = true;
        return;
    }
    auto u32 = [&](uint32_t v) { file.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { file.write(reinterpret_cast<const char*>(&v), 2); };
    uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    file.write("RIFF");
    u32(36 + bytes);
    file.write("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    file.write("data");
    u32(bytes);
    file.write(reinterpret_cast<const char*>(samples.data()), bytes);
    ++g_written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: orbisight-skin OUTPUT_FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    g_out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_out)) {
        std::fprintf(stderr, "orbisight-skin: cannot create %s\n", argv[1]);
        return 1;
    }
    ToolbarImages();
    TitleImages();
    PaneToolbarImages();
    PanelImages();
    OverlayImages();
    TreeImages();
    AppIcon();
    ShutterSound();
    std::printf("orbisight-skin: %d files in %s\n", g_written, argv[1]);
    return g_failed ? 1 : 0;
}
