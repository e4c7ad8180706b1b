#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QLineEdit;
class QPushButton;

namespace orbisight {

class CXOMPWorker;

// Binds a camera to an account or unbinds it: device ID, account and
// password (the session's by default). An unbind that succeeds asks the
// device tree to drop the camera's item.
class CDlgDeviceBind : public QDialog {
    Q_OBJECT
  public:
    enum class Mode { kBind, kUnbind };

    // deviceId may be empty (the last ID used, at first "000000000001");
    // treeItem is the tree's handle of the camera's item (unbind).
    CDlgDeviceBind(CXOMPWorker* worker, Mode mode, const std::string& deviceId, intptr_t treeItem,
                   QWidget* parent);

    // The OK step; false keeps the dialog open (a message was shown).
    bool Submit();
    void accept() override;

    // The ID that a successful bind or unbind leaves for the next dialog
    // opened without one.
    static std::string LastUsedId();

    QLineEdit* DeviceIdEdit() const { return idEdit_; }
    QLineEdit* AccountEdit() const { return accountEdit_; }
    QLineEdit* PasswordEdit() const { return passwordEdit_; }
    QPushButton* OkButton() const { return ok_; }

  signals:
    // An unbind succeeded for this device ID.
    void unbound(const QString& deviceId);

  private:
    CXOMPWorker* worker_;
    Mode mode_;
    intptr_t treeItem_;
    QLineEdit* idEdit_ = nullptr;
    QLineEdit* accountEdit_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace orbisight
