#include "app/CNetWizardDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QThreadPool>
#include <QVBoxLayout>
#include <mutex>

#include "lan/LanParamSender.h"
#include "lan/WifiScan.h"
#include "ui/MessageBoxes.h"

namespace orbisight {
namespace {

constexpr int kRescanDelayMs = 2000;
const char* const kAddressLabels[] = {"IP:", "Mask:", "Gateway:", "DNS:"};

std::mutex lastScanMutex;
std::vector<std::string> lastScan;  // protected by lastScanMutex

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

// The heading of an address page ("LAN", "WIFI").
QLabel* PageTitle(const char* text, QWidget* page) {
    auto* title = new QLabel(text, page);
    QFont font = title->font();
    font.setBold(true);
    title->setFont(font);
    return title;
}

std::string Std(const QLineEdit* edit) {
    return edit->text().trimmed().toUtf8().toStdString();
}

}  // namespace

std::vector<std::string> CNetWizardDialog::LastScan() {
    std::lock_guard lock(lastScanMutex);
    return lastScan;
}

std::vector<std::string> CNetWizardDialog::ScanAndKeep() {
    std::vector<std::string> names = WifiScan().Scan();
    std::lock_guard lock(lastScanMutex);
    lastScan = names;
    return names;
}

CNetWizardDialog::CNetWizardDialog(const CamNetParam& record, uint16_t setPort, QWidget* parent,
                                   ScanSource scan)
    : QDialog(parent), block_(record.basic), setPort_(setPort), scan_(std::move(scan)) {
    if (!scan_) {
        scan_ = [] { return WifiScan().Scan(); };
    }
    setWindowTitle("Network Wizard");
    auto* layout = new QVBoxLayout(this);
    pages_ = new QStackedWidget(this);
    layout->addWidget(pages_, 1);

    // Step 0: the choice.
    auto* choice = new QWidget(pages_);
    auto* choiceLayout = new QVBoxLayout(choice);
    choiceLayout->addWidget(new QLabel(
        Text("Camera " + std::string(record.Id()) + " (" + std::string(record.Address()) + ")"),
        choice));
    lanChoice_ = new QRadioButton("LAN", choice);
    wifiChoice_ = new QRadioButton("WIFI", choice);
    lanChoice_->setChecked(true);
    choiceLayout->addWidget(lanChoice_);
    choiceLayout->addWidget(wifiChoice_);
    choiceLayout->addStretch(1);
    pages_->addWidget(choice);
    connect(lanChoice_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            ChoosePath(Path::kLan);
        }
    });
    connect(wifiChoice_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            ChoosePath(Path::kWifi);
        }
    });

    // The LAN page.
    WiredNetSettings wired = netwizard::WiredFrom(block_);
    auto* lanPage = new QWidget(pages_);
    auto* lanForm = new QFormLayout(lanPage);
    lanForm->addRow(PageTitle("LAN", lanPage));
    const std::string* wiredValues[] = {&wired.ip, &wired.mask, &wired.gateway, &wired.dns};
    for (int i = 0; i < 4; ++i) {
        wired_[i] = new QLineEdit(Text(*wiredValues[i]), lanPage);
        lanForm->addRow(kAddressLabels[i], wired_[i]);
    }
    wiredDhcp_ = new QCheckBox("EnableDHCP", lanPage);
    lanForm->addRow(wiredDhcp_);
    auto wiredEnable = [this](bool dhcp) {
        for (QLineEdit* e : wired_) {
            e->setEnabled(!dhcp);
        }
    };
    connect(wiredDhcp_, &QCheckBox::toggled, this, wiredEnable);
    wiredDhcp_->setChecked(wired.dhcp);
    wiredEnable(wired.dhcp);
    pages_->addWidget(lanPage);

    // Wi-Fi step 1: the network.
    WifiNetSettings wifi = netwizard::WifiFrom(block_);
    auto* wifiPage = new QWidget(pages_);
    auto* wifiLayout = new QVBoxLayout(wifiPage);
    networks_ = new QListWidget(wifiPage);
    wifiLayout->addWidget(networks_, 1);
    auto* refresh = new QPushButton("Refresh", wifiPage);
    refresh->setAutoDefault(false);
    wifiLayout->addWidget(refresh);
    auto* wifiForm = new QFormLayout;
    essid_ = new QLineEdit(Text(wifi.ssid), wifiPage);
    key_ = new QLineEdit(Text(wifi.key), wifiPage);
    key_->setEchoMode(QLineEdit::Password);
    wifiForm->addRow("ESSID:", essid_);
    wifiForm->addRow("PWD:", key_);
    wifiLayout->addLayout(wifiForm);
    pages_->addWidget(wifiPage);
    connect(refresh, &QPushButton::clicked, this, &CNetWizardDialog::StartScan);
    connect(networks_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        essid_->setText(item->text());
        key_->clear();
    });

    // Wi-Fi step 2: the addresses, DHCP checked at first.
    auto* wifiIpPage = new QWidget(pages_);
    auto* wifiIpForm = new QFormLayout(wifiIpPage);
    wifiIpForm->addRow(PageTitle("WIFI", wifiIpPage));
    const std::string* wifiValues[] = {&wifi.ip, &wifi.mask, &wifi.gateway, &wifi.dns};
    for (int i = 0; i < 4; ++i) {
        wifiAddr_[i] = new QLineEdit(Text(*wifiValues[i]), wifiIpPage);
        wifiIpForm->addRow(kAddressLabels[i], wifiAddr_[i]);
    }
    wifiDhcp_ = new QCheckBox("Enable DHCP", wifiIpPage);
    wifiIpForm->addRow(wifiDhcp_);
    auto wifiEnable = [this](bool dhcp) {
        for (QLineEdit* e : wifiAddr_) {
            e->setEnabled(!dhcp);
        }
    };
    connect(wifiDhcp_, &QCheckBox::toggled, this, wifiEnable);
    wifiDhcp_->setChecked(true);
    wifiEnable(true);
    pages_->addWidget(wifiIpPage);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    prev_ = new QPushButton("Prev", this);
    next_ = new QPushButton("Next", this);
    finish_ = new QPushButton("Finish", this);
    auto* cancel = new QPushButton("Cancel", this);
    for (QPushButton* b : {prev_, next_, finish_, cancel}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(prev_, &QPushButton::clicked, this, &CNetWizardDialog::Prev);
    connect(next_, &QPushButton::clicked, this, &CNetWizardDialog::Next);
    connect(finish_, &QPushButton::clicked, this, [this] { Finish(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    scanTimer_.setSingleShot(true);
    connect(&scanTimer_, &QTimer::timeout, this, &CNetWizardDialog::StartScan);
    SetNetworks(LastScan());
    ShowStep();
}

void CNetWizardDialog::ChoosePath(Path path) {
    path_ = path;
    step_ = 0;
    ShowStep();
}

void CNetWizardDialog::Next() {
    int last = path_ == Path::kLan ? 1 : 2;
    if (step_ < last) {
        ++step_;
        ShowStep();
    }
}

void CNetWizardDialog::Prev() {
    if (step_ > 0) {
        --step_;
        ShowStep();
    }
}

void CNetWizardDialog::ShowStep() {
    // Pages: 0 the choice, 1 LAN, 2 Wi-Fi network, 3 Wi-Fi addresses.
    int page = step_ == 0 ? 0 : (path_ == Path::kLan ? 1 : step_ + 1);
    pages_->setCurrentIndex(page);
    int last = path_ == Path::kLan ? 1 : 2;
    prev_->setEnabled(step_ > 0);
    next_->setEnabled(step_ < last);
    finish_->setEnabled(step_ == last);
    if (page == 2 && !scanTimer_.isActive()) {
        scanTimer_.start(kRescanDelayMs);
    }
}

void CNetWizardDialog::StartScan() {
    QPointer<CNetWizardDialog> guard(this);
    ScanSource scan = scan_;
    QThreadPool::globalInstance()->start([guard, scan] {
        std::vector<std::string> names = scan();
        {
            std::lock_guard lock(lastScanMutex);
            lastScan = names;
        }
        QMetaObject::invokeMethod(
            qApp,
            [guard, names] {
                if (guard) {
                    guard->SetNetworks(names);
                }
            },
            Qt::QueuedConnection);
    });
}

void CNetWizardDialog::SetNetworks(const std::vector<std::string>& names) {
    networks_->clear();
    for (const std::string& name : names) {
        networks_->addItem(Text(name));
    }
    if (networks_->count() > 0) {
        networks_->setCurrentRow(0);
    }
}

bool CNetWizardDialog::Finish() {
    DevInfoBlock block = block_;
    std::string problem;
    if (path_ == Path::kLan) {
        WiredNetSettings s;
        s.ip = Std(wired_[0]);
        s.mask = Std(wired_[1]);
        s.gateway = Std(wired_[2]);
        s.dns = Std(wired_[3]);
        s.dhcp = wiredDhcp_->isChecked();
        problem = netwizard::CheckWired(s);
        netwizard::ApplyWired(block, s);
    } else {
        WifiNetSettings s;
        s.ssid = essid_->text().toUtf8().toStdString();
        s.key = key_->text().toUtf8().toStdString();
        s.ip = Std(wifiAddr_[0]);
        s.mask = Std(wifiAddr_[1]);
        s.gateway = Std(wifiAddr_[2]);
        s.dns = Std(wifiAddr_[3]);
        s.dhcp = wifiDhcp_->isChecked();
        problem = netwizard::CheckWifi(s);
        netwizard::ApplyWifi(block, s);
    }
    if (!problem.empty()) {
        ui::ShowNote(this, "Error", Text(problem), ui::MessageIcon::kCritical);
        return false;
    }
    block_ = block;
    LanParamSender(setPort_).SendBasic(block_);
    accept();
    return true;
}

}  // namespace orbisight
