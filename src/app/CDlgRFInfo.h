#pragma once

#include <QWidget>

#include "device/RfList.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace orbisight {

// One accessory type's page of the RF dialog: the page title, "Name:"
// (editable), "RFID:" (shown only) and "Status:" with its "Enable" box.
class CDlgRFInfo : public QWidget {
    Q_OBJECT
  public:
    explicit CDlgRFInfo(const QString& title, QWidget* parent = nullptr);

    // Shows an accessory's values.
    void ShowEntry(const RfEntry& entry);
    // The values as the user left them: the name in UTF-8, the box.
    std::string Name() const;
    bool Enabled() const;
    // True when the page differs from the entry.
    bool DiffersFrom(const RfEntry& entry) const;

    QLineEdit* NameEdit() const { return name_; }
    QLineEdit* IdEdit() const { return id_; }
    QCheckBox* EnableBox() const { return enable_; }
    QLabel* Title() const { return title_; }

  private:
    QLabel* title_;
    QLineEdit* name_;
    QLineEdit* id_;
    QCheckBox* enable_;
};

}  // namespace orbisight
