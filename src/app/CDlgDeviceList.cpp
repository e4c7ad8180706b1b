#include "app/CDlgDeviceList.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWindow>
#include <set>

#include "account/AlarmMessage.h"
#include "account/CXOMPWorker.h"
#include "app/CDeviceInfoDlg.h"
#include "app/CDeviceSyncDlg.h"
#include "app/CDlgAddLocalInfo.h"
#include "app/CDlgDeviceBind.h"
#include "app/CDlgMyVelaLogin.h"
#include "app/CDlgRFMange.h"
#include "app/CNetWizardDialog.h"
#include "app/CPLANRECORD.h"
#include "app/CameraWebPage.h"
#include "app/ChannelParamLink.h"
#include "app/DeviceTreeWidget.h"
#include "app/GuiNoticeTarget.h"
#include "app/LanParamLink.h"
#include "app/VideoWall.h"
#include "lan/LanListener.h"
#include "platform/Text.h"
#include "ui/ImageButton.h"
#include "ui/MessageBoxes.h"
#include "ui/SkinImages.h"

namespace orbisight {

namespace {
constexpr int kRoleBranch = Qt::UserRole;
constexpr int kRoleIndex = Qt::UserRole + 1;
constexpr int kRoleHandle = Qt::UserRole + 2;

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.c_str());
}

const char* ImageFor(int image) {
    switch (image) {
        case tree::kImageOnline:
            return "Tree-Online.png";
        case tree::kImageGroup:
            return "Tree-Group.png";
        default:
            return "Tree-Offline.png";
    }
}

}  // namespace

CDlgDeviceList::CDlgDeviceList(CXOMPWorker* worker, VideoWall* wall, bool showPublic,
                               bool probeAtStart, QWidget* parent)
    : QWidget(parent), worker_(worker), wall_(wall), showPublic_(showPublic) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 4, 8);
    layout->setSpacing(6);
    auto* title = new QLabel("Devices", this);
    title->setStyleSheet("font-weight: bold; color: #344458; padding-left: 2px;");
    layout->addWidget(title);

    auto* searchRow = new QHBoxLayout;
    searchRow->setSpacing(2);
    searchBox_ = new QLineEdit(this);
    searchBox_->setPlaceholderText("Search cameras");
    auto* searchButton = new ui::ImageButton(0, "Tree-BtnSearch-01.png", this);
    searchButton->setToolTip("Search");
    auto* clearButton = new ui::ImageButton(0, "Tree-BtnClear-01.png", this);
    clearButton->setToolTip("Clear");
    searchRow->addWidget(searchBox_);
    searchRow->addWidget(searchButton);
    searchRow->addWidget(clearButton);
    layout->addLayout(searchRow);

    tree_ = new DeviceTreeWidget(this);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->SetMoveHandler(
        [this](QTreeWidgetItem* d, QTreeWidgetItem* t) { return MoveEntry(d, t); });
    layout->addWidget(tree_, 1);

    results_ = new QListWidget(this);
    results_->setWindowFlags(Qt::Popup);
    results_->setFocusPolicy(Qt::NoFocus);

    auto root = [this](tree::Branch branch, const char* icon) {
        auto* item = new QTreeWidgetItem(tree_, QStringList(Text(tree::InitialRootText(branch))));
        item->setIcon(0, QIcon(ui::SkinImages::Get(icon)));
        item->setData(0, kRoleBranch, static_cast<int>(branch));
        item->setData(0, kRoleIndex, -1);
        item->setFlags(item->flags() & ~Qt::ItemIsDragEnabled);
        return item;
    };
    roots_[0] = root(tree::Branch::kMy, "Tree-RootMy.png");
    roots_[1] = root(tree::Branch::kLocal, "Tree-RootLocal.png");
    if (showPublic_) {
        roots_[2] = root(tree::Branch::kPublic, "Tree-RootPublic.png");
    }

    connect(tree_, &QTreeWidget::customContextMenuRequested, this, &CDlgDeviceList::ShowMenu);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { Activate(item); });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        const DeviceInfo* record = RecordOf(item);
        emit paneForSelection(record && !record->isGroup ? std::string(record->Id()) : "");
    });
    searchTimer_.setSingleShot(true);
    connect(searchBox_, &QLineEdit::returnPressed, this, [this] { searchTimer_.start(300); });
    connect(&searchTimer_, &QTimer::timeout, this, [this] { Search(searchBox_->text()); });
    connect(searchButton, &QAbstractButton::clicked, this, [this] { Search(searchBox_->text()); });
    connect(clearButton, &QAbstractButton::clicked, this, [this] {
        searchBox_->clear();
        results_->hide();
    });
    connect(results_, &QListWidget::itemClicked, this, [this](QListWidgetItem* hit) {
        auto branch = static_cast<tree::Branch>(hit->data(kRoleBranch).toInt());
        QTreeWidgetItem* item = FindItem(branch, hit->data(kRoleIndex).toString().toStdString());
        if (item) {
            tree_->setCurrentItem(item);
            tree_->scrollToItem(item);
        }
        results_->hide();
    });

    rebuildAllTimer_.setSingleShot(true);
    connect(&rebuildAllTimer_, &QTimer::timeout, this, &CDlgDeviceList::RebuildAll);
    rebuildLocalTimer_.setSingleShot(true);
    connect(&rebuildLocalTimer_, &QTimer::timeout, this, &CDlgDeviceList::RebuildLocal);
    sync_ = new CDeviceSyncDlg(this);
    progressTimer_.setSingleShot(true);
    connect(&progressTimer_, &QTimer::timeout, this,
            [this] { sync_->Update(worker_->EntriesCounted(), worker_->ExpectedEntryTotal()); });
    connect(sync_, &CDeviceSyncDlg::done, this, [this] { worker_->RequestOnlineDevices(); });

    // The panel is the session's notification window.
    sessionNotices_ = std::make_unique<GuiNoticeTarget>(
        this, [this](const Notice& n) { HandleSessionNotice(n); });
    worker_->SetNoticeTarget(sessionNotices_.get());

    RebuildAll();
    // Tell at once which local cameras answer: the probe thread runs from
    // the panel's opening, with a probe requested.
    probeRequested_.store(true);
    if (probeAtStart) {
        StartProbe();
    }
}

CDlgDeviceList::~CDlgDeviceList() {
    worker_->SetNoticeTarget(nullptr);
    SetLan(nullptr);
    probeCancel_.store(true);
    probe_.Stop(kProbeStopWaitMs);
}

QTreeWidget* CDlgDeviceList::Tree() const {
    return tree_;
}

QTreeWidgetItem* CDlgDeviceList::RootItem(tree::Branch branch) const {
    return roots_[static_cast<int>(branch)];
}

tree::Branch CDlgDeviceList::BranchOf(QTreeWidgetItem* item) const {
    return static_cast<tree::Branch>(item ? item->data(0, kRoleBranch).toInt() : 0);
}

const DeviceInfo* CDlgDeviceList::RecordOf(QTreeWidgetItem* item) const {
    if (!item) {
        return nullptr;
    }
    int index = item->data(0, kRoleIndex).toInt();
    const auto& records = records_[static_cast<int>(BranchOf(item))];
    return (index >= 0 && index < static_cast<int>(records.size())) ? &records[index] : nullptr;
}

QTreeWidgetItem* CDlgDeviceList::FindItem(tree::Branch branch, std::string_view id) const {
    QTreeWidgetItem* root = RootItem(branch);
    if (!root) {
        return nullptr;
    }
    QTreeWidgetItemIterator it(root);
    for (; *it; ++it) {
        if (BranchOf(*it) != branch) {
            break;
        }
        const DeviceInfo* r = RecordOf(*it);
        if (r && !r->isGroup && r->Id() == id) {
            return *it;
        }
    }
    return nullptr;
}

void CDlgDeviceList::SelectDevice(std::string_view id) {
    for (tree::Branch branch : {tree::Branch::kMy, tree::Branch::kLocal, tree::Branch::kPublic}) {
        QTreeWidgetItem* item = FindItem(branch, id);
        if (item && item != tree_->currentItem()) {
            QSignalBlocker block(tree_);
            tree_->setCurrentItem(item);
            return;
        }
        if (item) {
            return;
        }
    }
}

// ---- rebuilding ----

void CDlgDeviceList::AddNodes(QTreeWidgetItem* parent, const std::vector<tree::Node>& nodes,
                              tree::Branch branch, const std::vector<DeviceInfo>& records) {
    for (const tree::Node& node : nodes) {
        auto* item = new QTreeWidgetItem(parent, QStringList(Text(node.text)));
        item->setIcon(0, QIcon(ui::SkinImages::Get(ImageFor(node.image))));
        item->setData(0, kRoleBranch, static_cast<int>(branch));
        item->setData(0, kRoleIndex, static_cast<int>(node.record - records.data()));
        item->setData(0, kRoleHandle, QVariant::fromValue<qlonglong>(nextHandle_++));
        if (branch != tree::Branch::kLocal) {
            item->setFlags(item->flags() & ~Qt::ItemIsDragEnabled);
        }
        if (!node.record->isGroup) {
            item->setToolTip(0, Text(std::string(node.record->Id())));
        }
        AddNodes(item, node.children, branch, records);
    }
}

void CDlgDeviceList::Populate(tree::Branch branch, const std::vector<DeviceInfo>& records) {
    QTreeWidgetItem* root = RootItem(branch);
    if (!root) {
        return;
    }
    // Keep the user's place: the selected camera and the open groups.
    std::string selectedId;
    if (const DeviceInfo* r = RecordOf(tree_->currentItem());
        r && BranchOf(tree_->currentItem()) == branch) {
        selectedId = r->isGroup ? "#" + std::to_string(r->groupNumber) : std::string(r->Id());
    }
    bool rootOpen = root->isExpanded() || root->childCount() == 0;
    std::set<int32_t> openGroups;
    for (QTreeWidgetItemIterator it(root); *it && BranchOf(*it) == branch; ++it) {
        const DeviceInfo* r = RecordOf(*it);
        if (r && r->isGroup && (*it)->isExpanded()) {
            openGroups.insert(r->groupNumber);
        }
    }
    bool wasCurrent = tree_->currentItem() && BranchOf(tree_->currentItem()) == branch &&
                      RecordOf(tree_->currentItem());
    qDeleteAll(root->takeChildren());
    records_[static_cast<int>(branch)] = records;
    const auto& stored = records_[static_cast<int>(branch)];
    std::vector<const DeviceInfo*> view;
    view.reserve(stored.size());
    for (const DeviceInfo& r : stored) {
        view.push_back(&r);
    }
    tree::BranchView built = tree::BuildBranch(view, branch);
    root->setText(0, Text(built.rootText));
    AddNodes(root, built.children, branch, stored);
    root->setExpanded(rootOpen);
    for (QTreeWidgetItemIterator it(root); *it && BranchOf(*it) == branch; ++it) {
        const DeviceInfo* r = RecordOf(*it);
        if (!r) {
            continue;
        }
        if (r->isGroup && openGroups.count(r->groupNumber)) {
            (*it)->setExpanded(true);
        }
        std::string key = r->isGroup ? "#" + std::to_string(r->groupNumber) : std::string(r->Id());
        if (wasCurrent && key == selectedId) {
            tree_->setCurrentItem(*it);
        }
    }
}

void CDlgDeviceList::RebuildAll() {
    rebuildAllTimer_.stop();
    tree_->setUpdatesEnabled(false);
    RebuildLocal();
    Populate(tree::Branch::kMy, worker_->SnapshotList(DeviceListKind::kMy));
    if (showPublic_) {
        Populate(tree::Branch::kPublic, worker_->SnapshotList(DeviceListKind::kPublic));
    }
    tree_->setUpdatesEnabled(true);
    emit accountListShown();
}

void CDlgDeviceList::RebuildLocal() {
    Populate(tree::Branch::kLocal, worker_->SnapshotList(DeviceListKind::kLocal));
    emit localListChanged();
}

// ---- the account session's notices ----

void CDlgDeviceList::HandleSessionNotice(const Notice& notice) {
    if (notice.message != notice::kAccountSession) {
        return;
    }
    switch (notice.wParam) {
        case CXOMPWorker::kLoginResult: {
            if (loginDialog_) {
                // The attempt number posted with the notice; the counter
                // itself may already be further on.
                int attempt =
                    notice.text.empty() ? worker_->LoginAttempt() : ParseDecimal(notice.text);
                loginDialog_->OnLoginNotice(notice.lParam, attempt);
            }
            if (notice.lParam == CXOMPWorker::kLoginAccepted) {
                emit accountChanged();
            }
            break;
        }
        case CXOMPWorker::kLoggedOut:
            rebuildAllTimer_.start(kRebuildAfterLogoutMs);
            emit accountChanged();
            break;
        case CXOMPWorker::kListsChanged:
            // A stream of changes must not hold the tree back: the rebuild
            // comes at most a second after the first change, not a second
            // after the last one.
            if (!rebuildAllTimer_.isActive()) {
                rebuildAllTimer_.start(kRebuildAfterChangeMs);
            }
            break;
        case CXOMPWorker::kAlarm: {
            auto alarm = std::static_pointer_cast<AlarmMessage>(notice.object);
            if (alarm) {
                QString id = Text(std::string(alarm->DeviceId()));
                emit alarmArrived(id, Text(std::string(alarm->Title())),
                                  id + "\r\n" + Text(std::string(alarm->Message())));
            }
            break;
        }
        case CXOMPWorker::kDeleteTreeItem:
            DeleteItem(notice.lParam);
            break;
        case CXOMPWorker::kEntryCounted:
            progressTimer_.start(1);
            break;
        default:
            break;
    }
}

void CDlgDeviceList::SetLoginDialog(CDlgMyVelaLogin* dialog) {
    loginDialog_ = dialog;
}

intptr_t CDlgDeviceList::HandleOf(QTreeWidgetItem* item) const {
    return item ? static_cast<intptr_t>(item->data(0, kRoleHandle).toLongLong()) : 0;
}

void CDlgDeviceList::DeleteItem(intptr_t handle) {
    if (handle == 0) {
        return;
    }
    // A handle names an item only while that item exists: a rebuild since
    // the dialog opened replaced it, and then there is nothing to delete.
    for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
        if (HandleOf(*it) == handle) {
            QTreeWidgetItem* item = *it;
            if (tree_->currentItem() == item) {
                tree_->setCurrentItem(item->parent());
            }
            delete item;
            break;
        }
    }
    // The counters follow with the next rebuild.
    if (!rebuildAllTimer_.isActive()) {
        rebuildAllTimer_.start(kRebuildAfterChangeMs);
    }
}

void CDlgDeviceList::Update() {
    worker_->RequestUpdate();
}

void CDlgDeviceList::ListRefresh() {
    worker_->RefreshList();
}

std::unique_ptr<CDlgDeviceBind> CDlgDeviceList::MakeBindDialog(QTreeWidgetItem* item, bool unbind) {
    const DeviceInfo* record = RecordOf(item);
    std::string id = record && !record->isGroup ? std::string(record->Id()) : std::string();
    auto dialog = std::make_unique<CDlgDeviceBind>(
        worker_, unbind ? CDlgDeviceBind::Mode::kUnbind : CDlgDeviceBind::Mode::kBind, id,
        unbind ? HandleOf(item) : 0, this);
    if (unbind) {
        // The camera is no longer the account's: its pane lets it go.
        connect(dialog.get(), &CDlgDeviceBind::unbound, this, [this](const QString& unboundId) {
            if (CDlgVedioShow* pane = wall_->PaneShowing(unboundId.toUtf8().toStdString())) {
                wall_->DisconnectOne(pane);
            }
        });
    }
    return dialog;
}

void CDlgDeviceList::BindDialog(QTreeWidgetItem* item, bool unbind) {
    MakeBindDialog(item, unbind)->exec();
}

// ---- probe ----

void CDlgDeviceList::StartProbe() {
    if (probe_.Running()) {
        return;
    }
    probe_.Start("tree/probe", [this](AutoResetEvent& stop) {
        while (!stop.Wait(kProbePeriodMs)) {
            if (!probeRequested_.exchange(false)) {
                continue;
            }
            worker_->ProbeLocalDevices(&probeCancel_);
            probeRuns_.fetch_add(1);
            QMetaObject::invokeMethod(
                this, [this] { RebuildLocal(); }, Qt::QueuedConnection);
        }
    });
}

void CDlgDeviceList::SetLan(LanListener* lan) {
    if (lan_) {
        lan_->SetTarget(LanWindow::kDeviceTree, nullptr);
    }
    lan_ = lan;
    if (!lan_) {
        return;
    }
    if (!lanNotices_) {
        lanNotices_ = std::make_unique<GuiNoticeTarget>(
            this, [this](const Notice& n) { HandleLanNotice(n); });
    }
    lan_->SetTarget(LanWindow::kDeviceTree, lanNotices_.get());
    lan_->Start();
}

void CDlgDeviceList::HandleLanNotice(const Notice& notice) {
    if (notice.message != notice::kLanDeviceChanged || !notice.object) {
        return;
    }
    const auto& record = *static_cast<const CamNetParam*>(notice.object.get());
    worker_->AddLocalDevice(record.Id(), record.Address(), record.Name(), record.Password(), 0);
    rebuildLocalTimer_.start(kLanRebuildDelayMs);
}

void CDlgDeviceList::RefreshLocal() {
    worker_->Lists().ClearLocalStatus();
    if (lan_) {
        lan_->StartLanSearch();
    }
    RebuildLocal();
    StartProbe();
    probeRequested_.store(true);
}

// ---- connecting ----

std::vector<DeviceInfo> CDlgDeviceList::DevicesForConnectAll() const {
    std::vector<DeviceInfo> out;
    // A camera bound to the account and kept in the local list as well is
    // opened once.
    std::set<std::string> taken;
    auto take = [&](DeviceListKind kind) {
        for (const DeviceInfo& r : worker_->SnapshotList(kind)) {
            if (!r.isGroup && r.IsOnline() && !wall_->IsShown(r.Id()) &&
                taken.insert(ToLowerAscii(r.Id())).second) {
                out.push_back(r);
            }
        }
    };
    take(DeviceListKind::kMy);
    if (showPublic_) {
        take(DeviceListKind::kPublic);
    }
    take(DeviceListKind::kLocal);
    return out;
}

void CDlgDeviceList::ConnectBelow(QTreeWidgetItem* item) {
    std::vector<DeviceInfo> devices;
    QTreeWidgetItemIterator it(item);
    tree::Branch branch = BranchOf(item);
    for (++it; *it; ++it) {
        // Stop at the first item that is not below the starting one.
        QTreeWidgetItem* up = (*it)->parent();
        while (up && up != item) {
            up = up->parent();
        }
        if (!up || BranchOf(*it) != branch) {
            break;
        }
        const DeviceInfo* r = RecordOf(*it);
        if (r && !r->isGroup) {
            devices.push_back(*r);
        }
    }
    if (!devices.empty()) {
        wall_->ConnectAll(std::move(devices));
    }
}

void CDlgDeviceList::Activate(QTreeWidgetItem* item) {
    const DeviceInfo* record = RecordOf(item);
    if (!record) {
        return;  // roots expand and collapse
    }
    if (record->isGroup) {
        ConnectBelow(item);
        return;
    }
    if (wall_->IsShown(record->Id())) {
        return;
    }
    if (record->IsOnline() || record->local) {
        DeviceInfo copy = *record;
        wall_->OpenDevice(copy);
    }
}

// ---- the context menu ----

CDlgDeviceList::ItemRef CDlgDeviceList::RefOf(QTreeWidgetItem* item) const {
    ItemRef ref;
    if (!item) {
        return ref;
    }
    ref.valid = true;
    ref.branch = BranchOf(item);
    const DeviceInfo* record = RecordOf(item);
    if (!record) {
        ref.root = true;
        return ref;
    }
    ref.group = record->isGroup != 0;
    ref.groupNumber = record->groupNumber;
    ref.id = std::string(record->Id());
    return ref;
}

QTreeWidgetItem* CDlgDeviceList::ItemFor(const ItemRef& ref) const {
    if (!ref.valid) {
        return nullptr;
    }
    if (ref.root) {
        return RootItem(ref.branch);  // roots live as long as the panel
    }
    if (!ref.group) {
        return FindItem(ref.branch, ref.id);
    }
    QTreeWidgetItem* root = RootItem(ref.branch);
    if (!root) {
        return nullptr;
    }
    for (QTreeWidgetItemIterator it(root); *it && BranchOf(*it) == ref.branch; ++it) {
        const DeviceInfo* r = RecordOf(*it);
        if (r && r->isGroup && r->groupNumber == ref.groupNumber && r->Id() == ref.id) {
            return *it;
        }
    }
    return nullptr;
}

std::unique_ptr<QMenu> CDlgDeviceList::BuildMenu(QTreeWidgetItem* item) {
    auto menu = std::make_unique<QMenu>(this);
    const DeviceInfo* record = RecordOf(item);
    DeviceInfo copy = record ? *record : DeviceInfo{};
    tree::Branch branch = BranchOf(item);
    bool localRoot = item && item == RootItem(tree::Branch::kLocal);
    bool myRoot = item && item == RootItem(tree::Branch::kMy);
    bool publicRoot = item && item == RootItem(tree::Branch::kPublic);
    bool local = branch == tree::Branch::kLocal && item;
    bool camera = record && !record->isGroup;
    bool localGroup = local && record && record->isGroup;
    bool shown = camera && wall_->IsShown(record->Id());
    // A camera of the account (public cameras belong to nobody's account).
    bool boundCamera = camera && branch == tree::Branch::kMy;
    bool serverRecord = record && record->type != 0;
    // The actions run while the menu is open or later; a rebuild meanwhile
    // (a status notice) deletes the item and its record. They hold what the
    // item shows and find it again; an item gone since does nothing.
    ItemRef ref = RefOf(item);
    auto onItem = [this, ref](void (CDlgDeviceList::*action)(QTreeWidgetItem*)) {
        return [this, ref, action] {
            if (QTreeWidgetItem* now = ItemFor(ref)) {
                (this->*action)(now);
            }
        };
    };

    menu->addAction("Refresh list(&R)", this, [this, local, serverRecord, publicRoot] {
        if (local) {
            RefreshLocal();
        } else if (serverRecord || publicRoot) {
            ListRefresh();
        } else {
            Update();
        }
    });
    menu->addSeparator();
    menu->addAction("Connect all(&C)", this, [this, ref] {
        if (!ref.valid || (!ref.root && !ref.group)) {
            wall_->ConnectAll([this] { return DevicesForConnectAll(); });
        } else if (QTreeWidgetItem* now = ItemFor(ref)) {
            ConnectBelow(now);
        }
    });
    menu->addAction("Disconnect all(&D)", this, [this] { wall_->DisconnectAll(true); });
    menu->addAction("Record all(&R)", this, [this] { wall_->RecordAll(); });
    menu->addAction("Snap all(&P)", this, [this] { wall_->SnapshotAll(); });
    if (camera && record->IsOnline()) {
        menu->addSeparator();
        if (shown) {
            menu->addAction("Disconnect(&S)", this,
                            [this, copy] { wall_->DisconnectOne(wall_->PaneShowing(copy.Id())); });
        } else {
            menu->addAction("Connect(&L)", this, [this, copy] { wall_->OpenDevice(copy); });
        }
    }
    if (camera && (local || boundCamera)) {
        menu->addSeparator();
    }
    if (camera) {
        menu->addAction("Edit device paras(&E)", this,
                        [this, copy, branch] { EditDeviceParameters(copy, branch); });
        menu->addAction("SD/Cloud Storage(&C)", this,
                        [this, copy] { emit recordsRequested(copy); });
    }
    if (camera && local) {
        menu->addAction("Bind device(&B)", this, [this, ref] {
            if (QTreeWidgetItem* now = ItemFor(ref)) {
                BindDialog(now, false);
            }
        });
        if (!copy.HostAddress().empty()) {
            menu->addAction("Visit Web (&S)", this,
                            [copy] { OpenCameraWebPage(copy.HostAddress()); });
        }
    }
    if (boundCamera) {
        menu->addAction("Unbind device(&U)", this, [this, ref] {
            if (QTreeWidgetItem* now = ItemFor(ref)) {
                BindDialog(now, true);
            }
        });
    }
    if (camera) {
        if (!local && !boundCamera) {
            menu->addSeparator();
        }
        // The camera's own lists, each edited over a command channel of its
        // dialog.
        menu->addAction("RF sensors(&F)", this,
                        [this, copy] { CDlgRFMange::OpenForCamera(copy, window()); });
        menu->addAction("Record plan(&T)", this,
                        [this, copy] { CPLANRECORD::OpenForCamera(copy, window()); });
    }
    if (myRoot) {
        menu->addSeparator();
        menu->addAction("Bind device(&B)", this, [this] { BindDialog(nullptr, false); });
    }
    if (localRoot || localGroup) {
        menu->addSeparator();
        menu->addAction("Add group(&M)", this, [this, ref] {
            if (QTreeWidgetItem* now = ItemFor(ref)) {
                AddLocal(now, true);
            }
        });
        menu->addAction("Add device(&N)", this, [this, ref] {
            if (QTreeWidgetItem* now = ItemFor(ref)) {
                AddLocal(now, false);
            }
        });
        if (localGroup) {
            menu->addAction("Delete group(&O)", this, onItem(&CDlgDeviceList::DeleteLocal));
            menu->addAction("Edit group(&Q)", this, onItem(&CDlgDeviceList::EditLocal));
        }
    }
    if (local && record) {
        menu->addSeparator();
        if (!shown) {
            menu->addAction("Delete device(&O)", this, onItem(&CDlgDeviceList::DeleteLocal));
        }
        menu->addAction("Edit device(&Q)", this, onItem(&CDlgDeviceList::EditLocal));
    }
    if (localRoot) {
        menu->addAction("Local search(&S)", this, [this] { emit localSearchRequested(); });
        menu->addAction("Empty list(&X)", this, [this] { EmptyLocalList(); });
    }
    return menu;
}

void CDlgDeviceList::EquipSettingsDialog(CDeviceInfoDlg* dialog) {
    // "Settings ..." of the record schedule: the record plan dialog on the
    // block being edited; the settings dialog sends it with the page.
    dialog->SetScheduleEditor([](DevInfoBlock& block, QWidget* parent) {
        const RecordPlan before = RecordPlan::FromBlock(block);
        CPLANRECORD plan(before, block.alertOn != 0, parent);
        if (plan.exec() != QDialog::Accepted || plan.Plan() == before) {
            return false;
        }
        plan.Plan().ToBlock(block);
        return true;
    });
    // The WIFI page's networks: nmcli, on the dialog's own thread.
    dialog->SetWifiScanner(&CNetWizardDialog::ScanAndKeep);
    // After a set the LAN list is searched again, so the camera's new
    // settings show there (and, in LAN mode, come back to the dialog).
    LanListener* lan = lan_;
    if (lan) {
        dialog->SetLanSearch([lan] { lan->SearchAgain(); });
    }
}

CDeviceInfoDlg* CDlgDeviceList::EditLanParameters(QWidget* parent, const CamNetParam& record) {
    // A camera of "My cameras" renamed on the LAN is renamed on the account
    // too, as from the tree.
    auto mine = worker_->FindDevice(DeviceListKind::kMy, record.Id(), IdMatch::kIgnoreCase);
    DeviceInfo camera{};
    if (mine) {
        camera = *mine;
    } else {
        camera.SetId(record.Id());
        camera.SetName(record.Name());
        camera.SetHostAddress(record.Address());
        camera.local = 1;
    }
    auto link = std::make_unique<LanParamLink>(record, lan_);
    auto* dialog = new CDeviceInfoDlg(std::move(link), camera, parent ? parent : this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->SetCloser(&wall_->Closer());
    if (mine) {
        dialog->SetAccountRename(worker_, false);
    }
    EquipSettingsDialog(dialog);
    dialog->Start();
    dialog->open();
    return dialog;
}

CDeviceInfoDlg* CDlgDeviceList::EditDeviceParameters(const DeviceInfo& camera,
                                                     tree::Branch branch) {
    // The account tells nothing of a camera's own login: as a pane does, use
    // the login of the same camera in the local list, else "admin".
    DeviceInfo record = camera;
    if (!record.local && record.User().empty()) {
        auto local = worker_->FindDevice(DeviceListKind::kLocal, record.Id(), IdMatch::kIgnoreCase);
        if (local && !local->User().empty()) {
            record.SetUser(local->User());
            record.SetPassword(local->Password());
        } else {
            record.SetUser("admin");
        }
    }
    auto link = std::make_unique<ChannelParamLink>(record, &wall_->Closer());
    auto* dialog = new CDeviceInfoDlg(std::move(link), record, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->SetCloser(&wall_->Closer());
    if (branch != tree::Branch::kLocal) {
        dialog->SetAccountRename(worker_, branch == tree::Branch::kPublic);
    }
    EquipSettingsDialog(dialog);
    dialog->Start();
    dialog->open();
    return dialog;
}

void CDlgDeviceList::ShowMenu(const QPoint& pos) {
    QTreeWidgetItem* item = tree_->itemAt(pos);
    if (item) {
        tree_->setCurrentItem(item);
    }
    std::unique_ptr<QMenu> menu = BuildMenu(item);
    menu->exec(tree_->viewport()->mapToGlobal(pos));
}

// ---- local list editing ----

void CDlgDeviceList::AddLocal(QTreeWidgetItem* item, bool group) {
    const DeviceInfo* record = RecordOf(item);
    int32_t parent = record && record->isGroup ? record->groupNumber : 0;
    CDlgAddLocalInfo dialog(worker_, parent, group, this);
    if (dialog.exec() == QDialog::Accepted) {
        RebuildLocal();
    }
}

void CDlgDeviceList::EditLocal(QTreeWidgetItem* item) {
    const DeviceInfo* record = RecordOf(item);
    if (!record) {
        return;
    }
    DeviceInfo copy = *record;
    CDlgAddLocalInfo dialog(worker_, copy, this);
    if (dialog.exec() == QDialog::Accepted) {
        RebuildLocal();
        if (!copy.isGroup) {
            if (auto edited =
                    worker_->FindDevice(DeviceListKind::kLocal, copy.Id(), IdMatch::kExact)) {
                wall_->RefreshDevice(*edited);
            }
        }
    }
}

void CDlgDeviceList::DeleteLocal(QTreeWidgetItem* item) {
    const DeviceInfo* record = RecordOf(item);
    if (!record) {
        return;
    }
    worker_->DeleteLocalEntry(LocalEntryRef::Of(*record));
    RebuildLocal();
}

void CDlgDeviceList::EmptyLocalList() {
    if (!ui::AskYesNo(this, "Note", "Are you sure to empty the list?")) {
        return;
    }
    worker_->Lists().EmptyLocal();
    RebuildLocal();
}

bool CDlgDeviceList::MoveEntry(QTreeWidgetItem* dragged, QTreeWidgetItem* target) {
    const DeviceInfo* moving = RecordOf(dragged);
    if (!moving || BranchOf(dragged) != tree::Branch::kLocal ||
        BranchOf(target) != tree::Branch::kLocal) {
        return false;
    }
    const DeviceInfo* onto = RecordOf(target);
    int32_t parent = onto ? onto->groupNumber : 0;
    // A group never goes into its own subtree: the groups would then hang
    // from each other and vanish from the tree.
    for (QTreeWidgetItem* up = target; up; up = up->parent()) {
        if (up == dragged) {
            return false;
        }
    }
    worker_->Lists().SetLocalParent(LocalEntryRef::Of(*moving), parent, false);
    rebuildLocalTimer_.start(0);
    return true;
}

// ---- search ----

int CDlgDeviceList::Search(const QString& text) {
    results_->clear();
    std::string needle = text.trimmed().toStdString();
    if (needle.empty()) {
        results_->hide();
        return 0;
    }
    int hits = 0;
    for (tree::Branch branch : {tree::Branch::kMy, tree::Branch::kLocal}) {
        for (const DeviceInfo& r : records_[static_cast<int>(branch)]) {
            if (tree::MatchesSearch(r, needle)) {
                auto* hit = new QListWidgetItem(Text(tree::DeviceText(r, branch)), results_);
                hit->setData(kRoleBranch, static_cast<int>(branch));
                hit->setData(kRoleIndex, Text(std::string(r.Id())));
                ++hits;
            }
        }
    }
    if (hits > 0 && isVisible()) {
        QPoint below = searchBox_->mapToGlobal(QPoint(0, searchBox_->height() + 2));
        results_->setGeometry(below.x(), below.y(), searchBox_->width() + 52,
                              std::min(240, 26 * hits + 6));
        results_->show();
    } else {
        results_->hide();
    }
    searchBox_->setFocus();
    return hits;
}

void CDlgDeviceList::mousePressEvent(QMouseEvent* event) {
    // The panel's background moves the main window, unless it is maximised.
    QWidget* top = window();
    if (event->button() == Qt::LeftButton && !top->isMaximized() && top->windowHandle()) {
        top->windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}

}  // namespace orbisight
