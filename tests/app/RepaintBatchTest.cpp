// Repaint requests of many panes gathered into one repaint per window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/RepaintBatch.h"

namespace orbisight {
namespace {

class CountingWidget : public QWidget {
  public:
    using QWidget::QWidget;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

void Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// Runs the event loop until done() holds (a loaded machine fires timers
// late) or 5 s have passed.
bool SettleUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

// The first request of a quiet batch goes through at once and opens a
// window; requests within it make one repaint per widget when it ends, and
// a widget destroyed or hidden meanwhile is left alone.
TEST(RepaintBatch, RequestsInOneWindowRepaintEachWidgetOnce) {
    QWidget host;
    host.resize(300, 100);
    auto* first = new CountingWidget(&host);
    auto* a = new CountingWidget(&host);
    auto* b = new CountingWidget(&host);
    auto* hidden = new CountingWidget(&host);
    first->setGeometry(0, 50, 100, 50);
    a->setGeometry(0, 0, 100, 50);
    b->setGeometry(100, 0, 100, 100);
    hidden->setGeometry(200, 0, 100, 100);
    auto gone = std::make_unique<CountingWidget>(&host);
    gone->setGeometry(250, 0, 10, 10);  // over the hidden one, clear of the others
    host.show();
    Settle(50);
    RepaintBatch& batch = RepaintBatch::Instance();
    batch.Flush();
    Settle(20);
    ASSERT_TRUE(batch.Quiet());
    first->paints = a->paints = b->paints = hidden->paints = 0;

    QElapsedTimer sinceFirst;
    sinceFirst.start();
    batch.Request(first);
    EXPECT_EQ(batch.Pending(), 0) << "passed on at once";
    batch.Request(a);
    batch.Request(b);
    batch.Request(a);
    batch.Request(gone.get());
    batch.Request(hidden);
    batch.Request(nullptr);
    EXPECT_EQ(batch.Pending(), 4);
    gone.reset();
    hidden->hide();
    QApplication::processEvents();
    EXPECT_EQ(first->paints, 1);
    if (sinceFirst.elapsed() < RepaintBatch::kWindowMs) {
        EXPECT_EQ(a->paints, 0) << "nothing else before the window ends";
    }

    ASSERT_TRUE(SettleUntil([&] { return batch.Quiet() && a->paints > 0 && b->paints > 0; }));
    Settle(20);
    EXPECT_EQ(batch.Pending(), 0);
    EXPECT_EQ(first->paints, 1);
    EXPECT_EQ(a->paints, 1);
    EXPECT_EQ(b->paints, 1);
    EXPECT_EQ(hidden->paints, 0);

    // Quiet again: the next request goes through at once.
    batch.Request(b);
    QApplication::processEvents();
    EXPECT_EQ(b->paints, 2);
    EXPECT_EQ(a->paints, 1);
}

}  // namespace
}  // namespace orbisight
