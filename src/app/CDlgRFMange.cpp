#include "app/CDlgRFMange.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "app/CDlgRFInfo.h"
#include "app/DialogChannel.h"
#include "ui/MessageBoxes.h"

namespace orbisight {
namespace {

constexpr int kIdRole = Qt::UserRole + 1;
const char* const kNoDevices = "Don't have any rf devices!";
const char* const kSaved = "RF Device info has been setted successfully!";
const char* const kNotSaved = "RF Device info has been setted failed!";

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ItemText(const RfEntry& entry) {
    return QString("%1(%2)").arg(FromUtf8(entry.Name()), FromUtf8(entry.id));
}

}  // namespace

CDlgRFMange::CDlgRFMange(QWidget* parent) : QDialog(parent) {
    Build();
}

CDlgRFMange::CDlgRFMange(const DeviceInfo& camera, QWidget* parent,
                         const std::optional<CXOMPDeviceOper::Timings>& timings)
    : QDialog(parent) {
    Build();
    save_->setEnabled(false);  // until the list is here
    channel_ = std::make_unique<DialogChannel>(
        this, CXOMPDeviceOper::kModeRfSensors, [this](const Notice& n) { HandleNotice(n); },
        [this](int result) { HandleOpened(result); });
    if (timings) {
        channel_->SetTimings(*timings);
    }
    SetStatus("Connecting to Device...");
    channel_->Open(camera);
}

CDlgRFMange::~CDlgRFMange() = default;

CDlgRFMange* CDlgRFMange::OpenForCamera(const DeviceInfo& camera, QWidget* parent) {
    auto* dialog = new CDlgRFMange(camera, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    return dialog;
}

void CDlgRFMange::Build() {
    setWindowTitle("RF devices");
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    stack_ = new QStackedWidget(this);
    stack_->addWidget(new QWidget(stack_));  // nothing selected
    status_ = new QLabel(this);
    save_ = new QPushButton("Save", this);
    auto* close = new QPushButton("Close", this);

    auto* body = new QHBoxLayout;
    body->addWidget(tree_, 1);
    body->addWidget(stack_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(save_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(buttons);

    fetchTimer_.setSingleShot(true);
    connect(&fetchTimer_, &QTimer::timeout, this, [this] {
        if (!loaded_) {
            SetStatus("Fetching rf device info Failed, Try again!");
        }
    });
    saveTimer_.setSingleShot(true);
    connect(&saveTimer_, &QTimer::timeout, this, [this] {
        if (saving_) {
            SaveFinished(false);
        }
    });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        StorePage();
        ShowDevice(current ? current->data(0, kIdRole).toString().toStdString() : std::string());
    });
    connect(tree_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QTreeWidgetItem* item = tree_->itemAt(pos);
        if (item) {
            tree_->setCurrentItem(item);
        }
        BuildMenu(item)->exec(tree_->viewport()->mapToGlobal(pos));
    });
    connect(save_, &QPushButton::clicked, this, &CDlgRFMange::Save);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

std::unique_ptr<QMenu> CDlgRFMange::BuildMenu(QTreeWidgetItem* item) {
    auto menu = std::make_unique<QMenu>(this);
    if (item && !item->data(0, kIdRole).toString().isEmpty()) {
        menu->addAction("Delete(&D)", this, [this] {
            // The confirmations' question mark is the full-width one.
            if (ui::AskYesNo(this, "Tip",
                             QString::fromUtf8("Do you want to remove the RF device？"))) {
                DeleteSelected();
            }
        });
    }
    menu->addAction("Clear all(&R)", this, [this] {
        if (ui::AskYesNo(this, "Tip", QString::fromUtf8("Do you want to remove the list？"))) {
            ClearAll();
        }
    });
    return menu;
}

CDlgRFInfo* CDlgRFMange::PageFor(const std::string& id) {
    const RfAccessoryType& type = RfAccessoryTypeOf(id);
    std::string group(type.group);
    auto found = pages_.find(group);
    if (found != pages_.end()) {
        return found->second;
    }
    auto* page = new CDlgRFInfo(FromUtf8(type.pageTitle), stack_);
    stack_->addWidget(page);
    pages_[group] = page;
    return page;
}

CDlgRFInfo* CDlgRFMange::CurrentPage() const {
    return shownId_.empty() ? nullptr : qobject_cast<CDlgRFInfo*>(stack_->currentWidget());
}

void CDlgRFMange::ShowDevice(const std::string& id) {
    const RfEntry* entry = id.empty() ? nullptr : list_.Find(id);
    if (entry == nullptr) {
        shownId_.clear();
        stack_->setCurrentIndex(0);
        return;
    }
    CDlgRFInfo* page = PageFor(id);
    page->ShowEntry(*entry);
    stack_->setCurrentWidget(page);
    shownId_ = id;
}

void CDlgRFMange::StorePage() {
    CDlgRFInfo* page = CurrentPage();
    const RfEntry* entry = page ? list_.Find(shownId_) : nullptr;
    if (entry == nullptr || !page->DiffersFrom(*entry)) {
        return;  // an untouched entry keeps its pairs exactly
    }
    std::string name = page->Name();
    bool enabled = page->Enabled();
    if (FromUtf8(entry->Name()) != page->NameEdit()->text() &&
        !list_.SetPair(shownId_, RfEntry::RfKeys::kName, name)) {
        // ";" and "####" would break the list's text.
        ui::ShowNote(this, "Tip", "The name may not contain \";\" or \"####\".",
                     ui::MessageIcon::kWarning);
        page->ShowEntry(*list_.Find(shownId_));
        return;
    }
    entry = list_.Find(shownId_);
    if (entry->Enabled() != enabled) {
        list_.SetPair(shownId_, RfEntry::RfKeys::kStatus, enabled ? "on" : "off");
    }
    edited_ = true;
    for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
        if ((*it)->data(0, kIdRole).toString().toStdString() == shownId_) {
            (*it)->setText(0, ItemText(*list_.Find(shownId_)));
        }
    }
}

const RfList& CDlgRFMange::List() {
    StorePage();
    return list_;
}

bool CDlgRFMange::Modified() const {
    if (edited_) {
        return true;
    }
    CDlgRFInfo* page = CurrentPage();
    const RfEntry* entry = page ? list_.Find(shownId_) : nullptr;
    return entry != nullptr && page->DiffersFrom(*entry);
}

void CDlgRFMange::Fill() {
    std::string keep = shownId_;
    tree_->blockSignals(true);
    tree_->clear();
    std::map<std::string_view, QTreeWidgetItem*> groups;
    for (std::string_view group : RfGroupsInOrder(list_)) {
        auto* item = new QTreeWidgetItem(tree_, QStringList(FromUtf8(group)));
        item->setExpanded(true);
        groups[group] = item;
    }
    for (const RfEntry& entry : list_.Entries()) {
        auto* item = new QTreeWidgetItem(groups[RfAccessoryTypeOf(entry.id).group],
                                         QStringList(ItemText(entry)));
        item->setData(0, kIdRole, QString::fromStdString(entry.id));
    }
    tree_->expandAll();
    tree_->blockSignals(false);
    ShowDevice({});
    if (!keep.empty()) {
        SelectDevice(keep);  // the page follows the selection
    }
}

bool CDlgRFMange::SelectDevice(const std::string& id) {
    for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
        if ((*it)->data(0, kIdRole).toString().toStdString() == id) {
            tree_->setCurrentItem(*it);
            return true;
        }
    }
    return false;
}

void CDlgRFMange::Load(const std::string& text) {
    list_.Parse(text);
    loaded_ = true;
    edited_ = false;
    fetchTimer_.stop();
    save_->setEnabled(!saving_);
    Fill();
    SetStatus(list_.Empty() ? kNoDevices : "");
}

void CDlgRFMange::DeleteSelected() {
    if (shownId_.empty()) {
        return;
    }
    StorePage();
    list_.Delete(shownId_);
    shownId_.clear();
    edited_ = true;
    Fill();
}

void CDlgRFMange::ClearAll() {
    list_.Clear();
    shownId_.clear();
    edited_ = true;
    Fill();
}

void CDlgRFMange::Save() {
    StorePage();
    if (saving_) {
        return;
    }
    std::optional<std::string> text = list_.Build();
    // A list too long to send is not cut (that would lose accessories): it
    // is not saved at all.
    if (!text || !channel_ || !channel_->Channel().SetRfList(*text) ||
        !channel_->Channel().RequestRfList()) {
        SaveFinished(false);
        return;
    }
    // The read-back tells whether the camera took the list: a refusal of
    // the set arrives first (notice 13366), otherwise the list read back
    // is what the camera now holds.
    saving_ = true;
    sent_ = *text;
    save_->setEnabled(false);
    saveTimer_.start(kSaveTimeoutMs);
}

void CDlgRFMange::SaveFinished(bool saved) {
    saving_ = false;
    saveTimer_.stop();
    save_->setEnabled(loaded_ || !channel_);
    if (saved) {
        edited_ = false;
        ui::ShowNote(this, "Tip", kSaved);
    } else {
        ui::ShowNote(this, "Tip", kNotSaved, ui::MessageIcon::kWarning);
    }
}

void CDlgRFMange::HandleOpened(int result) {
    if (result == 1) {
        SetStatus("Fetching rf device's Info...");
        fetchTimer_.start(kFetchTimeoutMs);
    } else {
        SetStatus("Connecting to Device Failed, Try again!");
        fetchTimer_.stop();
    }
}

void CDlgRFMange::HandleNotice(const Notice& notice) {
    if (notice.message == notice::kRfList) {
        if (saving_) {
            RfList stored;
            stored.Parse(notice.text);
            bool kept = stored.Build() == sent_;
            if (kept) {
                Load(notice.text);
            }
            SaveFinished(kept);
            return;
        }
        if (!loaded_ || !Modified()) {
            Load(notice.text);
        }
    } else if (notice.message == notice::kReplyFailed) {
        if (saving_) {
            SaveFinished(false);
            return;
        }
        fetchTimer_.stop();
        if (!loaded_) {
            SetStatus(kNoDevices);
        }
    }
}

void CDlgRFMange::SetStatus(const QString& text) {
    status_->setText(text);
}

}  // namespace orbisight
