#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace orbisight {

// Gathers the repaint requests of a wall's panes into at most one repaint
// every few milliseconds. Pictures reach a wall of 64 cameras 1600 times a
// second at random moments; asked for one by one, each would cost a whole
// repaint cycle (region bookkeeping, a flush to the display server).
//
// A request while the batch is quiet is passed on at once and opens a
// window of kWindowMs; requests within it are gathered and passed on
// together when it ends, which opens the next window if there were any. So
// a single camera's pictures (40 ms apart) are painted without delay, and
// a busy wall waits at most kWindowMs per picture.
//
// GUI thread only.
class RepaintBatch : public QObject {
  public:
    static constexpr int kWindowMs = 8;

    static RepaintBatch& Instance();

    // The widget is repainted now, or at the end of the open window. A
    // widget destroyed or hidden meanwhile is skipped.
    void Request(QWidget* widget);

    // Passes on everything pending now and closes the window.
    void Flush();

    int Pending() const { return static_cast<int>(pending_.size()); }
    // No window is open: the next request goes through at once.
    bool Quiet() const { return !timer_.isActive(); }

  private:
    RepaintBatch();
    void WindowEnded();

    QTimer timer_;
    std::vector<QPointer<QWidget>> pending_;
};

}  // namespace orbisight
