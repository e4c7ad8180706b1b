#pragma once

#include <QDialog>
#include <optional>

#include "account/DeviceInfo.h"

class QLineEdit;
class QRadioButton;
class QTreeWidget;
class QLabel;

namespace orbisight {

class CXOMPWorker;

// Adds or edits an entry of the local list: a group or a camera, with its
// parent group chosen in a tree of the local groups.
class CDlgAddLocalInfo : public QDialog {
    Q_OBJECT
  public:
    // Adding below parentGroup (0: top level).
    CDlgAddLocalInfo(CXOMPWorker* worker, int32_t parentGroup, bool group, QWidget* parent);
    // Editing a copy of an existing entry.
    CDlgAddLocalInfo(CXOMPWorker* worker, const DeviceInfo& entry, QWidget* parent);

    // Controls, for tests.
    QLineEdit* GroupNameEdit() const { return groupName_; }
    QLineEdit* IdEdit() const { return id_; }
    QLineEdit* HostEdit() const { return host_; }
    QLineEdit* NameEdit() const { return name_; }
    QLineEdit* PasswordEdit() const { return password_; }
    QRadioButton* GroupChoice() const { return groupChoice_; }
    QRadioButton* DeviceChoice() const { return deviceChoice_; }
    void SelectParent(int32_t groupNumber);
    int32_t SelectedParent() const;

    // The OK step; false keeps the dialog open (a message was shown).
    bool Apply();
    void accept() override;

  private:
    void Build(int32_t parentGroup, bool group);
    void FillGroupTree(int32_t selected);
    void UpdateEnabled();

    CXOMPWorker* worker_;
    std::optional<DeviceInfo> editing_;
    QRadioButton* groupChoice_ = nullptr;
    QRadioButton* deviceChoice_ = nullptr;
    QTreeWidget* groups_ = nullptr;
    QLineEdit* groupName_ = nullptr;
    QLineEdit* id_ = nullptr;
    QLineEdit* host_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* password_ = nullptr;
};

}  // namespace orbisight
