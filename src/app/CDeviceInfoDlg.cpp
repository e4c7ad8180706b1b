#include "app/CDeviceInfoDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstring>

#include "account/CXOMPWorker.h"
#include "app/CDeviceInfoPage.h"
#include "app/ChannelCloser.h"
#include "app/PaneLink.h"
#include "platform/WorkerThread.h"
#include "ui/MessageBoxes.h"

namespace orbisight {

using params::Page;

// A worker thread of the dialog and the way its result comes back.
struct CDeviceInfoDlg::Background {
    std::shared_ptr<PaneLink> target;
    std::unique_ptr<WorkerThread> thread;
};

CDeviceInfoDlg::CDeviceInfoDlg(std::unique_ptr<DeviceParamLink> link, const DeviceInfo& camera,
                               QWidget* parent)
    : QDialog(parent), link_(std::move(link)), camera_(camera) {
    setWindowTitle("Device Parameters");
    clock_ = [] { return QDateTime::currentDateTime(); };
    PageHooks hooks;
    hooks.refreshWifi = [this] { RefreshWifiList(); };
    hooks.editSchedule = [this] {
        if (!scheduleEditor_ || !loaded_) {
            return;
        }
        DevInfoBlock block = scheduleEdited_ ? schedule_ : edited_.basic;
        // The plan's "Alarm" mode follows the alert choice as the "Alert
        // Trigger" page shows it now, sent or not.
        auto* alert = PageWidget(Page::kAlertTrigger)->findChild<QComboBox*>("alertOn");
        if (alert && alert->currentIndex() >= 0) {
            block.alertOn = static_cast<uint8_t>(alert->currentIndex());
        }
        if (scheduleEditor_(block, this)) {
            schedule_ = block;
            scheduleEdited_ = true;
            PageWidget(Page::kAlarmRecord)->SetChanged(true);
            UpdateOk();
        }
    };
    hooks.fetchComputerTime = [this] { FetchComputerTime(); };
    hooks.restart = [this](params::RestartKind kind) { Restart(kind); };

    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    for (int i = 0; i < params::kPageCount; ++i) {
        CDeviceInfoPage* page = BuildDeviceInfoPage(static_cast<Page>(i), hooks, tabs_);
        connect(page, &CDeviceInfoPage::changedByUser, this, [this] { UpdateOk(); });
        tabs_->addTab(page, page->objectName());
        pages_.push_back(page);
    }
    layout->addWidget(tabs_);
    publicDevice_ = new QCheckBox("Public device", this);
    publicDevice_->setObjectName("publicDevice");
    publicDevice_->hide();
    status_ = new QLabel(this);
    status_->setObjectName("status");
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("ok");
    ok_->setEnabled(false);
    auto* cancel = new QPushButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, [this] { Submit(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { UpdateOk(); });
    setTimer_.setSingleShot(true);
    connect(&setTimer_, &QTimer::timeout, this, [this] { OnSetTimeout(); });
    // The schedule button waits for its editor.
    SetScheduleEditor(nullptr);
}

CDeviceInfoDlg::~CDeviceInfoDlg() {
    for (auto& background : background_) {
        background->target->Detach();
        if (closer_) {
            ReleasedChannel released;
            released.opener = std::move(background->thread);
            closer_->Hand(std::move(released));
        }
    }
    background_.clear();  // without a closer (tests): joined here
    link_.reset();
}

void CDeviceInfoDlg::SetAccountRename(CXOMPWorker* worker, bool publicDevice) {
    worker_ = worker;
    publicDevice_->setChecked(publicDevice);
}

void CDeviceInfoDlg::SetWifiScanner(std::function<std::vector<std::string>()> scanner) {
    wifiScanner_ = std::move(scanner);
}

void CDeviceInfoDlg::SetScheduleEditor(std::function<bool(DevInfoBlock&, QWidget*)> editor) {
    scheduleEditor_ = std::move(editor);
    if (auto* button = findChild<QPushButton*>("scheduleSettings")) {
        button->setEnabled(static_cast<bool>(scheduleEditor_));
    }
}

void CDeviceInfoDlg::Start() {
    DeviceParamLink::Handlers handlers;
    handlers.status = [this](const QString& text) { SetStatus(text); };
    handlers.parameters = [this](const params::DeviceParamRecord& record, const DevInfoExt& ext) {
        LoadParameters(record, ext);
    };
    handlers.setAnswered = [this](bool accepted) { OnSetAnswered(accepted); };
    link_->Start(std::move(handlers));
    // The WIFI page lists the networks this computer sees from the start.
    RefreshWifiList(false);
}

CDeviceInfoPage* CDeviceInfoDlg::PageWidget(Page page) const {
    int index = static_cast<int>(page);
    return index >= 0 && index < static_cast<int>(pages_.size()) ? pages_[index] : nullptr;
}

CDeviceInfoPage* CDeviceInfoDlg::CurrentPage() const {
    return qobject_cast<CDeviceInfoPage*>(tabs_->currentWidget());
}

QString CDeviceInfoDlg::Status() const {
    return status_->text();
}

void CDeviceInfoDlg::SetStatus(const QString& text) {
    status_->setText(text);
}

void CDeviceInfoDlg::UpdateOk() {
    CDeviceInfoPage* page = CurrentPage();
    ok_->setEnabled(loaded_ && pendingPage_ < 0 && page && page->Changed());
}

void CDeviceInfoDlg::LoadParameters(const params::DeviceParamRecord& record,
                                    const DevInfoExt& ext) {
    // What the user has not committed lives in the controls of the changed
    // pages; the record itself follows the camera.
    edited_ = record;
    unedited_ = record;
    ext_ = ext;
    PageBlocks blocks{edited_, ext_, link_->Mode()};
    for (CDeviceInfoPage* page : pages_) {
        if (!loaded_ || !page->Changed()) {
            page->Load(blocks);
        }
    }
    loaded_ = true;
    UpdateOk();
}

bool CDeviceInfoDlg::Submit() {
    CDeviceInfoPage* page = CurrentPage();
    if (!loaded_ || !page || pendingPage_ >= 0) {
        return false;
    }
    // The page is collected into a copy: a refusal half-way leaves the
    // record as it was.
    params::DeviceParamRecord scratch = edited_;
    DevInfoExt scratchExt = ext_;
    PageBlocks blocks{scratch, scratchExt, link_->Mode()};
    Page kind = page->Kind();
    std::string name;
    if (kind == Page::kSystemInfo) {
        auto text = [page](const char* objectName) {
            auto* line = page->findChild<QLineEdit*>(objectName);
            return line ? line->text().toStdString() : std::string();
        };
        switch (
            params::ApplyNewPassword(scratch.basic, text("newPassword"), text("repeatPassword"))) {
            case params::PasswordChange::kMismatch:
                ui::ShowNote(this, "Note", "Repeat password error!", ui::MessageIcon::kCritical);
                return false;
            case params::PasswordChange::kTooLong:
                ui::ShowNote(this, "Note",
                             QString("Password too long, at most %1 characters!")
                                 .arg(params::kMaxPasswordBytes),
                             ui::MessageIcon::kCritical);
                return false;
            default:
                break;
        }
        name = text("deviceName");  // QString::toStdString is UTF-8
        if (!params::DeviceNameFits(name)) {
            ui::ShowNote(this, "Note", "Device name too long!", ui::MessageIcon::kCritical);
            return false;
        }
        scratch.basic.SetDeviceName(name);
    }
    QString error;
    if (!page->StoreInto(blocks, &error)) {
        ui::ShowNote(this, "Note", error, ui::MessageIcon::kCritical);
        return false;
    }
    if (kind == Page::kAlarmRecord && scheduleEdited_) {
        std::memcpy(scratch.basic.recordSchedule, schedule_.recordSchedule,
                    sizeof scratch.basic.recordSchedule);
    }
    needsRestart_ = params::RestartRelevantChange(scratch.basic, unedited_.basic);
    params::StampForSet(scratch, kind);
    edited_ = scratch;
    ext_ = scratchExt;

    bool sent = kind == Page::k3g
                    ? link_->SendExtended(params::OutgoingBlock(edited_.lanExtended), ext_)
                    : link_->SendBasic(params::OutgoingBlock(edited_.basic));
    // The password change went out with this block; later pages must not
    // ask for it again.
    edited_.basic.passwordChange = 0;
    std::memset(edited_.basic.newPassword, 0, sizeof edited_.basic.newPassword);
    if (!sent) {
        ui::ShowNote(this, "Note", "Device is not connected, the setting was not applied!",
                     ui::MessageIcon::kCritical);
        return false;
    }
    if (!link_->AnswersSets()) {
        pendingName_ = name;
        Succeeded(static_cast<int>(kind));
        return true;
    }
    pendingPage_ = static_cast<int>(kind);
    pendingName_ = name;
    SetStatus("Setting Device's Info...");
    setTimer_.start(setAnswerTimeoutMs_);
    UpdateOk();
    return true;
}

void CDeviceInfoDlg::OnSetAnswered(bool accepted) {
    if (pendingPage_ < 0) {
        return;  // the answer to a restart command
    }
    int page = pendingPage_;
    pendingPage_ = -1;
    setTimer_.stop();
    SetStatus("");
    if (accepted) {
        Succeeded(page);
        return;
    }
    UpdateOk();
    ui::ShowNote(this, "Note", "Device parameter setting failed, the setting was not applied!",
                 ui::MessageIcon::kCritical);
}

void CDeviceInfoDlg::OnSetTimeout() {
    if (pendingPage_ < 0) {
        return;
    }
    pendingPage_ = -1;
    SetStatus("");
    UpdateOk();
    ui::ShowNote(this, "Note", "The device did not answer, the setting may not have been applied!",
                 ui::MessageIcon::kCritical);
}

void CDeviceInfoDlg::Succeeded(int index) {
    CDeviceInfoPage* page = pages_[index];
    page->SetChanged(false);
    if (page->Kind() == Page::kAlarmRecord) {
        scheduleEdited_ = false;
    }
    if (page->Kind() == Page::kSystemInfo) {
        for (const char* field : {"newPassword", "repeatPassword"}) {
            if (auto* line = page->findChild<QLineEdit*>(field)) {
                line->clear();
            }
        }
    }
    unedited_ = edited_;
    UpdateOk();
    ok_->setEnabled(false);
    ui::ShowNote(this, "Note", "Device parameter setting success!");
    if (lanSearch_) {
        lanSearch_();
    }
    if (page->Kind() == Page::kSystemInfo && worker_ && camera_.type != 0 &&
        pendingName_ != camera_.Name()) {
        StartRename(pendingName_);
    }
}

void CDeviceInfoDlg::StartRename(const std::string& name) {
    CXOMPWorker* worker = worker_;
    std::string id(camera_.Id());
    int type = publicDevice_->isChecked() ? 1 : 0;
    RunInBackground("dlg/rename", [this, worker, id, name, type]() -> std::function<void()> {
        int result = worker->ModifyDevice(id, name, type);
        return [this, result, id, name] {
            if (result == 1) {
                camera_.SetName(name);
                emit deviceRenamed(QString::fromStdString(id), QString::fromStdString(name));
            } else {
                ui::ShowNote(this, "Note",
                             "The camera took the new name, but the account did not, please "
                             "retry!",
                             ui::MessageIcon::kCritical);
            }
        };
    });
}

void CDeviceInfoDlg::Restart(params::RestartKind kind) {
    if (!loaded_) {
        return;
    }
    if (!link_->SendBasic(params::RestartBlock(edited_.basic, kind))) {
        ui::ShowNote(this, "Note", "Device is not connected, the restart command was not sent!",
                     ui::MessageIcon::kCritical);
        return;
    }
    ui::ShowNote(this, "Note", "Restart command sent!");
}

void CDeviceInfoDlg::FetchComputerTime() {
    CDeviceInfoPage* page = PageWidget(Page::kMisc);
    QDateTime now = clock_();
    int index = params::TimeZoneIndexForOffset(now.offsetFromUtc() / 60);
    if (auto* zone = page->findChild<QComboBox*>("timeZone")) {
        zone->setCurrentIndex(zone->findData(index));
    }
    if (auto* date = page->findChild<QDateEdit*>("date")) {
        date->setDate(now.date());
    }
    if (auto* time = page->findChild<QTimeEdit*>("time")) {
        time->setTime(now.time());
    }
    page->SetChanged(true);
    UpdateOk();
}

void CDeviceInfoDlg::RefreshWifiList(bool selectFirst) {
    if (!wifiScanner_) {
        return;  // no way to scan here: the list stays as it is
    }
    scanSelectsFirst_ = scanSelectsFirst_ || selectFirst;
    if (scanRunning_) {
        return;  // the scan under way answers this request too
    }
    scanRunning_ = true;
    auto scanner = wifiScanner_;
    RunInBackground("dlg/wifiscan", [this, scanner]() -> std::function<void()> {
        std::vector<std::string> networks = scanner();
        return [this, networks] {
            scanRunning_ = false;
            bool selectFirst = scanSelectsFirst_;
            scanSelectsFirst_ = false;
            auto* list = PageWidget(Page::kWifi)->findChild<QComboBox*>("wifiSsid");
            if (!list) {
                return;
            }
            if (!selectFirst) {
                // Not the user's doing: the SSID and the page's state stay.
                QSignalBlocker quiet(list);
                QString ssid = list->currentText();
                list->clear();
                for (const auto& name : networks) {
                    list->addItem(QString::fromStdString(name));
                }
                list->setEditText(ssid);
                return;
            }
            list->clear();
            for (const auto& ssid : networks) {
                list->addItem(QString::fromStdString(ssid));
            }
            if (list->count() > 0) {
                list->setCurrentIndex(0);
            }
        };
    });
}

void CDeviceInfoDlg::RunInBackground(const std::string& name,
                                     std::function<std::function<void()>()> work) {
    auto background = std::make_shared<Background>();
    background->target = std::make_shared<PaneLink>(this, nullptr, nullptr);
    background->thread = std::make_unique<WorkerThread>();
    std::shared_ptr<PaneLink> target = background->target;
    background->thread->Start(name, [target, work](AutoResetEvent&) {
        std::function<void()> done = work();
        target->Queue(std::move(done));
    });
    background_.push_back(std::move(background));
}

}  // namespace orbisight
