#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "account/DeviceInfo.h"
#include "account/SessionLists.h"
#include "app/LoopSchedule.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace orbisight {

struct UserLoginInfo;

// The loop play selection: a tree of the cameras with check boxes (only
// on-line cameras can be chosen), the sources, the pictures per screen, the
// slide and snapshot periods and the auto record / auto snap / full screen
// choices. In normal mode OK hands the chosen cameras to loop play; in
// auto-connect mode it edits the auto-connect block of the saved login in
// use, which starts loop play after that account logs in.
class CDlgLoopPlaySetting : public QDialog {
    Q_OBJECT
  public:
    enum class Mode { kNormal, kAutoConnect };
    // The session's lists as they are now (copies).
    using ListSource = std::function<std::vector<DeviceInfo>(DeviceListKind)>;

    static constexpr int kSpinMin = 5;
    static constexpr int kSpinMax = 30;
    static constexpr const char* kNoneChosenText = " At least choose one device! ";
    static constexpr const char* kNormalTitle =
        "Orbisight Cloud System - Loop play switch settings";
    static constexpr const char* kAutoConnectTitle = "Auto connect device management when start";

    // login: the saved login in use (auto-connect mode only; must not be null
    // there).
    CDlgLoopPlaySetting(Mode mode, ListSource lists, bool publicShown, UserLoginInfo* login,
                        QWidget* parent);

    // Normal mode, after OK: the chosen cameras in tree order and the values.
    const std::vector<DeviceInfo>& Chosen() const { return chosen_; }
    LoopOptions Options() const;

    // The buttons, for tests and the automation.
    void SelectAll();
    void InvertSelect();
    void Refresh();
    // Checked on-line cameras.
    int CheckedCount() const;
    // The "too many for the saved login" text for a count of chosen cameras.
    static QString TooManyText(int chosen);
    // The "cannot be kept" text for the chosen cameras whose IDs do not fit
    // the saved login's 31-character field.
    static QString TooLongText(const std::vector<std::string>& ids);

    QTreeWidget* Tree() const { return tree_; }
    QLabel* ChosenLabel() const { return chosenLabel_; }
    QSpinBox* SlideMinutes() const { return slide_; }
    QSpinBox* SnapSeconds() const { return snap_; }
    QRadioButton* PicturesButton(int n) const;
    QCheckBox* AutoRecordBox() const { return autoRecord_; }
    QCheckBox* AutoSnapBox() const { return autoSnap_; }
    QCheckBox* FullScreenBox() const { return fullScreen_; }
    QCheckBox* SourceBox(DeviceListKind kind) const;

    void accept() override;

  private:
    void Rebuild(const std::vector<std::string>& checkedIds);
    void AddBranch(DeviceListKind kind);
    void OnItemChanged(QTreeWidgetItem* item);
    void SetSubtree(QTreeWidgetItem* item, Qt::CheckState state);
    void UpdateParents();
    void UpdateLabel();
    std::vector<QTreeWidgetItem*> DeviceItems() const;
    const DeviceInfo* RecordOf(QTreeWidgetItem* item) const;
    std::vector<const DeviceInfo*> CheckedDevices() const;
    std::vector<std::string> CheckedIds() const;

    Mode mode_;
    ListSource lists_;
    bool publicShown_;
    UserLoginInfo* login_;
    QTreeWidget* tree_ = nullptr;
    QCheckBox* sourceMy_ = nullptr;
    QCheckBox* sourceLocal_ = nullptr;
    QCheckBox* sourcePublic_ = nullptr;  // only while the public list is shown
    QLabel* chosenLabel_ = nullptr;
    QButtonGroup* pictures_ = nullptr;
    QSpinBox* slide_ = nullptr;
    QSpinBox* snap_ = nullptr;
    QCheckBox* autoRecord_ = nullptr;
    QCheckBox* autoSnap_ = nullptr;
    QCheckBox* fullScreen_ = nullptr;
    // The records the tree shows, by list; items name them by index.
    std::vector<DeviceInfo> records_[3];
    bool updating_ = false;
    std::vector<DeviceInfo> chosen_;
};

}  // namespace orbisight
