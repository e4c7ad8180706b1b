#include "app/CDlgRFInfo.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace orbisight {

CDlgRFInfo::CDlgRFInfo(const QString& title, QWidget* parent) : QWidget(parent) {
    title_ = new QLabel(title, this);
    name_ = new QLineEdit(this);
    id_ = new QLineEdit(this);
    id_->setEnabled(false);
    enable_ = new QCheckBox("Enable", this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(title_, 0, 0, 1, 2);
    grid->addWidget(new QLabel("Name:", this), 1, 0);
    grid->addWidget(name_, 1, 1);
    grid->addWidget(new QLabel("RFID:", this), 2, 0);
    grid->addWidget(id_, 2, 1);
    grid->addWidget(new QLabel("Status:", this), 3, 0);
    grid->addWidget(enable_, 3, 1);
    grid->setRowStretch(4, 1);
}

void CDlgRFInfo::ShowEntry(const RfEntry& entry) {
    std::string_view name = entry.Name();
    name_->setText(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    id_->setText(QString::fromStdString(entry.id));
    enable_->setChecked(entry.Enabled());
}

std::string CDlgRFInfo::Name() const {
    return name_->text().toStdString();
}

bool CDlgRFInfo::Enabled() const {
    return enable_->isChecked();
}

bool CDlgRFInfo::DiffersFrom(const RfEntry& entry) const {
    // Compared as the page shows it, so a name that is not valid UTF-8 is
    // not taken for a change when the user did not touch it.
    std::string_view name = entry.Name();
    return name_->text() != QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) ||
           Enabled() != entry.Enabled();
}

}  // namespace orbisight
