#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <filesystem>
#include <functional>
#include <string>

#include "ui/MessageBoxes.h"

namespace orbisight::testing {

// Runs the event loop until done() or the time-out; true when done.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qWait(5);
    }
    return true;
}

// A temporary folder, removed with its contents.
class TempFolder {
  public:
    TempFolder() {
        char pattern[] = "/tmp/orbisight-widgets-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Answers message boxes for a test and records what was asked.
class MessageRecorder {
  public:
    explicit MessageRecorder(ui::MessageAnswer yesNoAnswer = ui::MessageAnswer::kYes)
        : answer_(yesNoAnswer) {
        ui::SetMessageResponder([this](const ui::MessageRequest& r) {
            asked.push_back(r);
            return r.buttons == ui::MessageButtons::kYesNo ? answer_ : ui::MessageAnswer::kOk;
        });
    }
    ~MessageRecorder() { ui::SetMessageResponder({}); }
    void SetAnswer(ui::MessageAnswer answer) { answer_ = answer; }

    std::vector<ui::MessageRequest> asked;

  private:
    ui::MessageAnswer answer_;
};

}  // namespace orbisight::testing
