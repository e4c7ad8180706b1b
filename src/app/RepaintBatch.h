#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace orbisight {

// Gathers the repaint requests of a wall's panes into one repaint every few
// milliseconds. Pictures reach a wall of 64 cameras 1600 times a second at
// random moments; asked for one by one, each would cost a whole repaint
// cycle (region bookkeeping, a flush to the display server). Batched, one
// cycle paints every pane whose picture came in during the window, for at
// most kWindowMs of added latency.
//
// GUI thread only.
class RepaintBatch : public QObject {
  public:
    static constexpr int kWindowMs = 8;

    static RepaintBatch& Instance();

    // The widget is repainted at the end of the current window (one is
    // opened if none is). A widget destroyed meanwhile is skipped.
    void Request(QWidget* widget);

    // Repaints everything pending now (tests, and before a snapshot of the
    // window).
    void Flush();

    int Pending() const { return static_cast<int>(pending_.size()); }

  private:
    RepaintBatch();

    QTimer timer_;
    std::vector<QPointer<QWidget>> pending_;
};

}  // namespace orbisight
