#include "app/CLocalSearchDlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "account/AccountDialogChecks.h"
#include "account/CXOMPWorker.h"
#include "app/CNetWizardDialog.h"
#include "app/GuiNoticeTarget.h"
#include "lan/LanListener.h"
#include "ui/BusyCall.h"
#include "ui/MessageBoxes.h"

namespace orbisight {
namespace {

constexpr int kFirstRowDelayMs = 600;
constexpr int kFixedColumnsWidth = 590;
constexpr int kColumnWidths[] = {120, 130, 130, 80, 130};
constexpr const char* kNoEditTip = "Editing a LAN camera's settings is not wired up yet";

}  // namespace

CLocalSearchDlg::CLocalSearchDlg(CXOMPWorker* worker, LanListener* lan, EditHook edit,
                                 QWidget* parent)
    : QDialog(parent), worker_(worker), lan_(lan), editHook_(std::move(edit)) {
    setWindowTitle("Local Search");
    resize(820, 420);
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHeaderLabels({"Dev IP", "Dev Name", "Dev ID", "Net Type", "MAC", "Version"});
    for (int i = 0; i < 5; ++i) {
        list_->setColumnWidth(i, kColumnWidths[i]);
    }
    layout->addWidget(list_, 1);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const char* text) {
        auto* b = new QPushButton(text, this);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    bind_ = button("Add to my list(&B)");
    edit_ = button("Edit(&E)");
    wizard_ = button("Wizard(&W)");
    addLocal_ = button("Add to loal list(&A)");
    addLocal_->hide();
    buttons->addStretch(1);
    refresh_ = button("Refresh(&S)");
    exit_ = button("Exit(&E)");
    layout->addLayout(buttons);
    if (!editHook_) {
        edit_->setToolTip(kNoEditTip);
    }

    connect(bind_, &QPushButton::clicked, this, &CLocalSearchDlg::Bind);
    connect(edit_, &QPushButton::clicked, this, &CLocalSearchDlg::Edit);
    connect(wizard_, &QPushButton::clicked, this, &CLocalSearchDlg::Wizard);
    connect(addLocal_, &QPushButton::clicked, this, &CLocalSearchDlg::AddToLocalList);
    connect(refresh_, &QPushButton::clicked, this, &CLocalSearchDlg::Refresh);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CLocalSearchDlg::UpdateButtons);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { Edit(); });
    selectTimer_.setSingleShot(true);
    connect(&selectTimer_, &QTimer::timeout, this, [this] {
        if (list_->topLevelItemCount() > 0 && SelectedRow() < 0) {
            list_->setCurrentItem(list_->topLevelItem(0));
        }
        UpdateButtons();
    });
    UpdateButtons();

    notices_ =
        std::make_unique<GuiNoticeTarget>(this, [this](const Notice& n) { HandleNotice(n); });
    if (lan_) {
        lan_->SetTarget(LanWindow::kLocalSearch, notices_.get());
    }
}

CLocalSearchDlg::~CLocalSearchDlg() {
    if (lan_) {
        lan_->SetTarget(LanWindow::kLocalSearch, nullptr);
    }
}

void CLocalSearchDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!searched_) {
        searched_ = true;
        if (lan_) {
            lan_->StartLanSearch();
        }
        selectTimer_.start(kFirstRowDelayMs);
    }
}

void CLocalSearchDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    list_->setColumnWidth(5, std::max(60, list_->viewport()->width() - kFixedColumnsWidth));
}

void CLocalSearchDlg::Refresh() {
    rows_.Clear();
    list_->clear();
    if (lan_) {
        lan_->StartLanSearch();
    }
    UpdateButtons();
}

void CLocalSearchDlg::HandleNotice(const Notice& notice) {
    if (notice.message != notice::kLanDeviceFound || !notice.object) {
        return;
    }
    const auto& record = *static_cast<const CamNetParam*>(notice.object.get());
    if (notice.wParam == 1) {
        rows_.ApplyExtended(record);
        return;
    }
    LanSearchRows::Result result = rows_.ApplyBasic(record);
    if (result.change == LanSearchRows::Change::kInserted) {
        new QTreeWidgetItem(list_);
    } else {
        AddLocal(rows_.Rows()[static_cast<size_t>(result.row)]);
    }
    FillRow(result.row);
}

void CLocalSearchDlg::FillRow(int row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (!item) {
        return;
    }
    std::vector<std::string> columns =
        LanSearchRows::Columns(rows_.Rows()[static_cast<size_t>(row)]);
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        item->setText(c, QString::fromUtf8(columns[static_cast<size_t>(c)].c_str()));
    }
}

int CLocalSearchDlg::SelectedRow() const {
    QTreeWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) {
        return -1;
    }
    int row = list_->indexOfTopLevelItem(item);
    return row >= 0 && row < static_cast<int>(rows_.Rows().size()) ? row : -1;
}

void CLocalSearchDlg::UpdateButtons() {
    bool selected = SelectedRow() >= 0;
    edit_->setEnabled(selected && static_cast<bool>(editHook_));
    wizard_->setEnabled(selected);
    addLocal_->setEnabled(selected);
}

void CLocalSearchDlg::AddLocal(const CamNetParam& record) {
    worker_->AddLocalDevice(record.Id(), record.Address(), record.Name(), record.Password(), 0);
    emit localListChanged();
}

void CLocalSearchDlg::Bind() {
    int row = SelectedRow();
    if (row < 0) {
        return;
    }
    if (!worker_->IsLoggedIn()) {
        ui::ShowNote(this, "Tips", account_text::kLoginFirst, ui::MessageIcon::kWarning);
        return;
    }
    std::string id(rows_.Rows()[static_cast<size_t>(row)].Id());
    int result = ui::RunBusy(this, [this, id] { return worker_->BindDevice("", id, ""); });
    std::string text = LanBindResultText(result, worker_->LastStatusText());
    ui::ShowNote(this, "Tips", QString::fromUtf8(text.c_str()),
                 result == 1 ? ui::MessageIcon::kInformation : ui::MessageIcon::kCritical);
}

void CLocalSearchDlg::Edit() {
    int row = SelectedRow();
    if (row < 0 || !editHook_) {
        return;
    }
    CamNetParam copy = rows_.Rows()[static_cast<size_t>(row)];
    editHook_(this, copy);
}

void CLocalSearchDlg::Wizard() {
    int row = SelectedRow();
    if (row < 0) {
        return;
    }
    uint16_t port = lan_ ? lan_->Ports().fixedSetPort : lan::kFixedSetPort;
    CNetWizardDialog wizard(rows_.Rows()[static_cast<size_t>(row)], port, this);
    wizard.exec();
}

void CLocalSearchDlg::AddToLocalList() {
    int row = SelectedRow();
    if (row >= 0) {
        AddLocal(rows_.Rows()[static_cast<size_t>(row)]);
    }
}

}  // namespace orbisight
