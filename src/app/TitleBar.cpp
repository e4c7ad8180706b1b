#include "app/TitleBar.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui/ImageButton.h"
#include "ui/SkinImages.h"

namespace orbisight {

TitleBar::TitleBar(QWidget* parent) : QWidget(parent) {
    setFixedHeight(kHeight);
    minimize_ = new ui::ImageButton(kMinimize, "Title-BtnMin-01.png", this);
    minimize_->setToolTip("Minimize");
    maximize_ = new ui::ImageButton(kMaximize, "Title-BtnMax-01.png", this);
    maximize_->setToolTip("Maximize");
    close_ = new ui::ImageButton(kClose, "Title-BtnClose-01.png", this);
    close_->setToolTip("Close");
    for (ui::ImageButton* b : {minimize_, maximize_, close_}) {
        connect(b, &QAbstractButton::clicked, this, [this, b] { emit command(b->CommandId()); });
    }
    account_ = new QLabel(this);
    account_->setAlignment(Qt::AlignCenter);
    account_->setStyleSheet("color: #c9d6ea;");
    account_->setCursor(Qt::PointingHandCursor);
    account_->setToolTip("Account");
    account_->installEventFilter(this);
}

bool TitleBar::eventFilter(QObject* watched, QEvent* event) {
    // A click on the account label opens the account: the user information
    // when logged in, else the login dialog (the main window decides).
    if (watched == account_ && (event->type() == QEvent::MouseButtonPress ||
                                event->type() == QEvent::MouseButtonRelease)) {
        // The press stays with the label: on the bar it would start moving
        // the window.
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            emit accountClicked();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

ui::ImageButton* TitleBar::Button(int id) const {
    switch (id) {
        case kMinimize:
            return minimize_;
        case kMaximize:
            return maximize_;
        case kClose:
            return close_;
        default:
            return nullptr;
    }
}

void TitleBar::SetAccountText(const QString& text) {
    account_->setText(text);
}

QString TitleBar::AccountText() const {
    return account_->text();
}

void TitleBar::SetMaximized(bool maximized) {
    maximize_->SetImages(maximized ? "Title-BtnRestore-01.png" : "Title-BtnMax-01.png");
    maximize_->setToolTip(maximized ? "Restore Down" : "Maximize");
}

void TitleBar::resizeEvent(QResizeEvent*) {
    int w = width();
    minimize_->move(w - 117, 1);
    maximize_->move(w - 79, 1);
    close_->move(w - 41, 1);
    account_->setGeometry((w - 3) / 2 - 55 - 100, 6, 310, 24);
}

void TitleBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    int w = width();
    QPixmap header = ui::SkinImages::Get("Title-Header.png");
    QPixmap mid = ui::SkinImages::Get("Title-Mid.png");
    QPixmap back = ui::SkinImages::Get("TitleBack.png");
    if (header.isNull() || mid.isNull() || back.isNull()) {
        p.fillRect(rect(), QColor(0x15, 0x22, 0x3b));
        p.setPen(Qt::white);
        p.drawText(rect().adjusted(12, 0, 0, 0), Qt::AlignVCenter, "Orbisight Cloud System");
        return;
    }
    p.drawPixmap(318, 0, w - 18 - 318, kHeight, mid);
    p.drawPixmap(0, 0, header);
    p.drawPixmap(w - 18, 0, back);
}

void TitleBar::mousePressEvent(QMouseEvent* event) {
    QWidget* top = window();
    if (event->button() == Qt::LeftButton && top->windowHandle()) {
        top->windowHandle()->startSystemMove();
    }
}

void TitleBar::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit command(kMaximize);
    }
}

void TitleBar::contextMenuEvent(QContextMenuEvent* event) {
    // The window menu of a frameless window: a separator and "About".
    QMenu menu(this);
    menu.addAction("Minimize", this, [this] { emit command(kMinimize); });
    menu.addAction(window()->isMaximized() ? "Restore" : "Maximize", this,
                   [this] { emit command(kMaximize); });
    menu.addAction("Close", this, [this] { emit command(kClose); });
    menu.addSeparator();
    menu.addAction("About", this, &TitleBar::aboutRequested);
    menu.exec(event->globalPos());
}

}  // namespace orbisight
