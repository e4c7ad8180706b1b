#include "app/CDeviceSyncDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

namespace orbisight {

CDeviceSyncDlg::CDeviceSyncDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Synchronization");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    text_ = new QLabel(ProgressText(0, 0), this);
    bar_ = new QProgressBar(this);
    bar_->setTextVisible(false);
    bar_->setRange(0, 1);
    bar_->setValue(0);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    setFixedSize(340, 86);
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &CDeviceSyncDlg::Finish);
}

QString CDeviceSyncDlg::ProgressText(int counted, int total) {
    double percent = total != 0 ? 100.0 * counted / total : 0.0;
    return QString::fromUtf8("Synchronization Progress\xEF\xBC\x9A %1/%2,   %3%")
        .arg(counted)
        .arg(total)
        .arg(percent, 0, 'f', 2);
}

void CDeviceSyncDlg::Update(int counted, int total) {
    if (total == 0) {
        return;
    }
    bar_->setRange(0, total);
    bar_->setValue(std::min(counted, total));
    text_->setText(ProgressText(counted, total));
    quiet_.stop();
    if (counted >= total) {
        Finish();
        return;
    }
    finished_ = false;
    if (parentWidget() && !isVisible()) {
        QWidget* top = parentWidget()->window();
        QRect area = top->geometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    quiet_.start(kQuietMs);
}

void CDeviceSyncDlg::Finish() {
    quiet_.stop();
    hide();
    // Counts read later than their notices may pass the total more than
    // once: the download is reported over once per round.
    if (!finished_) {
        finished_ = true;
        emit done();
    }
}

QString CDeviceSyncDlg::Text() const {
    return text_->text();
}

int CDeviceSyncDlg::Value() const {
    return bar_->value();
}

int CDeviceSyncDlg::Maximum() const {
    return bar_->maximum();
}

}  // namespace orbisight
