#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace orbisight {

// The small window that shows the download of the account's device details:
// "Synchronization Progress： C/T,   P%". It hides itself when the count is
// complete, or one second after the last update, and then asks for the
// on-line states (the done signal).
class CDeviceSyncDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kQuietMs = 1000;

    explicit CDeviceSyncDlg(QWidget* parent);

    // One update with the entries counted so far and the expected total.
    // Nothing happens while the total is unknown (0).
    void Update(int counted, int total);

    static QString ProgressText(int counted, int total);
    QString Text() const;
    int Value() const;
    int Maximum() const;

  signals:
    // The window hid itself: the list download is over.
    void done();

  private:
    void Finish();

    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QTimer quiet_;
    bool finished_ = false;  // done() sent for the current round
};

}  // namespace orbisight
