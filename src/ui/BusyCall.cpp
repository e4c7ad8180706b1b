#include "ui/BusyCall.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>
#include <thread>

namespace orbisight::ui {
namespace {

// Keeps the dialog from closing (the window's close box) while the call runs.
class CloseBlocker : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int RunBusy(QWidget* dialog, const std::function<int()>& call) {
    QEventLoop loop;
    int result = 0;
    CloseBlocker blocker;
    QPointer<QWidget> guarded(dialog);
    bool wasEnabled = dialog->isEnabled();
    dialog->installEventFilter(&blocker);
    dialog->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);

    std::thread worker([&] {
        result = call();
        // Queued to the loop's thread: the loop may not have started yet,
        // and then quits as soon as it does.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    // Input keeps flowing (a disabled dialog drops it; held back, it would be
    // replayed afterwards and press a button twice).
    loop.exec();
    worker.join();

    QApplication::restoreOverrideCursor();
    if (guarded) {
        guarded->removeEventFilter(&blocker);
        guarded->setEnabled(wasEnabled);
    }
    return result;
}

}  // namespace orbisight::ui
