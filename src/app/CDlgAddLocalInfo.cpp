#include "app/CDlgAddLocalInfo.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <map>

#include "account/CXOMPWorker.h"
#include "ui/MessageBoxes.h"
#include "ui/SkinImages.h"

namespace orbisight {

CDlgAddLocalInfo::CDlgAddLocalInfo(CXOMPWorker* worker, int32_t parentGroup, bool group,
                                   QWidget* parent)
    : QDialog(parent), worker_(worker) {
    Build(parentGroup, group);
}

CDlgAddLocalInfo::CDlgAddLocalInfo(CXOMPWorker* worker, const DeviceInfo& entry, QWidget* parent)
    : QDialog(parent), worker_(worker), editing_(entry) {
    Build(entry.parentGroup, entry.isGroup != 0);
}

void CDlgAddLocalInfo::Build(int32_t parentGroup, bool group) {
    bool edit = editing_.has_value();
    setWindowTitle(edit ? (group ? "Edit Group" : "Edit Device")
                        : (group ? "Add Group" : "Add Device"));
    auto* layout = new QVBoxLayout(this);

    auto* choice = new QHBoxLayout;
    groupChoice_ = new QRadioButton(edit && group ? "Edit Group" : "Group", this);
    deviceChoice_ = new QRadioButton(edit && !group ? "Edit Device" : "Device", this);
    (group ? groupChoice_ : deviceChoice_)->setChecked(true);
    choice->addWidget(groupChoice_);
    choice->addWidget(deviceChoice_);
    choice->addStretch();
    layout->addLayout(choice);

    auto* parentBox = new QGroupBox("Parent group", this);
    auto* parentLayout = new QVBoxLayout(parentBox);
    groups_ = new QTreeWidget(parentBox);
    groups_->setHeaderHidden(true);
    groups_->setMinimumHeight(140);
    parentLayout->addWidget(groups_);
    layout->addWidget(parentBox);

    auto* form = new QFormLayout;
    groupName_ = new QLineEdit(this);
    id_ = new QLineEdit(this);
    host_ = new QLineEdit(this);
    host_->setPlaceholderText("192.168.1.20 or host:port");
    name_ = new QLineEdit(this);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    form->addRow("Group name:", groupName_);
    form->addRow("Device ID:", id_);
    form->addRow("Host address:", host_);
    form->addRow("Name:", name_);
    form->addRow("Password:", password_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    if (edit) {
        buttons->button(QDialogButtonBox::Ok)->setText("Edit");
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    if (edit) {
        // The kind of entry and a camera's ID are what identify it.
        groupChoice_->setEnabled(false);
        deviceChoice_->setEnabled(false);
        id_->setEnabled(false);
        QString name = QString::fromUtf8(editing_->DisplayName().c_str());
        if (group) {
            groupName_->setText(name);
        } else {
            id_->setText(QString::fromUtf8(std::string(editing_->Id()).c_str()));
            host_->setText(QString::fromUtf8(std::string(editing_->HostAddress()).c_str()));
            name_->setText(name);
            password_->setText(QString::fromUtf8(std::string(editing_->Password()).c_str()));
        }
    }
    connect(groupChoice_, &QRadioButton::toggled, this, [this] { UpdateEnabled(); });
    FillGroupTree(parentGroup);
    UpdateEnabled();
    resize(380, 460);
}

void CDlgAddLocalInfo::UpdateEnabled() {
    bool group = groupChoice_->isChecked();
    groupName_->setEnabled(group);
    id_->setEnabled(!group && !editing_);
    host_->setEnabled(!group);
    name_->setEnabled(!group);
    password_->setEnabled(!group);
}

void CDlgAddLocalInfo::FillGroupTree(int32_t selected) {
    groups_->clear();
    auto* root = new QTreeWidgetItem(groups_, QStringList("Local Group Root"));
    root->setData(0, Qt::UserRole, 0);
    root->setIcon(0, QIcon(ui::SkinImages::Get("Tree-RootLocal.png")));
    std::vector<DeviceInfo> local = worker_->SnapshotList(DeviceListKind::kLocal);
    std::map<int32_t, QTreeWidgetItem*> items;
    items[0] = root;
    // Groups may be listed before their parents: place them in passes.
    std::vector<const DeviceInfo*> pending;
    for (const DeviceInfo& r : local) {
        bool self =
            editing_ && editing_->isGroup && r.isGroup && r.groupNumber == editing_->groupNumber;
        if (r.isGroup && !self) {
            pending.push_back(&r);
        }
    }
    bool placed = true;
    while (placed && !pending.empty()) {
        placed = false;
        for (auto it = pending.begin(); it != pending.end();) {
            auto parent = items.find((*it)->parentGroup);
            if (parent == items.end()) {
                ++it;
                continue;
            }
            auto* item = new QTreeWidgetItem(
                parent->second, QStringList(QString::fromUtf8((*it)->DisplayName().c_str())));
            item->setData(0, Qt::UserRole, (*it)->groupNumber);
            item->setIcon(0, QIcon(ui::SkinImages::Get("Tree-Group.png")));
            items[(*it)->groupNumber] = item;
            it = pending.erase(it);
            placed = true;
        }
    }
    groups_->expandAll();
    SelectParent(selected);
}

void CDlgAddLocalInfo::SelectParent(int32_t groupNumber) {
    QTreeWidgetItemIterator it(groups_);
    while (*it) {
        if ((*it)->data(0, Qt::UserRole).toInt() == groupNumber) {
            groups_->setCurrentItem(*it);
            return;
        }
        ++it;
    }
    groups_->setCurrentItem(groups_->topLevelItem(0));
}

int32_t CDlgAddLocalInfo::SelectedParent() const {
    QTreeWidgetItem* item = groups_->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : 0;
}

bool CDlgAddLocalInfo::Apply() {
    int32_t parent = SelectedParent();
    if (groupChoice_->isChecked()) {
        std::string name = groupName_->text().trimmed().toStdString();
        if (name.empty()) {
            ui::ShowNote(this, "Note", "Please enter a group name.", ui::MessageIcon::kWarning);
            return false;
        }
        if (editing_) {
            worker_->Lists().EditLocalGroup(LocalEntryRef::Of(*editing_), name, parent);
            return true;
        }
        if (worker_->AddLocalGroup(name, parent) != 0) {
            ui::ShowNote(this, "Note", "Add group failed!", ui::MessageIcon::kWarning);
            return false;
        }
        return true;
    }
    std::string id = id_->text().trimmed().toStdString();
    if (id.empty()) {
        ui::ShowNote(this, "Note", "Please enter the device ID.", ui::MessageIcon::kWarning);
        return false;
    }
    std::string host = host_->text().trimmed().toStdString();
    std::string name = name_->text().trimmed().toUtf8().toStdString();
    std::string password = password_->text().toStdString();
    if (worker_->AddLocalDevice(id, host, name, password, parent) != 1) {
        ui::ShowNote(this, "Note", "Add device failed!", ui::MessageIcon::kWarning);
        return false;
    }
    if (editing_) {
        LocalEntryRef ref;
        ref.id = id;
        worker_->Lists().SetLocalParent(ref, parent, true);
    }
    return true;
}

void CDlgAddLocalInfo::accept() {
    if (Apply()) {
        QDialog::accept();
    }
}

}  // namespace orbisight
