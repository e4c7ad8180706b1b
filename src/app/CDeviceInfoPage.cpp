#include "app/CDeviceInfoPage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>

namespace orbisight {

CDeviceInfoPage::CDeviceInfoPage(params::Page page, QWidget* parent)
    : QWidget(parent), page_(page), form_(new QFormLayout(this)) {
    setObjectName(QString::fromUtf8(std::string(params::PageTitle(page)).c_str()));
}

void CDeviceInfoPage::Bind(Fill fill, Store store) {
    fills_.push_back(std::move(fill));
    stores_.push_back(std::move(store));
}

void CDeviceInfoPage::Load(const PageBlocks& blocks) {
    loading_ = true;
    for (const auto& fill : fills_) {
        if (fill) {
            fill(blocks);
        }
    }
    loading_ = false;
    changed_ = false;
}

bool CDeviceInfoPage::StoreInto(PageBlocks& blocks, QString* error) {
    for (const auto& store : stores_) {
        if (store && !store(blocks, error)) {
            return false;
        }
    }
    return true;
}

void CDeviceInfoPage::SetChanged(bool changed) {
    changed_ = changed;
}

void CDeviceInfoPage::Watch(QWidget* control) {
    auto mark = [this] {
        if (!loading_) {
            changed_ = true;
            emit changedByUser(this);
        }
    };
    // Only the user's edits: the fill steps run with loading_ set, and
    // programmatic list rebuilds happen inside them.
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
        connect(line, &QLineEdit::textEdited, this, mark);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        connect(combo, &QComboBox::activated, this, mark);
        if (combo->isEditable()) {
            connect(combo, &QComboBox::editTextChanged, this, mark);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        connect(button, &QAbstractButton::toggled, this, mark);
    } else if (auto* time = qobject_cast<QDateTimeEdit*>(control)) {
        connect(time, &QDateTimeEdit::dateTimeChanged, this, mark);
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
        connect(spin, &QSpinBox::valueChanged, this, mark);
    }
}

QLineEdit* CDeviceInfoPage::AddLine(const QString& label, const QString& name,
                                    std::function<std::string(const PageBlocks&)> get,
                                    std::function<void(PageBlocks&, const std::string&)> set) {
    auto* line = new QLineEdit(this);
    line->setObjectName(name);
    form_->addRow(label, line);
    Watch(line);
    Bind([line, get](const PageBlocks& b) { line->setText(QString::fromStdString(get(b))); },
         [line, set](PageBlocks& b, QString*) {
             if (set) {
                 set(b, line->text().toStdString());
             }
             return true;
         });
    return line;
}

QCheckBox* CDeviceInfoPage::AddCheck(const QString& label, const QString& text, const QString& name,
                                     std::function<bool(const PageBlocks&)> get,
                                     std::function<void(PageBlocks&, bool)> set) {
    auto* check = new QCheckBox(text, this);
    check->setObjectName(name);
    form_->addRow(label, check);
    Watch(check);
    Bind([check, get](const PageBlocks& b) { check->setChecked(get(b)); },
         [check, set](PageBlocks& b, QString*) {
             set(b, check->isChecked());
             return true;
         });
    return check;
}

QComboBox* CDeviceInfoPage::AddCombo(const QString& label, const QString& name,
                                     const std::vector<QString>& items,
                                     std::function<int(const PageBlocks&)> get,
                                     std::function<void(PageBlocks&, int)> set,
                                     const std::vector<int>& values) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(name);
    for (size_t i = 0; i < items.size(); ++i) {
        combo->addItem(items[i], i < values.size() ? values[i] : static_cast<int>(i));
    }
    form_->addRow(label, combo);
    Watch(combo);
    // A stored value the list does not know shows no item and is kept.
    Bind([combo, get](const PageBlocks& b) { combo->setCurrentIndex(combo->findData(get(b))); },
         [combo, set](PageBlocks& b, QString*) {
             if (combo->currentIndex() >= 0) {
                 set(b, combo->currentData().toInt());
             }
             return true;
         });
    return combo;
}

}  // namespace orbisight
