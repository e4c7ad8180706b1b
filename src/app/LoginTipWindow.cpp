#include "app/LoginTipWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace orbisight {

LoginTipWindow::LoginTipWindow(QWidget* parent) : QFrame(parent) {
    setObjectName("loginTip");
    setStyleSheet(
        "#loginTip { background: #fff8e1; border: 1px solid #f0d48a; border-radius: 4px; }"
        "#loginTip QLabel { color: #6b4e00; }"
        "#loginTip QToolButton { border: none; color: #8a6d1f; font-weight: bold; }");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 6, 6);
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    close_ = new QToolButton(this);
    close_->setText(QString::fromUtf8("\xC3\x97"));  // ×
    close_->setToolTip("Close");
    close_->setAutoRaise(true);
    row->addWidget(text_, 1);
    row->addWidget(close_, 0, Qt::AlignTop);
    connect(close_, &QToolButton::clicked, this, &QWidget::hide);
    hide();
}

void LoginTipWindow::ShowTip(const QString& text, bool closable) {
    text_->setText(text);
    close_->setVisible(closable);
    show();
}

QString LoginTipWindow::Text() const {
    return text_->text();
}

bool LoginTipWindow::Closable() const {
    return !close_->isHidden();
}

}  // namespace orbisight
