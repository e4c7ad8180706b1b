#include "app/RepaintBatch.h"

#include <algorithm>

namespace orbisight {

RepaintBatch& RepaintBatch::Instance() {
    static RepaintBatch* batch = new RepaintBatch();  // lives as long as the GUI
    return *batch;
}

RepaintBatch::RepaintBatch() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kWindowMs);
    connect(&timer_, &QTimer::timeout, this, [this] { WindowEnded(); });
}

void RepaintBatch::Request(QWidget* widget) {
    if (widget == nullptr) {
        return;
    }
    if (!timer_.isActive()) {
        widget->update();
        timer_.start();
        return;
    }
    // A pane asks at most once per picture and pictures come at 25 a
    // second, so the list stays as short as the wall; the linear search is
    // cheaper than a set.
    if (std::find(pending_.begin(), pending_.end(), widget) == pending_.end()) {
        pending_.emplace_back(widget);
    }
}

void RepaintBatch::WindowEnded() {
    if (pending_.empty()) {
        return;  // quiet: the next request goes through at once
    }
    Flush();
    timer_.start();
}

void RepaintBatch::Flush() {
    timer_.stop();
    std::vector<QPointer<QWidget>> due;
    due.swap(pending_);
    for (const QPointer<QWidget>& widget : due) {
        if (widget && widget->isVisible()) {
            widget->update();
        }
    }
}

}  // namespace orbisight
