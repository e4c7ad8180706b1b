#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <fstream>
#include <memory>
#include <vector>

#include "app/AutomationScript.h"

namespace orbisight {

class CDlgMyVelaLogin;
class CMyVelaExpertDlg;

// Runs the steps of ORBISIGHT_AUTOMATION against the main window, one after
// the other on the GUI thread's timers (the demo and the end-to-end test
// drive the client this way, never through its command line). A script that
// ends with "quit" runs unattended: its message boxes are answered "Yes"/"OK"
// so nothing waits for a user; other scripts leave them to the user.
// Problems are written to stderr with the prefix "automation:".
class AutomationRunner : public QObject {
    Q_OBJECT
  public:
    AutomationRunner(CMyVelaExpertDlg* window, std::vector<AutomationStep> steps);
    // Reads the environment; returns nullptr when no script is set.
    static AutomationRunner* FromEnvironment(CMyVelaExpertDlg* window);

    void Start();
    bool Finished() const { return next_ >= steps_.size(); }

  private:
    void RunNext();
    bool AllPanesPlaying() const;
    int OnlineCount() const;
    bool HoldUntil(bool ready, const char* missing);
    // Runs one step; returns the pause before the next one in ms.
    int Run(const AutomationStep& step);
    void Login(const std::string& argument, bool press);
    // "playback=ACTION": the "Video playback" window, opened as the toolbar
    // opens it (modal; the script goes on meanwhile).
    void Playback(const std::string& action);
    // "records=ACTION": the record manager ("SD/Cloud Storage(&C)").
    void Records(const std::string& action);
    // "wait-records=WHAT": the record manager shows what was asked.
    bool RecordsReady(const std::string& what) const;
    void TraceRecords();
    void StartTrace(const std::string& file);
    void Trace(const QString& line);
    void TraceLoginDialog(CDlgMyVelaLogin* dialog);

    CMyVelaExpertDlg* window_;
    std::unique_ptr<std::ofstream> trace_;
    QPointer<CDlgMyVelaLogin> tracedDialog_;
    std::vector<AutomationStep> steps_;
    size_t next_ = 0;
    QElapsedTimer clock_;
    // Long enough for a sanitizer build on a busy machine.
    static constexpr qint64 kConditionWaitMs = 180000;
    QElapsedTimer conditionDeadline_;  // running while "wait-lists" or "wait-playing" waits
};

}  // namespace orbisight
