#pragma once

#include <QColor>
#include <QPropertyAnimation>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <memory>

class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace orbisight {

class AlarmList;

// The alarm window: a panel along the bottom of the main window that slides
// up with the alarms of the run, newest first, and slides away again five
// seconds after the pointer has left it (or at once with its "X"). Its rows
// name their alarm by the history's key, so alarms arriving or dropped
// meanwhile never make a row act on another alarm. A right click offers
// "Delete Item" and "Clear All"; a double click asks for the camera.
class CAlarmHistoryDlg : public QWidget {
    Q_OBJECT
  public:
    // Placement in the main window's client area.
    static constexpr int kBottomOffset = 250;  // top = client height - 250
    static constexpr int kHeight = 248;
    static constexpr int kCloseWidth = 42;
    static constexpr int kCloseHeight = 20;
    static constexpr int kListX = 20;
    static constexpr int kListY = 25;
    static constexpr int kSlideMs = 1500;
    static constexpr int kAutoHideMs = 5000;
    // Column widths: the content takes the list width less this.
    static constexpr int kIdWidth = 130;
    static constexpr int kTitleWidth = 100;
    static constexpr int kContentWidth = 210;
    static constexpr int kTimeWidth = 140;
    static constexpr int kContentLess = 390;
    // "Clear All" removes this file from the data folder when it is there.
    static constexpr const char* kAlarmFile = "XOMPAlarm.dba";
    static inline const QColor kBackground{0, 102, 153};
    enum Column { kColumnId = 0, kColumnTitle, kColumnContent, kColumnTime };

    // alarms may be null (no session): then delete and clear do nothing.
    CAlarmHistoryDlg(AlarmList* alarms, std::filesystem::path dataFolder, QWidget* mainWindow);
    ~CAlarmHistoryDlg() override;

    // Places the window, fills the list, restarts the auto-hide timer and,
    // when it is not up, slides it up.
    void ShowAlarms();
    // Slides the window down (the close button and the auto-hide).
    void HideAlarms();
    // Places it again for the main window's size (move and resize).
    void Place();
    // Fills the rows from the history, newest first.
    void Refill();
    // The rectangle the window takes when up, in the main window.
    QRect UpGeometry() const;
    // Up, or sliding up (false while sliding down and when hidden).
    bool Up() const { return up_; }
    bool Sliding() const;
    int SlideDurationMs() const { return slideMs_; }
    int AutoHideMs() const { return autoHide_.interval(); }

    QTreeWidget* List() const { return list_; }
    QPushButton* CloseButton() const { return close_; }
    // The history key a row names (0 for none).
    static uint64_t KeyOf(const QTreeWidgetItem* row);
    // "Delete Item" on a row; "Clear All".
    void DeleteRow(QTreeWidgetItem* row);
    void ClearAll();
    // The context menu for a right click on row (null: outside any row).
    std::unique_ptr<QMenu> ContextMenu(QTreeWidgetItem* row);
    // The double click on a row: asks for its camera, unless its alarm is
    // gone.
    void OpenRow(QTreeWidgetItem* row);

    // Tests shorten the waits (the defaults are the ones above).
    void SetTimings(int slideMs, int autoHideMs);
    bool PointerInside() const { return pointerInside_; }

  signals:
    void openCameraRequested(const QString& deviceId);
    // After every refill, with the number of rows (the automation trace).
    void refilled(int rows);

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void LayOut();
    void AutoHideTick();
    void Slide(bool up);

    AlarmList* alarms_;
    std::filesystem::path dataFolder_;
    QWidget* mainWindow_;
    QTreeWidget* list_ = nullptr;
    QPushButton* close_ = nullptr;
    QTimer autoHide_;
    QPropertyAnimation slide_;
    int slideMs_ = kSlideMs;
    bool up_ = false;
    bool pointerInside_ = false;
};

}  // namespace orbisight
