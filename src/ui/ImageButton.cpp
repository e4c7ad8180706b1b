#include "ui/ImageButton.h"

#include <QEnterEvent>
#include <QPainter>

#include "ui/SkinImages.h"

namespace orbisight::ui {

ImageButton::ImageButton(int commandId, const QString& normalImage, QWidget* parent)
    : QAbstractButton(parent), commandId_(commandId) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    if (!normalImage.isEmpty()) {
        SetImages(normalImage);
    }
}

void ImageButton::SetImages(const QString& normalImage, const QString& hoverImage) {
    normal_ = SkinImages::Get(normalImage);
    hover_ =
        SkinImages::Get(hoverImage.isEmpty() ? SkinImages::HoverName(normalImage) : hoverImage);
    if (!normal_.isNull()) {
        setFixedSize(normal_.size());
    }
    update();
}

void ImageButton::SetBackdrop(const QColor& color) {
    if (color != backdrop_) {
        backdrop_ = color;
        update();
    }
}

QSize ImageButton::sizeHint() const {
    return normal_.isNull() ? QSize(54, 28) : normal_.size();
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) {
        p.setOpacity(0.35);
    }
    if (backdrop_.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(backdrop_);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
    }
    bool showHover = isEnabled() && (hovered_ || isDown());
    const QPixmap& image = (showHover && !hover_.isNull()) ? hover_ : normal_;
    if (!image.isNull()) {
        if (isDown()) {
            p.translate(0, 1);
        }
        p.drawPixmap(rect(), image);
        return;
    }
    p.setPen(showHover ? QColor(0x1f, 0x6f, 0xd1) : palette().color(QPalette::ButtonText));
    p.drawText(rect(), Qt::AlignCenter, text());
}

void ImageButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace orbisight::ui
