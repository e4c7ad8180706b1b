#include "app/CDlgSystemSetting.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <climits>

#include "account/AccountDialogChecks.h"
#include "account/SavedLogins.h"
#include "app/AppSettings.h"
#include "app/CDlgMyVelaLogin.h"
#include "platform/Text.h"
#include "ui/MessageBoxes.h"

namespace orbisight {

namespace {
// At most 127 characters of a text field go into the record.
std::string Limited(const QString& text) {
    return text.left(static_cast<int>(kSettingsTextLimit)).toUtf8().toStdString();
}
}  // namespace

QString CDlgSystemSetting::VersionText() {
    return QString::asprintf("Orbisight Cloud System 5.0 (Build %s %s)", __DATE__, __TIME__);
}

CDlgSystemSetting::CDlgSystemSetting(AppSettings& settings, SavedLogins* logins, QWidget* parent)
    : QDialog(parent), settings_(settings), logins_(logins) {
    setWindowTitle("Orbisight Cloud System - Settings");
    auto* layout = new QVBoxLayout(this);

    auto* record = new QGroupBox("Recording", this);
    auto* recordForm = new QFormLayout(record);
    auto* minutesRow = new QHBoxLayout;
    minutes_ = new QSpinBox(record);
    minutes_->setRange(INT_MIN, INT_MAX);
    minutes_->setMinimumWidth(90);
    minutes_->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    minutesRow->addWidget(minutes_);
    minutesRow->addWidget(new QLabel("Minute", record));
    minutesRow->addStretch();
    recordForm->addRow("Record file divide:", minutesRow);
    auto* folderRow = new QHBoxLayout;
    folder_ = new QLineEdit(record);
    auto* browse = new QPushButton("...", record);
    browse->setFixedWidth(40);
    browse->setStyleSheet("padding: 4px 6px;");
    folderRow->addWidget(folder_);
    folderRow->addWidget(browse);
    recordForm->addRow("Record file path:", folderRow);
    layout->addWidget(record);

    auto* video = new QGroupBox("Video", this);
    auto* videoLayout = new QVBoxLayout(video);
    localBig_ = new QCheckBox("Local big stream", video);
    paneStream_ = new QCheckBox("Choose stream by pane size", video);
    paneStream_->setToolTip(
        "Small panes play the camera's sub stream, large ones (full screen, one pane) the main "
        "stream. Replaces \"Local big stream\".");
    connect(paneStream_, &QCheckBox::toggled, this, &CDlgSystemSetting::FollowPaneStream);
    keyFramesOnly_ = new QCheckBox("Local only play I frame", video);
    alarmBlink_ = new QCheckBox("Alarm blink", video);
    autoSwitch_ = new QCheckBox("Auto switch when play multi page", video);
    showAlarm_ = new QCheckBox("Alarm Message Window (Enable)", video);
    for (QCheckBox* box :
         {localBig_, paneStream_, keyFramesOnly_, alarmBlink_, autoSwitch_, showAlarm_}) {
        videoLayout->addWidget(box);
    }
    layout->addWidget(video);

    auto* startup = new QGroupBox("Start-up", this);
    auto* startupLayout = new QVBoxLayout(startup);
    autoCheck_ = new QCheckBox("Auto check new version", startup);
    startWithComputer_ = new QCheckBox("Start with computer", startup);
    autoLogin_ = new QCheckBox("Auto login when start  ", startup);
    auto* connectRow = new QHBoxLayout;
    autoConnect_ = new QCheckBox("Auto connect devices", startup);
    autoConnectList_ = new QPushButton("Auto connect list..", startup);
    autoConnectList_->setAutoDefault(false);
    autoConnectList_->setToolTip("The cameras loop play connects after this account logs in");
    connect(autoConnectList_, &QPushButton::clicked, this, &CDlgSystemSetting::EditAutoConnectList);
    connectRow->addWidget(autoConnect_);
    connectRow->addStretch();
    connectRow->addWidget(autoConnectList_);
    for (QCheckBox* box : {autoCheck_, startWithComputer_, autoLogin_}) {
        startupLayout->addWidget(box);
    }
    startupLayout->addLayout(connectRow);
    layout->addWidget(startup);

    auto* server = new QGroupBox("Account server", this);
    auto* serverForm = new QFormLayout(server);
    registerIp_ = new QLineEdit(server);
    serverForm->addRow("Register Ip:", registerIp_);
    layout->addWidget(server);

    version_ = new QLabel(VersionText(), this);
    version_->setStyleSheet("color: #7a8594;");
    layout->addWidget(version_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(browse, &QPushButton::clicked, this, &CDlgSystemSetting::PickFolder);
    Fill();
    resize(460, sizeHint().height());
}

void CDlgSystemSetting::FollowPaneStream(bool byPane) {
    // The pane's size picks every pane's stream while that is on: "Local
    // big stream" keeps its value but has no say, and shows it.
    localBig_->setEnabled(!byPane);
    localBig_->setToolTip(byPane ? "Replaced by \"Choose stream by pane size\"" : QString());
}

void CDlgSystemSetting::Fill() {
    const SettingsRecord& r = settings_.Record();
    autoCheck_->setChecked(r.autoCheckVersion != 0);
    minutes_->setValue(r.recordMinutes);
    localBig_->setChecked(r.localBigStream != 0);
    paneStream_->setChecked(settings_.ChooseStreamByPaneSize());
    FollowPaneStream(paneStream_->isChecked());
    alarmBlink_->setChecked(r.alarmBlink != 0);
    startWithComputer_->setChecked(r.startWithComputer != 0);
    autoConnect_->setChecked(r.autoConnect != 0);
    keyFramesOnly_->setChecked(r.localOnlyKeyFrames != 0);
    showAlarm_->setChecked(settings_.ShowAlarm());
    folder_->setText(QString::fromUtf8(std::string(r.RecordFolder()).c_str()));
    registerIp_->setText(QString::fromStdString(settings_.File().RegisterIp()));
    const UserLoginInfo* login = logins_ ? logins_->InUse() : nullptr;
    if (login) {
        autoLogin_->setText(
            QString("%1 using (%2)")
                .arg("Auto login when start  ")
                .arg(QString::fromUtf8(std::string(FieldText(login->userName)).c_str())));
        autoLogin_->setChecked(login->autoLogin != 0);
    } else {
        autoLogin_->setChecked(r.autoLogin != 0);
    }
}

void CDlgSystemSetting::PickFolder() {
    QString folder = QFileDialog::getExistingDirectory(this, "Record file path", folder_->text());
    if (!folder.isEmpty()) {
        folder_->setText(folder);
    }
}

void CDlgSystemSetting::SetLoopLists(CDlgLoopPlaySetting::ListSource lists, bool publicShown) {
    loopLists_ = std::move(lists);
    publicShown_ = publicShown;
}

std::unique_ptr<CDlgLoopPlaySetting> CDlgSystemSetting::MakeAutoConnectDialog() {
    UserLoginInfo* login = logins_ ? logins_->InUse() : nullptr;
    if (!login) {
        // The selection lives in a saved login; without one it would be
        // written nowhere.
        ui::ShowNote(this, "Tips", kNoLoginText, ui::MessageIcon::kInformation);
        return nullptr;
    }
    return std::make_unique<CDlgLoopPlaySetting>(CDlgLoopPlaySetting::Mode::kAutoConnect,
                                                 loopLists_, publicShown_, login, this);
}

void CDlgSystemSetting::StoreAutoConnect() {
    settings_.Save();
    if (logins_ && !logins_->Save()) {
        ui::ShowNote(this, account_text::kError, CDlgMyVelaLogin::kSaveFailedText,
                     ui::MessageIcon::kWarning);
    }
}

void CDlgSystemSetting::EditAutoConnectList() {
    std::unique_ptr<CDlgLoopPlaySetting> dialog = MakeAutoConnectDialog();
    if (dialog && dialog->exec() == QDialog::Accepted) {
        StoreAutoConnect();
    }
}

void CDlgSystemSetting::Apply() {
    SettingsRecord& r = settings_.Record();
    r.autoCheckVersion = autoCheck_->isChecked() ? 1 : 0;
    r.recordMinutes = minutes_->value();
    r.localBigStream = localBig_->isChecked() ? 1 : 0;
    r.alarmBlink = alarmBlink_->isChecked() ? 1 : 0;
    r.startWithComputer = startWithComputer_->isChecked() ? 1 : 0;
    r.autoLogin = autoLogin_->isChecked() ? 1 : 0;
    r.autoConnect = autoConnect_->isChecked() ? 1 : 0;
    r.localOnlyKeyFrames = keyFramesOnly_->isChecked() ? 1 : 0;
    r.SetRecordFolder(Limited(folder_->text()));
    if (logins_ && logins_->InUse()) {
        logins_->InUse()->autoLogin = r.autoLogin;
        logins_->InUse()->autoConnect = r.autoConnect;
    }
    settings_.File().RewriteServerAddress(Limited(registerIp_->text()));
    settings_.Save();
    // The saved logins are written only when one is in use: an untouched
    // list must never overwrite what is stored.
    if (logins_ && logins_->InUse() && !logins_->Save()) {
        ui::ShowNote(this, account_text::kError, CDlgMyVelaLogin::kSaveFailedText,
                     ui::MessageIcon::kWarning);
    }
    settings_.SetShowAlarm(showAlarm_->isChecked());
    settings_.SaveShowAlarm();
    settings_.SetChooseStreamByPaneSize(paneStream_->isChecked());
    settings_.SaveChooseStreamByPaneSize();
}

void CDlgSystemSetting::accept() {
    if (folder_->text().trimmed().isEmpty()) {
        // Recordings and snapshots need a folder: the dialog stays open.
        ui::ShowNote(this, "Error", kNoFolderText, ui::MessageIcon::kCritical);
        folder_->setFocus();
        return;
    }
    Apply();
    QDialog::accept();
    ui::ShowNote(parentWidget(), "Success",
                 "You must restart the application to reflect the chnages",
                 ui::MessageIcon::kInformation);
}

}  // namespace orbisight
