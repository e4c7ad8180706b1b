#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <vector>

#include "app/AutomationScript.h"

namespace orbisight {

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
    // Runs one step; returns the pause before the next one in ms.
    int Run(const AutomationStep& step);

    CMyVelaExpertDlg* window_;
    std::vector<AutomationStep> steps_;
    size_t next_ = 0;
    QElapsedTimer clock_;
};

}  // namespace orbisight
