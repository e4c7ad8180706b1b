#include "app/CDlgLoopPlaySetting.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "account/UserLoginInfo.h"
#include "app/DeviceTreeModel.h"
#include "platform/Text.h"
#include "ui/MessageBoxes.h"

namespace orbisight {

namespace {
// Item data: the list (as int) and the record's index in it (-1 for a
// root), and whether the item is a camera.
constexpr int kListRole = Qt::UserRole;
constexpr int kIndexRole = Qt::UserRole + 1;
constexpr int kDeviceRole = Qt::UserRole + 2;  // true on camera items

int Slot(DeviceListKind kind) {
    return static_cast<int>(kind);
}

tree::Branch BranchFor(DeviceListKind kind) {
    return kind == DeviceListKind::kMy      ? tree::Branch::kMy
           : kind == DeviceListKind::kLocal ? tree::Branch::kLocal
                                            : tree::Branch::kPublic;
}

bool ContainsNoCase(const std::vector<std::string>& ids, std::string_view id) {
    return std::any_of(ids.begin(), ids.end(),
                       [id](const std::string& other) { return EqualsNoCase(other, id); });
}

QSpinBox* WrappingSpin(QWidget* parent, int value) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(CDlgLoopPlaySetting::kSpinMin, CDlgLoopPlaySetting::kSpinMax);
    spin->setSingleStep(1);
    // Below 5 comes 30, above 30 comes 5.
    spin->setWrapping(true);
    spin->setValue(value);
    return spin;
}
}  // namespace

CDlgLoopPlaySetting::CDlgLoopPlaySetting(Mode mode, ListSource lists, bool publicShown,
                                         UserLoginInfo* login, QWidget* parent)
    : QDialog(parent),
      mode_(mode),
      lists_(std::move(lists)),
      publicShown_(publicShown),
      login_(mode == Mode::kAutoConnect ? login : nullptr) {
    setWindowTitle(mode_ == Mode::kAutoConnect ? kAutoConnectTitle : kNormalTitle);
    auto* layout = new QHBoxLayout(this);

    auto* left = new QVBoxLayout;
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setMinimumSize(260, 320);
    left->addWidget(tree_);
    auto* sources = new QHBoxLayout;
    sourceMy_ = new QCheckBox("My cameras", this);
    sourceLocal_ = new QCheckBox("Local cameras", this);
    sources->addWidget(sourceMy_);
    sources->addWidget(sourceLocal_);
    if (publicShown_) {
        sourcePublic_ = new QCheckBox("Public cameras", this);
        sources->addWidget(sourcePublic_);
    }
    left->addLayout(sources);
    chosenLabel_ = new QLabel(this);
    left->addWidget(chosenLabel_);
    auto* selectButtons = new QHBoxLayout;
    auto* selectAll = new QPushButton("Select All", this);
    auto* invert = new QPushButton("Invert Select", this);
    auto* refresh = new QPushButton("Refresh", this);
    for (QPushButton* b : {selectAll, invert, refresh}) {
        b->setAutoDefault(false);
        selectButtons->addWidget(b);
    }
    left->addLayout(selectButtons);
    layout->addLayout(left, 1);

    // The values: stored ones in auto-connect mode, else the defaults.
    LoopOptions values;
    if (login_) {
        values.fullScreen = login_->loopFullScreen != 0;
        values.slideMinutes = login_->loopSlideMinutes;
        values.snapSeconds = login_->loopSnapSeconds == 0 ? kSpinMin : login_->loopSnapSeconds;
        values.picturesPerScreen =
            login_->loopPicturesPerScreen == 0 ? 2 : login_->loopPicturesPerScreen;
        values.autoSnap = login_->loopAutoSnap != 0;
        values.autoRecord = login_->loopAutoRecord != 0;
    }
    auto* right = new QVBoxLayout;
    auto* pictures = new QGroupBox("Pictures per screen", this);
    auto* picturesLayout = new QVBoxLayout(pictures);
    pictures_ = new QButtonGroup(this);
    const char* labels[] = {" 1 cam", " 4 cam", " 9 cam", "16 cam", "25 cam"};
    for (int n = 1; n <= 5; ++n) {
        auto* radio = new QRadioButton(labels[n - 1], pictures);
        pictures_->addButton(radio, n);
        picturesLayout->addWidget(radio);
        radio->setVisible(n != 5);  // 25 pictures: kept, not offered
    }
    if (QAbstractButton* chosen = pictures_->button(values.picturesPerScreen)) {
        chosen->setChecked(true);
    }
    right->addWidget(pictures);
    auto* slideRow = new QHBoxLayout;
    slideRow->addWidget(new QLabel("Slide duration", this));
    slide_ = WrappingSpin(this, values.slideMinutes);
    slideRow->addWidget(slide_);
    slideRow->addWidget(new QLabel("Minute", this));
    right->addLayout(slideRow);
    autoRecord_ = new QCheckBox("Auto Record", this);
    autoRecord_->setChecked(values.autoRecord);
    right->addWidget(autoRecord_);
    auto* snapRow = new QHBoxLayout;
    autoSnap_ = new QCheckBox("Auto Snap", this);
    autoSnap_->setChecked(values.autoSnap);
    snapRow->addWidget(autoSnap_);
    snapRow->addWidget(new QLabel("Per", this));
    snap_ = WrappingSpin(this, values.snapSeconds);
    snapRow->addWidget(snap_);
    snapRow->addWidget(new QLabel("Second", this));
    right->addLayout(snapRow);
    fullScreen_ = new QCheckBox("Full Secreen", this);
    fullScreen_->setChecked(values.fullScreen);
    right->addWidget(fullScreen_);
    right->addStretch();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    right->addWidget(buttons);
    layout->addLayout(right);

    for (QCheckBox* box : {sourceMy_, sourceLocal_, sourcePublic_}) {
        if (box) {
            box->setChecked(true);
            connect(box, &QCheckBox::toggled, this, [this] { Refresh(); });
        }
    }
    connect(tree_, &QTreeWidget::itemChanged, this, &CDlgLoopPlaySetting::OnItemChanged);
    connect(selectAll, &QPushButton::clicked, this, &CDlgLoopPlaySetting::SelectAll);
    connect(invert, &QPushButton::clicked, this, &CDlgLoopPlaySetting::InvertSelect);
    connect(refresh, &QPushButton::clicked, this, &CDlgLoopPlaySetting::Refresh);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgLoopPlaySetting::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    if (login_) {
        // The stored selection, not everything: the user edits what is kept.
        Rebuild(login_->AutoConnectIds());
    } else {
        Rebuild({});
        SelectAll();
    }
}

QRadioButton* CDlgLoopPlaySetting::PicturesButton(int n) const {
    return qobject_cast<QRadioButton*>(pictures_->button(n));
}

QCheckBox* CDlgLoopPlaySetting::SourceBox(DeviceListKind kind) const {
    return kind == DeviceListKind::kMy      ? sourceMy_
           : kind == DeviceListKind::kLocal ? sourceLocal_
                                            : sourcePublic_;
}

LoopOptions CDlgLoopPlaySetting::Options() const {
    LoopOptions options;
    int n = pictures_->checkedId();
    options.picturesPerScreen = n >= 1 ? n : 2;
    options.slideMinutes = slide_->value();
    options.snapSeconds = snap_->value();
    options.autoRecord = autoRecord_->isChecked();
    options.autoSnap = autoSnap_->isChecked();
    options.fullScreen = fullScreen_->isChecked();
    return options;
}

void CDlgLoopPlaySetting::Refresh() {
    Rebuild(CheckedIds());
}

void CDlgLoopPlaySetting::Rebuild(const std::vector<std::string>& checkedIds) {
    updating_ = true;
    tree_->clear();
    // My cameras first, then the local ones (and the public ones while shown).
    for (DeviceListKind kind :
         {DeviceListKind::kMy, DeviceListKind::kLocal, DeviceListKind::kPublic}) {
        QCheckBox* source = SourceBox(kind);
        records_[Slot(kind)].clear();
        if (source && source->isChecked()) {
            AddBranch(kind);
        }
    }
    for (QTreeWidgetItem* item : DeviceItems()) {
        const DeviceInfo* record = RecordOf(item);
        if (record && ContainsNoCase(checkedIds, record->Id())) {
            item->setCheckState(0, Qt::Checked);
        }
    }
    UpdateParents();
    updating_ = false;
    UpdateLabel();
}

void CDlgLoopPlaySetting::AddBranch(DeviceListKind kind) {
    std::vector<DeviceInfo>& records = records_[Slot(kind)];
    records = lists_ ? lists_(kind) : std::vector<DeviceInfo>{};
    std::vector<const DeviceInfo*> pointers;
    for (const DeviceInfo& r : records) {
        pointers.push_back(&r);
    }
    tree::BranchView view = tree::BuildBranch(pointers, BranchFor(kind));
    auto* root = new QTreeWidgetItem(tree_, {QString::fromStdString(view.rootText)});
    root->setData(0, kListRole, Slot(kind));
    root->setData(0, kIndexRole, -1);
    root->setCheckState(0, Qt::Unchecked);
    std::function<void(QTreeWidgetItem*, const std::vector<tree::Node>&)> add =
        [&](QTreeWidgetItem* parent, const std::vector<tree::Node>& nodes) {
            for (const tree::Node& node : nodes) {
                auto* item = new QTreeWidgetItem(parent, {QString::fromStdString(node.text)});
                item->setData(0, kListRole, Slot(kind));
                item->setData(0, kIndexRole, static_cast<int>(node.record - records.data()));
                bool device = !node.record->isGroup;
                item->setData(0, kDeviceRole, device);
                if (!device) {
                    item->setCheckState(0, Qt::Unchecked);
                    add(item, node.children);
                    item->setExpanded(true);
                } else if (node.record->IsOnline()) {
                    item->setCheckState(0, Qt::Unchecked);
                } else {
                    // Off-line cameras cannot be chosen: no check box.
                    item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
                }
            }
        };
    add(root, view.children);
    root->setExpanded(true);
}

const DeviceInfo* CDlgLoopPlaySetting::RecordOf(QTreeWidgetItem* item) const {
    int index = item->data(0, kIndexRole).toInt();
    const auto& records = records_[item->data(0, kListRole).toInt()];
    if (index < 0 || static_cast<size_t>(index) >= records.size()) {
        return nullptr;
    }
    return &records[static_cast<size_t>(index)];
}

// Camera items that have a check box, in tree order.
std::vector<QTreeWidgetItem*> CDlgLoopPlaySetting::DeviceItems() const {
    std::vector<QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
        if ((*it)->data(0, kDeviceRole).toBool() && (*it)->data(0, Qt::CheckStateRole).isValid()) {
            items.push_back(*it);
        }
    }
    return items;
}

void CDlgLoopPlaySetting::OnItemChanged(QTreeWidgetItem* item) {
    if (updating_) {
        return;
    }
    updating_ = true;
    // An entry takes its whole subtree along; a parent is checked while any
    // child below it is.
    SetSubtree(item, item->checkState(0));
    UpdateParents();
    updating_ = false;
    UpdateLabel();
}

void CDlgLoopPlaySetting::SetSubtree(QTreeWidgetItem* item, Qt::CheckState state) {
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        if (child->data(0, Qt::CheckStateRole).isValid()) {
            child->setCheckState(0, state);
        }
        SetSubtree(child, state);
    }
}

void CDlgLoopPlaySetting::UpdateParents() {
    std::function<bool(QTreeWidgetItem*)> anyChecked = [&](QTreeWidgetItem* item) {
        bool any = false;
        for (int i = 0; i < item->childCount(); ++i) {
            QTreeWidgetItem* child = item->child(i);
            bool below = anyChecked(child);
            if (child->data(0, kDeviceRole).toBool()) {
                below = child->data(0, Qt::CheckStateRole).isValid() &&
                        child->checkState(0) == Qt::Checked;
            }
            any = any || below;
        }
        if (!item->data(0, kDeviceRole).toBool()) {
            item->setCheckState(0, any ? Qt::Checked : Qt::Unchecked);
        }
        return any;
    };
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        anyChecked(tree_->topLevelItem(i));
    }
}

void CDlgLoopPlaySetting::UpdateLabel() {
    chosenLabel_->setText(QString("Choose %1 cameras").arg(CheckedCount()));
}

void CDlgLoopPlaySetting::SelectAll() {
    updating_ = true;
    for (QTreeWidgetItem* item : DeviceItems()) {
        item->setCheckState(0, Qt::Checked);
    }
    UpdateParents();
    updating_ = false;
    UpdateLabel();
}

void CDlgLoopPlaySetting::InvertSelect() {
    updating_ = true;
    for (QTreeWidgetItem* item : DeviceItems()) {
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    UpdateParents();
    updating_ = false;
    UpdateLabel();
}

std::vector<const DeviceInfo*> CDlgLoopPlaySetting::CheckedDevices() const {
    std::vector<const DeviceInfo*> devices;
    for (QTreeWidgetItem* item : DeviceItems()) {
        const DeviceInfo* record = RecordOf(item);
        if (item->checkState(0) != Qt::Checked || !record || !record->IsOnline()) {
            continue;
        }
        // A camera both in the account and in the local list is taken once.
        bool seen = std::any_of(devices.begin(), devices.end(), [record](const DeviceInfo* d) {
            return EqualsNoCase(d->Id(), record->Id());
        });
        if (!seen) {
            devices.push_back(record);
        }
    }
    return devices;
}

std::vector<std::string> CDlgLoopPlaySetting::CheckedIds() const {
    std::vector<std::string> ids;
    for (const DeviceInfo* record : CheckedDevices()) {
        ids.emplace_back(record->Id());
    }
    return ids;
}

int CDlgLoopPlaySetting::CheckedCount() const {
    return static_cast<int>(CheckedDevices().size());
}

QString CDlgLoopPlaySetting::TooManyText(int chosen) {
    return QString(
               "%1 cameras are chosen, but auto connect keeps at most %2: the first %2 are "
               "kept.")
        .arg(chosen)
        .arg(UserLoginInfo::kMaxAutoConnectDevices);
}

QString CDlgLoopPlaySetting::TooLongText(const std::vector<std::string>& ids) {
    QStringList names;
    for (const std::string& id : ids) {
        names << QString::fromUtf8(id.c_str());
    }
    return QString(
               "Auto connect keeps camera IDs of at most %1 characters. These cameras are not "
               "kept for auto connect:\n%2")
        .arg(UserLoginInfo::kAutoConnectIdBytes - 1)
        .arg(names.join("\n"));
}

void CDlgLoopPlaySetting::accept() {
    std::vector<const DeviceInfo*> devices = CheckedDevices();
    if (devices.empty()) {
        ui::ShowNote(this, "Note", kNoneChosenText, ui::MessageIcon::kWarning);
        return;
    }
    LoopOptions options = Options();
    if (mode_ == Mode::kNormal) {
        chosen_.clear();
        for (const DeviceInfo* d : devices) {
            chosen_.push_back(*d);
        }
    } else if (login_) {
        // The record holds 500 IDs of at most 31 characters: an ID that does
        // not fit is left out (a cut one would name another camera), the
        // rest past 500 dropped, and the user told of both.
        std::vector<std::string> ids;
        std::vector<std::string> tooLong;
        for (const DeviceInfo* d : devices) {
            if (UserLoginInfo::FitsAutoConnectField(d->Id())) {
                ids.emplace_back(d->Id());
            } else {
                tooLong.emplace_back(d->Id());
            }
        }
        if (ids.empty()) {
            ui::ShowNote(this, "Note", TooLongText(tooLong), ui::MessageIcon::kWarning);
            return;
        }
        login_->SetAutoConnectIds(ids);
        login_->autoConnect = 1;
        login_->loopFullScreen = options.fullScreen ? 1 : 0;
        login_->loopSlideMinutes = options.slideMinutes;
        login_->loopSnapSeconds = options.snapSeconds;
        login_->loopPicturesPerScreen = options.picturesPerScreen;
        login_->loopAutoSnap = options.autoSnap ? 1 : 0;
        login_->loopAutoRecord = options.autoRecord ? 1 : 0;
        if (!tooLong.empty()) {
            ui::ShowNote(this, "Note", TooLongText(tooLong), ui::MessageIcon::kWarning);
        }
        if (ids.size() > static_cast<size_t>(UserLoginInfo::kMaxAutoConnectDevices)) {
            ui::ShowNote(this, "Note", TooManyText(static_cast<int>(ids.size())),
                         ui::MessageIcon::kWarning);
        }
    }
    QDialog::accept();
}

}  // namespace orbisight
