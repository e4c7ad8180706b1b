// Repaint requests of many panes gathered into one repaint per window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QWidget>
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

// Several requests in one window make one repaint per widget, none before
// the window ends; a widget destroyed or hidden meanwhile is left alone.
TEST(RepaintBatch, RequestsInOneWindowRepaintEachWidgetOnce) {
    QWidget host;
    host.resize(300, 100);
    auto* a = new CountingWidget(&host);
    auto* b = new CountingWidget(&host);
    auto* hidden = new CountingWidget(&host);
    a->setGeometry(0, 0, 100, 100);
    b->setGeometry(100, 0, 100, 100);
    hidden->setGeometry(200, 0, 100, 100);
    auto gone = std::make_unique<CountingWidget>(&host);
    gone->setGeometry(250, 0, 10, 10);  // over the hidden one, clear of a and b
    host.show();
    Settle(50);
    a->paints = b->paints = hidden->paints = 0;

    RepaintBatch& batch = RepaintBatch::Instance();
    QElapsedTimer sinceFirst;
    sinceFirst.start();
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
    if (sinceFirst.elapsed() < RepaintBatch::kWindowMs) {
        EXPECT_EQ(a->paints, 0) << "nothing before the window ends";
    }

    Settle(RepaintBatch::kWindowMs * 6);
    EXPECT_EQ(batch.Pending(), 0);
    EXPECT_EQ(a->paints, 1);
    EXPECT_EQ(b->paints, 1);
    EXPECT_EQ(hidden->paints, 0);

    // A new request opens a new window.
    batch.Request(b);
    batch.Flush();
    QApplication::processEvents();
    EXPECT_EQ(b->paints, 2);
    EXPECT_EQ(a->paints, 1);
}

}  // namespace
}  // namespace orbisight
