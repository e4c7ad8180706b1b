#include "SkinGlyphs.h"

#include <QPainterPath>
#include <QtMath>

namespace orbisight::skin {

namespace {

// Glyphs are designed on a 24 x 24 grid centred on the origin.
struct Pen {
    QPainter& p;
    QColor color;
    qreal width;

    void Stroke() {
        QPen pen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
    }
    void Fill() {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
    }
};

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c) {
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    p.drawPath(path);
}

void Arrow(Pen& pen, qreal angleDeg) {
    pen.p.save();
    pen.p.rotate(angleDeg);
    pen.Fill();
    Triangle(pen.p, {0, -8}, {7.5, 1}, {-7.5, 1});
    pen.p.drawRoundedRect(QRectF(-2.6, 0, 5.2, 8), 1, 1);
    pen.p.restore();
}

void Chevron(Pen& pen, qreal x, bool left) {
    pen.Fill();
    if (left) {
        Triangle(pen.p, {x + 4, -7}, {x + 4, 7}, {x - 5, 0});
    } else {
        Triangle(pen.p, {x - 4, -7}, {x - 4, 7}, {x + 5, 0});
    }
}

void CameraBody(Pen& pen) {
    pen.Stroke();
    pen.p.drawRoundedRect(QRectF(-10, -6, 20, 14), 3, 3);
    pen.p.drawLine(QPointF(-4, -6), QPointF(-2.5, -9));
    pen.p.drawLine(QPointF(-2.5, -9), QPointF(2.5, -9));
    pen.p.drawLine(QPointF(2.5, -9), QPointF(4, -6));
    pen.p.drawEllipse(QPointF(0, 1), 4, 4);
}

void Speaker(Pen& pen) {
    pen.Fill();
    QPainterPath body;
    body.moveTo(-10, -3.5);
    body.lineTo(-5, -3.5);
    body.lineTo(1, -9);
    body.lineTo(1, 9);
    body.lineTo(-5, 3.5);
    body.lineTo(-10, 3.5);
    body.closeSubpath();
    pen.p.drawPath(body);
    pen.Stroke();
    pen.p.drawArc(QRectF(-3, -6, 10, 12), -50 * 16, 100 * 16);
    pen.p.drawArc(QRectF(-3, -10, 16, 20), -50 * 16, 100 * 16);
}

void Gear(Pen& pen) {
    pen.Fill();
    QPainterPath path;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        qreal angle = (i * M_PI) / teeth - M_PI / (teeth * 2);
        qreal r = (i % 2 == 0) ? 10.5 : 8;
        qreal a1 = angle;
        qreal a2 = angle + M_PI / teeth;
        QPointF p1(r * qCos(a1), r * qSin(a1));
        QPointF p2(r * qCos(a2), r * qSin(a2));
        if (i == 0) {
            path.moveTo(p1);
        } else {
            path.lineTo(p1);
        }
        path.lineTo(p2);
    }
    path.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(0, 0), 3.6, 3.6);
    pen.p.drawPath(path.subtracted(hole));
}

}  // namespace

void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& box, const QColor& color, qreal stroke) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    qreal scale = qMin(box.width(), box.height()) / 24.0;
    p.translate(box.center());
    p.scale(scale, scale);
    Pen pen{p, color, stroke / scale};
    switch (glyph) {
        case Glyph::kGrid:
            pen.Fill();
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) {
                    p.drawRoundedRect(QRectF(-10 + c * 7, -10 + r * 7, 6, 6), 1.2, 1.2);
                }
            }
            break;
        case Glyph::kFullScreen:
            pen.Stroke();
            for (int i = 0; i < 4; ++i) {
                p.save();
                p.rotate(90 * i);
                p.drawLine(QPointF(-10, -4), QPointF(-10, -10));
                p.drawLine(QPointF(-10, -10), QPointF(-4, -10));
                p.drawLine(QPointF(-10, -10), QPointF(-5, -5));
                p.restore();
            }
            break;
        case Glyph::kReplay:
            pen.Stroke();
            p.drawArc(QRectF(-10, -10, 20, 20), 100 * 16, 290 * 16);
            pen.Fill();
            Triangle(p, {-6.5, -12}, {-1, -8.5}, {-6.5, -4});
            Triangle(p, {-2.5, -5}, {5.5, 0}, {-2.5, 5});
            break;
        case Glyph::kScan:
            pen.Stroke();
            p.drawEllipse(QPointF(-2, -2), 7.5, 7.5);
            p.drawLine(QPointF(3.5, 3.5), QPointF(10, 10));
            p.drawArc(QRectF(-6, -6, 8, 8), 90 * 16, 90 * 16);
            break;
        case Glyph::kUser:
            pen.Fill();
            p.drawEllipse(QPointF(0, -5), 5, 5);
            {
                QPainterPath body;
                body.moveTo(-10, 11);
                body.cubicTo(-10, 2, 10, 2, 10, 11);
                body.closeSubpath();
                p.drawPath(body);
            }
            break;
        case Glyph::kGear:
            Gear(pen);
            break;
        case Glyph::kPower:
            pen.Stroke();
            p.drawArc(QRectF(-9, -8, 18, 18), 55 * 16, -290 * 16);
            p.drawLine(QPointF(0, -11), QPointF(0, -1));
            break;
        case Glyph::kPanelOn:
        case Glyph::kPanelOff:
            pen.Stroke();
            p.drawRoundedRect(QRectF(-11, -9, 22, 18), 2.5, 2.5);
            p.drawLine(QPointF(4, -9), QPointF(4, 9));
            pen.Fill();
            if (glyph == Glyph::kPanelOff) {
                Triangle(p, {-6, -4}, {-1, 0}, {-6, 4});
            } else {
                Triangle(p, {-1, -4}, {-6, 0}, {-1, 4});
                p.drawRect(QRectF(5.5, -7.5, 4, 15));
            }
            break;
        case Glyph::kFirst:
            Chevron(pen, 1, true);
            p.drawRoundedRect(QRectF(-8, -7, 2.6, 14), 1, 1);
            break;
        case Glyph::kPrevious:
            Chevron(pen, 0, true);
            break;
        case Glyph::kNext:
            Chevron(pen, 0, false);
            break;
        case Glyph::kLast:
            Chevron(pen, -1, false);
            p.drawRoundedRect(QRectF(5.4, -7, 2.6, 14), 1, 1);
            break;
        case Glyph::kPause:
            pen.Fill();
            p.drawRoundedRect(QRectF(-7, -8, 5, 16), 1.2, 1.2);
            p.drawRoundedRect(QRectF(2, -8, 5, 16), 1.2, 1.2);
            break;
        case Glyph::kStopSquare:
            pen.Fill();
            p.drawRoundedRect(QRectF(-7, -7, 14, 14), 2, 2);
            break;
        case Glyph::kConnectAll:
            pen.Stroke();
            p.drawRoundedRect(QRectF(-11, -8, 9, 7), 1.5, 1.5);
            p.drawRoundedRect(QRectF(2, -8, 9, 7), 1.5, 1.5);
            p.drawRoundedRect(QRectF(-4.5, 3, 9, 7), 1.5, 1.5);
            pen.Fill();
            Triangle(p, {-3, -3.5}, {1, -3.5}, {-1, 0});
            break;
        case Glyph::kDisconnectAll:
            pen.Stroke();
            p.drawRoundedRect(QRectF(-11, -8, 9, 7), 1.5, 1.5);
            p.drawRoundedRect(QRectF(2, -8, 9, 7), 1.5, 1.5);
            p.drawRoundedRect(QRectF(-4.5, 3, 9, 7), 1.5, 1.5);
            p.drawLine(QPointF(-11, 11), QPointF(11, -11));
            break;
        case Glyph::kRecordDot:
            pen.Fill();
            p.drawEllipse(QPointF(0, 0), 7.5, 7.5);
            pen.Stroke();
            p.drawEllipse(QPointF(0, 0), 10.5, 10.5);
            break;
        case Glyph::kCamera:
            CameraBody(pen);
            break;
        case Glyph::kUnplug:
            pen.Stroke();
            p.drawEllipse(QPointF(0, 0), 10, 10);
            p.drawLine(QPointF(-4.5, -4.5), QPointF(4.5, 4.5));
            p.drawLine(QPointF(4.5, -4.5), QPointF(-4.5, 4.5));
            break;
        case Glyph::kMirror:
            pen.Fill();
            Triangle(p, {-2, -8}, {-2, 8}, {-11, 8});
            pen.Stroke();
            Triangle(p, {2, -8}, {2, 8}, {11, 8});
            p.drawLine(QPointF(0, -11), QPointF(0, 11));
            break;
        case Glyph::kFlip:
            p.rotate(90);
            pen.Fill();
            Triangle(p, {-2, -8}, {-2, 8}, {-11, 8});
            pen.Stroke();
            Triangle(p, {2, -8}, {2, 8}, {11, 8});
            p.drawLine(QPointF(0, -11), QPointF(0, 11));
            break;
        case Glyph::kSpeaker:
            Speaker(pen);
            break;
        case Glyph::kArrowUp:
            Arrow(pen, 0);
            break;
        case Glyph::kArrowRight:
            Arrow(pen, 90);
            break;
        case Glyph::kArrowDown:
            Arrow(pen, 180);
            break;
        case Glyph::kArrowLeft:
            Arrow(pen, 270);
            break;
        case Glyph::kReset:
            pen.Stroke();
            p.drawArc(QRectF(-9, -9, 18, 18), 60 * 16, 300 * 16);
            pen.Fill();
            Triangle(p, {2, -13}, {8.5, -8}, {1.5, -4});
            p.drawEllipse(QPointF(0, 0), 2.2, 2.2);
            break;
        case Glyph::kHScan:
            pen.Stroke();
            p.drawLine(QPointF(-9, 0), QPointF(9, 0));
            pen.Fill();
            Triangle(p, {-12, 0}, {-7, -4.5}, {-7, 4.5});
            Triangle(p, {12, 0}, {7, -4.5}, {7, 4.5});
            p.drawEllipse(QPointF(0, 0), 2.6, 2.6);
            break;
        case Glyph::kVScan:
            pen.Stroke();
            p.drawLine(QPointF(0, -9), QPointF(0, 9));
            pen.Fill();
            Triangle(p, {0, -12}, {-4.5, -7}, {4.5, -7});
            Triangle(p, {0, 12}, {-4.5, 7}, {4.5, 7});
            p.drawEllipse(QPointF(0, 0), 2.6, 2.6);
            break;
        case Glyph::kAuto:
            pen.Stroke();
            p.drawArc(QRectF(-10, -10, 20, 20), 20 * 16, 320 * 16);
            pen.Fill();
            Triangle(p, {10.5, -4}, {6, 2}, {12.5, 2.5});
            {
                QFont f("DejaVu Sans", 9, QFont::Bold);
                f.setPixelSize(11);
                p.setFont(f);
                p.setPen(color);
                p.drawText(QRectF(-8, -8, 16, 16), Qt::AlignCenter, "A");
            }
            break;
        case Glyph::kZoomIn:
        case Glyph::kZoomOut:
            pen.Stroke();
            p.drawEllipse(QPointF(-2, -2), 7.5, 7.5);
            p.drawLine(QPointF(3.5, 3.5), QPointF(10, 10));
            p.drawLine(QPointF(-5.5, -2), QPointF(1.5, -2));
            if (glyph == Glyph::kZoomIn) {
                p.drawLine(QPointF(-2, -5.5), QPointF(-2, 1.5));
            }
            break;
        case Glyph::kQuality:
            pen.Stroke();
            p.drawRoundedRect(QRectF(-11, -8, 22, 16), 3, 3);
            {
                QFont f("DejaVu Sans", 8, QFont::Bold);
                f.setPixelSize(10);
                p.setFont(f);
                p.setPen(color);
                p.drawText(QRectF(-11, -8, 22, 16), Qt::AlignCenter, "HD");
            }
            break;
        case Glyph::kMicrophone:
            pen.Fill();
            p.drawRoundedRect(QRectF(-3.5, -11, 7, 13), 3.5, 3.5);
            pen.Stroke();
            p.drawArc(QRectF(-7, -6, 14, 12), 180 * 16, 180 * 16);
            p.drawLine(QPointF(0, 6), QPointF(0, 10));
            p.drawLine(QPointF(-4, 10), QPointF(4, 10));
            break;
        case Glyph::kClose:
            pen.Stroke();
            p.drawLine(QPointF(-7, -7), QPointF(7, 7));
            p.drawLine(QPointF(7, -7), QPointF(-7, 7));
            break;
        case Glyph::kFilm:
            pen.Stroke();
            p.drawRoundedRect(QRectF(-10, -8, 20, 16), 2, 2);
            pen.Fill();
            for (int i = 0; i < 4; ++i) {
                p.drawRect(QRectF(-8 + i * 4.5, -6.5, 2, 2));
                p.drawRect(QRectF(-8 + i * 4.5, 4.5, 2, 2));
            }
            Triangle(p, {-2.5, -3}, {3, 0}, {-2.5, 3});
            break;
        case Glyph::kGlobe:
            pen.Stroke();
            p.drawEllipse(QPointF(0, 0), 10, 10);
            p.drawEllipse(QPointF(0, 0), 4.5, 10);
            p.drawLine(QPointF(-10, 0), QPointF(10, 0));
            p.drawLine(QPointF(-8.5, -5), QPointF(8.5, -5));
            p.drawLine(QPointF(-8.5, 5), QPointF(8.5, 5));
            break;
        case Glyph::kShield: {
            pen.Stroke();
            QPainterPath path;
            path.moveTo(0, -11);
            path.lineTo(9, -7);
            path.cubicTo(9, 3, 5, 8, 0, 11);
            path.cubicTo(-5, 8, -9, 3, -9, -7);
            path.closeSubpath();
            p.drawPath(path);
            p.drawLine(QPointF(-4, 0), QPointF(-1, 3.5));
            p.drawLine(QPointF(-1, 3.5), QPointF(4.5, -3));
            break;
        }
        case Glyph::kBell: {
            pen.Fill();
            QPainterPath path;
            path.moveTo(-9, 6);
            path.cubicTo(-6, 3, -7, -9, 0, -9);
            path.cubicTo(7, -9, 6, 3, 9, 6);
            path.closeSubpath();
            p.drawPath(path);
            p.drawEllipse(QPointF(0, 8.5), 2.5, 2.5);
            break;
        }
        case Glyph::kSdCard: {
            pen.Stroke();
            QPainterPath path;
            path.moveTo(-7, -11);
            path.lineTo(4, -11);
            path.lineTo(8, -7);
            path.lineTo(8, 11);
            path.lineTo(-7, 11);
            path.closeSubpath();
            p.drawPath(path);
            for (int i = 0; i < 3; ++i) {
                p.drawLine(QPointF(-3 + i * 3.5, -7), QPointF(-3 + i * 3.5, -3));
            }
            break;
        }
        case Glyph::kSearch:
            pen.Stroke();
            p.drawEllipse(QPointF(-2, -2), 7, 7);
            p.drawLine(QPointF(3, 3), QPointF(9.5, 9.5));
            break;
        case Glyph::kFolder: {
            pen.Fill();
            QPainterPath path;
            path.moveTo(-11, -7);
            path.lineTo(-4, -7);
            path.lineTo(-2, -4.5);
            path.lineTo(11, -4.5);
            path.lineTo(11, 8);
            path.lineTo(-11, 8);
            path.closeSubpath();
            p.drawPath(path);
            break;
        }
        case Glyph::kMinimize:
            pen.Stroke();
            p.drawLine(QPointF(-6, 4), QPointF(6, 4));
            break;
        case Glyph::kMaximize:
            pen.Stroke();
            p.drawRect(QRectF(-6, -6, 12, 12));
            break;
        case Glyph::kRestore:
            pen.Stroke();
            p.drawRect(QRectF(-6, -3, 9, 9));
            p.drawLine(QPointF(-3, -3), QPointF(-3, -6));
            p.drawLine(QPointF(-3, -6), QPointF(6, -6));
            p.drawLine(QPointF(6, -6), QPointF(6, 3));
            p.drawLine(QPointF(6, 3), QPointF(3, 3));
            break;
        case Glyph::kLoop:
            pen.Stroke();
            p.drawArc(QRectF(-10, -8, 20, 16), 30 * 16, 150 * 16);
            p.drawArc(QRectF(-10, -8, 20, 16), 210 * 16, 150 * 16);
            pen.Fill();
            Triangle(p, {9.5, -7}, {10.5, 0.5}, {4, -2.5});
            Triangle(p, {-9.5, 7}, {-10.5, -0.5}, {-4, 2.5});
            break;
    }
    p.restore();
}

void DrawLogo(QPainter& p, const QRectF& box) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QPointF c = box.center();
    qreal r = qMin(box.width(), box.height()) / 2.0;
    QRadialGradient outer(c, r);
    outer.setColorAt(0.0, QColor(0x4f, 0xa3, 0xff));
    outer.setColorAt(1.0, QColor(0x1c, 0x5f, 0xc4));
    p.setPen(Qt::NoPen);
    p.setBrush(outer);
    p.drawEllipse(c, r, r);
    p.setBrush(QColor(0x0d, 0x1b, 0x2e));
    p.drawEllipse(c, r * 0.58, r * 0.58);
    QRadialGradient lens(c - QPointF(r * 0.12, r * 0.12), r * 0.45);
    lens.setColorAt(0.0, QColor(0x7d, 0xd3, 0xfc));
    lens.setColorAt(1.0, QColor(0x1e, 0x3a, 0x8a));
    p.setBrush(lens);
    p.drawEllipse(c, r * 0.38, r * 0.38);
    p.setBrush(QColor(255, 255, 255, 210));
    p.drawEllipse(c - QPointF(r * 0.16, r * 0.16), r * 0.1, r * 0.1);
    p.restore();
}

}  // namespace orbisight::skin
