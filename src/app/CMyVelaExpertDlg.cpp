#include "app/CMyVelaExpertDlg.h"

#include "app/ClientSettingsFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTreeWidget>
#include <QWindow>

#include "account/CXOMPWorker.h"
#include "account/UserInfo.h"
#include "app/AlarmNotifier.h"
#include "app/AppSettings.h"
#include "app/CAlarmHistoryDlg.h"
#include "app/CDlgDevAllCtrl.h"
#include "app/CDlgDeviceCtrl.h"
#include "app/CDlgDeviceList.h"
#include "app/CDlgLoopPlaySetting.h"
#include "app/CDlgMyVelaLogin.h"
#include "app/CDlgRecordingPlay.h"
#include "app/CDlgSystemSetting.h"
#include "app/CDlgUserInfo.h"
#include "app/CDlgVedioShow.h"
#include "app/CLocalSearchDlg.h"
#include "app/CMyVelaExpertApp.h"
#include "app/CRecordMangerDlg.h"
#include "app/DiskGuard.h"
#include "app/LoopPlay.h"
#include "app/TitleBar.h"
#include "app/UpdateListener.h"
#include "app/VideoWall.h"
#include "lan/LanListener.h"
#include "media/CWaveOut.h"
#include "ui/MessageBoxes.h"
#include "ui/SkinImages.h"

namespace orbisight {

namespace {
constexpr const char* kProductName = "Orbisight Cloud System";
}

CMyVelaExpertDlg::CMyVelaExpertDlg(AppSettings& settings, Options options, QWidget* parent)
    : QWidget(parent), settings_(settings), options_(std::move(options)) {
    setWindowTitle(kProductName);
    setWindowFlag(Qt::FramelessWindowHint);
    setWindowIcon(QIcon(ui::SkinImages::Path("orbisight.png")));
    setMinimumSize(WallLayout::kMinWidth, WallLayout::kMinHeight);
    setFocusPolicy(Qt::StrongFocus);

    // The public list is hidden at every start.
    settings_.Record().showPublicList = 0;
    // The playback window's sound: the sound output of ORBISIGHT_AUDIO.
    playbackAudio_ = [] { return std::make_unique<CWaveOut>(nullptr, "playback"); };

    CXOMPWorkerOptions workerOptions;
    workerOptions.dataFolder = settings_.Where().dataFolder;
    if (options_.accountTimings) {
        workerOptions.timings = *options_.accountTimings;
    }
    worker_ = std::make_unique<CXOMPWorker>(nullptr, workerOptions);
    worker_->Logins().Load();
    // The LAN list is shared with bind and unbind, which tell a camera on the
    // LAN its account; the device tree starts the listener.
    LanPorts lanPorts;
    lanPorts.setPort = worker_->Settings().deviceSetPort;
    lanPorts.getPort = worker_->Settings().deviceGetPort;
    lan_ = std::make_unique<LanListener>(lanPorts);
    worker_->SetLanBlockLookup(MakeBasicBlockLookup(lan_->List()));

    PaneContext context;
    context.createChannel = options_.channelFactory ? options_.channelFactory
                                                    : PaneChannelFactory(CreateLivePaneChannel);
    ClientSettingsFile clientFile = ClientSettingsFile::InDataFolder();
    context.channelSettings = [this, peerHost = clientFile.RendezvousHost(),
                               peerPort = clientFile.RendezvousPort()](const DeviceInfo&,
                                                                       int slot) {
        const SettingsRecord& r = settings_.Record();
        PaneChannelSettings s;
        s.localBigStream = r.localBigStream != 0;
        s.localOnlyKeyFrames = r.localOnlyKeyFrames != 0;
        s.chooseStreamByPaneSize = settings_.ChooseStreamByPaneSize();
        s.alarmBlink = r.alarmBlink != 0;
        s.directory = worker_.get();
        s.name = "cam" + std::to_string(slot);
        s.recordFolder = std::string(r.RecordFolder());
        s.recordMinutes = r.recordMinutes;
        s.rendezvousHost = peerHost;
        s.rendezvousPort = peerPort;
        return s;
    };
    context.prepareDevice = [this](DeviceInfo& device) { PrepareDevice(device); };
    wall_ = new VideoWall(this, std::move(context), this);

    title_ = new TitleBar(this);
    toolbar_ = new CDlgDevAllCtrl(this);
    toolbar_->SetLayoutCodeSource([this] { return wall_->Layout().LayoutCode(); });
    tree_ = new CDlgDeviceList(worker_.get(), wall_, settings_.Record().showPublicList != 0,
                               options_.probeAtStart, this);
    tree_->SetLan(lan_.get());
    connect(tree_, &CDlgDeviceList::localSearchRequested, this, &CMyVelaExpertDlg::OpenLocalSearch);
    // "Edit(&E)" of "Local Search": the settings dialog in LAN mode.
    SetLanEditHook([this](QWidget* parent, const CamNetParam& record) {
        tree_->EditLanParameters(parent, record);
    });
    panel_ = new CDlgDeviceCtrl(wall_, this);
    loop_ = new LoopPlay(wall_, this);
    connect(loop_, &LoopPlay::frameLayoutRequested, this, [this] {
        LayoutFrame(false);
        setFocus();
    });
    // Every "Stop loop playing?" answered Yes ends up here.
    connect(wall_, &VideoWall::stopLoopRequested, loop_, &LoopPlay::Stop);
    connect(tree_, &CDlgDeviceList::accountListShown, this, &CMyVelaExpertDlg::OnAccountListShown);
    alarmWindow_ =
        new CAlarmHistoryDlg(&worker_->AlarmHistory(), settings_.Where().dataFolder, this);
    notifier_ = new AlarmNotifier(this);
    connect(panel_, &CDlgDeviceCtrl::alarmLogRequested, alarmWindow_,
            &CAlarmHistoryDlg::ShowAlarms);
    connect(alarmWindow_, &CAlarmHistoryDlg::openCameraRequested, this,
            &CMyVelaExpertDlg::OpenAlarmCamera);
    // The record manager's openers: the panel's "SD / Cloud" (the camera
    // selected in the tree, else the panel's pane), the tree's
    // "SD/Cloud Storage(&C)" and a pane's recordings box.
    connect(panel_, &CDlgDeviceCtrl::recordsRequested, this, [this] {
        QTreeWidgetItem* current = tree_->Tree()->currentItem();
        const DeviceInfo* selected = current ? tree_->RecordOf(current) : nullptr;
        if (selected && !selected->isGroup) {
            DeviceInfo copy = *selected;
            OpenRecordManager(&copy);
        } else if (panel_->Pane() && panel_->Pane()->Device()) {
            DeviceInfo copy = *panel_->Pane()->Device();
            OpenRecordManager(&copy);
        }
    });
    connect(tree_, &CDlgDeviceList::recordsRequested, this,
            [this](const DeviceInfo& camera) { OpenRecordManager(&camera); });
    connect(wall_, &VideoWall::paneRecordsRequested, this, [this](CDlgVedioShow* pane) {
        if (pane->Device()) {
            DeviceInfo copy = *pane->Device();
            OpenRecordManager(&copy);
        }
    });
    connect(notifier_, &AlarmNotifier::clicked, this, &CMyVelaExpertDlg::BringForwardWithAlarms);
    RefreshAccount();
    // The account label follows the session, refreshed with the device
    // panel's texts.
    accountTimer_.start(CDlgDeviceCtrl::kTextsMs);
    connect(&accountTimer_, &QTimer::timeout, this, &CMyVelaExpertDlg::RefreshAccount);

    connect(title_, &TitleBar::command, this, &CMyVelaExpertDlg::Command);
    connect(title_, &TitleBar::aboutRequested, this, &CMyVelaExpertDlg::ShowAbout);
    connect(title_, &TitleBar::accountClicked, this,
            [this] { Command(worker_->IsLoggedIn() ? kCmdUserInfo : kCmdLoginLogout); });
    connect(toolbar_, &CDlgDevAllCtrl::command, this, [this](int id) {
        // The toolbar's login button shares its number with the title bar's
        // maximize button.
        Command(id == CDlgDevAllCtrl::kLogin ? kCmdLoginLogout : id);
    });
    connect(wall_, &VideoWall::mainWindowCommand, this, &CMyVelaExpertDlg::Command);
    connect(wall_, &VideoWall::pagingChanged, this, &CMyVelaExpertDlg::UpdatePaging);
    connect(wall_, &VideoWall::frameLayoutRequested, this, &CMyVelaExpertDlg::LayoutFrame);
    connect(wall_, &VideoWall::selectionChanged, this, [this](CDlgVedioShow* pane) {
        panel_->SetPane(pane);
        if (pane && pane->Device()) {
            tree_->SelectDevice(pane->Device()->Id());
        }
    });
    connect(wall_, &VideoWall::paneConnectionChanged, this, [this](CDlgVedioShow* pane) {
        if (pane == panel_->Pane()) {
            panel_->RefreshTexts();
        }
    });
    connect(tree_, &CDlgDeviceList::accountChanged, this, &CMyVelaExpertDlg::RefreshAccount);
    connect(tree_, &CDlgDeviceList::alarmArrived, this, &CMyVelaExpertDlg::OnAlarm);
    connect(tree_, &CDlgDeviceList::paneForSelection, this, [this](const std::string& id) {
        panel_->SetTreeCamera(!id.empty());
        CDlgVedioShow* pane = id.empty() ? nullptr : wall_->PaneShowing(id);
        if (pane) {
            wall_->SelectPane(pane);
        } else {
            panel_->SetPane(nullptr);
        }
    });

    diskGuard_ = std::make_unique<DiskGuard>();
    diskGuard_->SetRecordFolder(std::string(settings_.Record().RecordFolder()));
    if (options_.startDiskGuard) {
        diskGuard_->Start();
    }
    if (options_.updateListener) {
        updates_ = new UpdateListener(this);
        connect(updates_, &UpdateListener::updaterMessage, this,
                &CMyVelaExpertDlg::OnUpdaterMessage);
        updates_->Listen();
    }

    // Timer 1: once the window has its size, lay out the frame. The wall
    // starts 2 x 2 with nothing selected; a layout or pane chosen before
    // this step (a script's, loop play's full screen) is kept: forcing the
    // 2 x 2 wall here would shrink a running loop's screens to four panes.
    startTimer_.setSingleShot(true);
    connect(&startTimer_, &QTimer::timeout, this, [this] {
        LayoutFrame(true);
        if (!wall_->SelectedPane()) {
            wall_->SelectPane(wall_->Pane(0));
        }
        // The login flow, once (logged out at this point).
        if (options_.loginAtStart && !worker_->IsLoggedIn()) {
            OpenLoginDialog();
        }
    });
    startTimer_.start(100);
}

CMyVelaExpertDlg::~CMyVelaExpertDlg() {
    diskGuard_->Stop();
    // An open login dialog goes first: its end reaches the tree.
    delete loginDialog_.data();
    // The window is hidden by now (closeEvent) and the event loop has ended:
    // here the remaining waits are allowed. The wall's closer finishes every
    // channel still closing before the session they look addresses up in.
    delete tree_;
    tree_ = nullptr;
    // The listener stops here (within its receive slice), not at the end.
    lan_->Stop();
    delete wall_;
    wall_ = nullptr;
    // A playback window closed last stops its player behind it.
    PlaybackSession::WaitAllIdle(3000);
}

bool CMyVelaExpertDlg::RightPanelHidden() const {
    return wall_->Layout().RightPanelHidden();
}

void CMyVelaExpertDlg::LayoutFrame(bool /*fromResize*/) {
    int w = width();
    int h = height();
    bool full = wall_->FullScreen();
    title_->setGeometry(0, 0, w, TitleBar::kHeight);
    toolbar_->setGeometry(1, TitleBar::kHeight, w - 2, CDlgDevAllCtrl::kHeight);
    tree_->setGeometry(2, 96, 218, h - 101);
    panel_->setGeometry(w - 221, 96, CDlgDeviceCtrl::kWidth, h - 101);
    title_->setVisible(!full);
    toolbar_->setVisible(!full);
    tree_->setVisible(!full);
    panel_->setVisible(!full && !RightPanelHidden());
    toolbar_->SetRightPanelHidden(RightPanelHidden());
    title_->SetMaximized(isMaximized());
    ApplyWindowShape();
    wall_->SetClientSize(w, h);
}

void CMyVelaExpertDlg::ApplyWindowShape() {
    // The two top corners rounded (radius 10), unless the window fills the
    // screen.
    if (isMaximized() || isFullScreen() || wall_->FullScreen()) {
        clearMask();
        return;
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 10, 10);
    path.addRect(QRectF(0, 10, width(), height() - 10));
    setMask(QRegion(path.simplified().toFillPolygon().toPolygon()));
}

void CMyVelaExpertDlg::resizeEvent(QResizeEvent*) {
    LayoutFrame(true);
}

void CMyVelaExpertDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        title_->SetMaximized(isMaximized());
        ApplyWindowShape();
    }
    QWidget::changeEvent(event);
}

void CMyVelaExpertDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The wall's background shows between the panes.
    p.fillRect(rect(), QColor(0x2a, 0x31, 0x3c));
    if (!wall_->FullScreen()) {
        p.fillRect(QRect(0, 96, 220, height() - 96), QColor(0xe6, 0xe9, 0xee));
        if (!RightPanelHidden()) {
            p.fillRect(QRect(width() - 223, 96, 223, height() - 96), QColor(0xe6, 0xe9, 0xee));
        }
    }
}

void CMyVelaExpertDlg::UpdatePaging() {
    const WallLayout& layout = wall_->Layout();
    toolbar_->SetPaging(layout.PageCount(), QString::fromStdString(layout.PagingStatus()));
}

void CMyVelaExpertDlg::Command(int id) {
    WallLayout& layout = wall_->Layout();
    if (id >= WallLayout::kLayoutCommandBase && id <= WallLayout::kLayoutCommandBase + 0x2E) {
        int code = id - WallLayout::kLayoutCommandBase;
        if ((code >= 1 && code <= 16) || WallLayout::IsCustomCode(code)) {
            wall_->SetLayout(code, false);
        }
        return;
    }
    switch (id) {
        case kCmdOk:
        case kCmdEscape:
            if (layout.FullScreen()) {
                wall_->ToggleFullScreen();
            }
            return;
        case kCmdClose:
            if (layout.FullScreen()) {
                wall_->ToggleFullScreen();
                return;
            }
            close();
            return;
        case TitleBar::kClose:
        case CDlgDevAllCtrl::kExit:
            QMetaObject::invokeMethod(
                this, [this] { Command(kCmdClose); }, Qt::QueuedConnection);
            return;
        case TitleBar::kMinimize:
            showMinimized();
            return;
        case TitleBar::kMaximize:
            if (isMaximized()) {
                showNormal();
            } else {
                showMaximized();
            }
            return;
        case CDlgDevAllCtrl::kFirstPage:
            wall_->Page(WallLayout::PageCommand::kFirst);
            return;
        case CDlgDevAllCtrl::kPreviousPage:
            wall_->Page(WallLayout::PageCommand::kPrevious);
            return;
        case CDlgDevAllCtrl::kNextPage:
            wall_->Page(WallLayout::PageCommand::kNext);
            return;
        case CDlgDevAllCtrl::kLastPage:
            wall_->Page(WallLayout::PageCommand::kLast);
            return;
        case CDlgDevAllCtrl::kMultiPictures:  // 1039: layout 1 (title command)
        case 1040:
        case 1041:
        case 1042:
        case 1043:
            wall_->SetLayout(id - 1038, false);
            return;
        case CDlgDevAllCtrl::kFullScreen:
            wall_->EnterWallFullScreen();
            return;
        case CDlgDevAllCtrl::kSettings:
            OpenSettings();
            return;
        case CDlgDevAllCtrl::kReplay:
            OpenPlayback();
            return;
        case CDlgDevAllCtrl::kDevScan:
            OpenLocalSearch();
            return;
        case CDlgDevAllCtrl::kRightPanel:
            layout.SetRightPanelHidden(!layout.RightPanelHidden());
            LayoutFrame(false);
            update();
            return;
        case CDlgDevAllCtrl::kConnectAll:
            if (!layout.LoopActive()) {
                wall_->ConnectAll([this] { return tree_->DevicesForConnectAll(); });
            }
            return;
        case CDlgDevAllCtrl::kDisconnectAll:
            wall_->DisconnectAll(true);
            return;
        case CDlgDevAllCtrl::kRecordAll:
            wall_->RecordAll();
            return;
        case CDlgDevAllCtrl::kSnapshotAll:
            wall_->UserSnapshotAll();
            return;
        case CDlgDevAllCtrl::kLoopPlay:
            ToggleLoopPlay();
            return;
        case kCmdLoginLogout:
            LoginOrLogout();
            return;
        case kCmdUserInfo:
            OpenUserInfo();
            return;
        default:
            return;
    }
}

void CMyVelaExpertDlg::LoginOrLogout() {
    if (!worker_->IsLoggedIn()) {
        OpenLoginDialog();
        return;
    }
    if (!ui::AskYesNo(this, "Tips", QString::fromUtf8("Do you want to login out？"),
                      /*defaultNo=*/true)) {
        return;
    }
    LogoutNow();
}

CDlgMyVelaLogin* CMyVelaExpertDlg::LoginDialog() const {
    return loginDialog_;
}

CDlgMyVelaLogin* CMyVelaExpertDlg::OpenLoginDialog() {
    if (loginDialog_) {
        loginDialog_->raise();
        loginDialog_->activateWindow();
        return loginDialog_;
    }
    auto* dialog = new CDlgMyVelaLogin(worker_.get(), settings_, !loginOpened_, this);
    loginOpened_ = true;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    loginDialog_ = dialog;
    tree_->SetLoginDialog(dialog);
    connect(dialog, &QDialog::finished, this, [this](int result) {
        tree_->SetLoginDialog(nullptr);
        if (result == QDialog::Accepted) {
            // Auto login follows the account that just logged in.
            if (const UserLoginInfo* login = worker_->Logins().InUse()) {
                settings_.Record().autoLogin = login->autoLogin;
            }
        }
        RefreshAccount();
    });
    // Modal for the main window, without blocking the caller: the
    // automation and the session's notices keep running meanwhile.
    dialog->open();
    return dialog;
}

void CMyVelaExpertDlg::OpenUserInfo() {
    if (!worker_->IsLoggedIn()) {
        return;
    }
    CDlgUserInfo dialog(worker_.get(), this);
    dialog.exec();
    RefreshAccount();
}

void CMyVelaExpertDlg::OnAlarm(const QString& deviceId, const QString& title, const QString& text) {
    // The session keeps every alarm. With "Alarm Message Window (Enable)"
    // off an alarm window that is up anyway (the panel's "Alarm log") only
    // shows it; on, the window comes up, the desktop is told, and the camera
    // opens as on a double click.
    if (!settings_.ShowAlarm()) {
        if (alarmWindow_->Up()) {
            alarmWindow_->Refill();
        }
        return;
    }
    alarmWindow_->ShowAlarms();
    std::string id = deviceId.toStdString();
    QString name;
    auto device = worker_->FindDevice(DeviceListKind::kMy, id, IdMatch::kExact);
    if (!device) {
        device = worker_->FindDevice(DeviceListKind::kLocal, id, IdMatch::kIgnoreCase);
    }
    if (device) {
        name = QString::fromUtf8(device->DisplayName().c_str());
    }
    // The text is "ID\r\nCONTENT".
    qsizetype cut = text.indexOf("\r\n");
    notifier_->Notify(name, deviceId, title, cut < 0 ? text : text.mid(cut + 2));
    if (QTreeWidgetItem* item = tree_->FindItem(tree::Branch::kMy, id)) {
        tree_->Activate(item);
    }
}

void CMyVelaExpertDlg::BringForwardWithAlarms() {
    if (isMinimized()) {
        showNormal();
    }
    show();
    raise();
    activateWindow();
    alarmWindow_->ShowAlarms();
}

void CMyVelaExpertDlg::OpenAlarmCamera(const QString& deviceId) {
    // Local cameras first, then the account's, ignoring case.
    std::string id = deviceId.toStdString();
    auto device = worker_->FindDevice(DeviceListKind::kLocal, id, IdMatch::kIgnoreCase);
    if (!device) {
        device = worker_->FindDevice(DeviceListKind::kMy, id, IdMatch::kIgnoreCase);
    }
    if (!device) {
        // The manager opens without a camera and its page says why.
        OpenRecordManager(nullptr, QString("Camera %1 is not in your camera lists.").arg(deviceId));
        return;
    }
    DeviceInfo copy = *device;
    OpenRecordManager(&copy);
}

RecordManagerContext CMyVelaExpertDlg::MakeRecordManagerContext() const {
    RecordManagerContext context;
    context.recordFolder = std::string(settings_.Record().RecordFolder());
    CXOMPWorker* worker = worker_.get();
    context.accountCameras = [worker] {
        std::vector<DeviceInfo> cameras;
        if (worker == nullptr || !worker->IsLoggedIn()) {
            return cameras;
        }
        for (const DeviceInfo& record : worker->SnapshotList(DeviceListKind::kMy)) {
            if (!record.isGroup) {
                cameras.push_back(record);
            }
        }
        return cameras;
    };
    // Null when the cloud-storage client could not be loaded whole: the
    // cloud page then says cloud storage is unavailable.
    context.cloud = CMyVelaExpertApp::CloudStorage();
    return context;
}

CRecordMangerDlg* CMyVelaExpertDlg::OpenRecordManager(const DeviceInfo* camera,
                                                      const QString& noCamera) {
    if (recordManager_) {
        recordManager_->raise();
        recordManager_->activateWindow();
        return recordManager_;
    }
    CRecordMangerDlg::Options options;
    options.audio = playbackAudio_;
    std::optional<DeviceInfo> copy;
    if (camera != nullptr) {
        copy = *camera;
        PrepareDevice(*copy);  // the camera's own login, as a pane uses it
    }
    recordManager_ = CRecordMangerDlg::OpenForCamera(
        MakeRecordManagerContext(), copy ? &*copy : nullptr, this, std::move(options), noCamera);
    return recordManager_;
}

CRecordMangerDlg* CMyVelaExpertDlg::RecordManager() const {
    return recordManager_;
}

void CMyVelaExpertDlg::PrepareDevice(DeviceInfo& device) const {
    // The account server tells nothing about a camera's own login. A camera
    // of the account is opened with the login of the same camera in the
    // local list when there is one, else with the usual user name "admin".
    if (device.local || !device.User().empty()) {
        return;
    }
    auto local = worker_->FindDevice(DeviceListKind::kLocal, device.Id(), IdMatch::kIgnoreCase);
    if (local && !local->User().empty()) {
        device.SetUser(local->User());
        device.SetPassword(local->Password());
        return;
    }
    device.SetUser("admin");
}

void CMyVelaExpertDlg::LogoutNow() {
    if (!worker_->IsLoggedIn()) {
        return;
    }
    loop_->Stop();
    autoConnectTried_ = false;
    wall_->DisconnectAll(false);
    worker_->Logout();
    RefreshAccount();
    tree_->RebuildAll();
}

std::unique_ptr<CDlgLoopPlaySetting> CMyVelaExpertDlg::MakeLoopDialog() {
    return std::make_unique<CDlgLoopPlaySetting>(
        CDlgLoopPlaySetting::Mode::kNormal,
        [this](DeviceListKind kind) { return worker_->SnapshotList(kind); },
        settings_.Record().showPublicList != 0, nullptr, this);
}

void CMyVelaExpertDlg::StartLoop(const CDlgLoopPlaySetting& dialog) {
    loop_->Start(dialog.Options(), dialog.Chosen());
}

void CMyVelaExpertDlg::ToggleLoopPlay() {
    if (loop_->Active()) {
        // Asks "Do you want to  Stop loop playing?"; Yes reaches the driver.
        wall_->ConfirmStopLoop();
        return;
    }
    std::unique_ptr<CDlgLoopPlaySetting> dialog = MakeLoopDialog();
    if (dialog->exec() == QDialog::Accepted) {
        StartLoop(*dialog);
    }
}

// The tree shows the lists again. Loop play starts by itself once per login,
// after the first rebuild while logged in; later rebuilds (every status
// change) only bring newly on-line cameras of the selection into the loop.
void CMyVelaExpertDlg::OnAccountListShown() {
    if (!worker_->IsLoggedIn()) {
        autoConnectTried_ = false;
        return;
    }
    if (!autoConnectTried_) {
        autoConnectTried_ = true;
        UserLoginInfo* login = worker_->Logins().InUse();
        // A loop the user started before logging in is left running.
        if (settings_.Record().autoConnect != 0 && login && login->autoConnect != 0 &&
            !loop_->Active()) {
            if (login->loopPicturesPerScreen < 1 || login->loopPicturesPerScreen > 5) {
                login->loopPicturesPerScreen = 2;
            }
            LoopOptions options;
            options.fullScreen = login->loopFullScreen != 0;
            options.slideMinutes = login->loopSlideMinutes > 0 ? login->loopSlideMinutes : 1;
            options.snapSeconds = login->loopSnapSeconds;  // 0 or less: 5 s (LoopPlay)
            options.picturesPerScreen = login->loopPicturesPerScreen;
            options.autoSnap = login->loopAutoSnap != 0;
            options.autoRecord = login->loopAutoRecord != 0;
            loop_->StartAutoConnect(options, login->AutoConnectIds());
        }
    }
    if (loop_->Active() && loop_->Schedule().AutoConnect()) {
        for (DeviceListKind kind :
             {DeviceListKind::kMy, DeviceListKind::kLocal, DeviceListKind::kPublic}) {
            loop_->Offer(worker_->SnapshotList(kind));
        }
    }
}

void CMyVelaExpertDlg::RefreshAccount() {
    bool loggedIn = worker_->IsLoggedIn();
    std::string name = worker_->UserName();
    std::string nickname;
    if (auto user = worker_->CurrentUser()) {
        nickname = std::string(user->DisplayName());
    }
    title_->SetAccountText(QString::fromUtf8(AccountLabel(loggedIn, name, nickname).c_str()));
    toolbar_->SetLoggedIn(loggedIn);
}

void CMyVelaExpertDlg::OpenSettings() {
    CDlgSystemSetting dialog(settings_, &worker_->Logins(), this);
    dialog.SetLoopLists([this](DeviceListKind kind) { return worker_->SnapshotList(kind); },
                        settings_.Record().showPublicList != 0);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    diskGuard_->SetRecordFolder(std::string(settings_.Record().RecordFolder()));
    // "Local only play I frame" reaches the cameras of the local list only,
    // wherever on the wall they are; account cameras keep their own flag.
    bool keyFramesOnly = settings_.Record().localOnlyKeyFrames != 0;
    for (int slot = 0; slot < WallLayout::kPaneCount; ++slot) {
        CDlgVedioShow* pane = wall_->Pane(slot);
        PaneChannel* channel = pane->Channel();
        if (channel && pane->Device() && pane->Device()->local) {
            channel->SetKeyFramesOnly(keyFramesOnly);
        }
        if (channel) {
            channel->SetRecordSettings(std::string(settings_.Record().RecordFolder()),
                                       settings_.Record().recordMinutes);
        }
    }
}

void CMyVelaExpertDlg::OpenLocalSearch() {
    CLocalSearchDlg dialog(worker_.get(), lan_.get(), lanEdit_, this);
    connect(&dialog, &CLocalSearchDlg::localListChanged, tree_, &CDlgDeviceList::RebuildLocal);
    dialog.exec();
}

void CMyVelaExpertDlg::OpenPlayback() {
    CDlgRecordingPlay::Options options;
    options.recordFolder = std::string(settings_.Record().RecordFolder());
    if (options.recordFolder.empty()) {
        options.recordFolder = settings_.Where().defaultRecordFolder;
    }
    options.audio = playbackAudio_;
    CDlgRecordingPlay dialog(std::move(options), this);
    dialog.exec();
}

void CMyVelaExpertDlg::ShowAbout() {
    ui::ShowNote(this, "About Orbisight Cloud System", "Orbisight Cloud System, Version 5.0",
                 ui::MessageIcon::kInformation);
}

void CMyVelaExpertDlg::OnUpdaterMessage(int code) {
    if (code == UpdateListener::kNewVersionDownloaded) {
        if (ui::AskYesNo(this, "Automatic update prompt",
                         "The new program has been downloaded, Do you want to install it now?")) {
            updatePending_ = true;
            QMetaObject::invokeMethod(
                this, [this] { Command(kCmdClose); }, Qt::QueuedConnection);
        } else if (updates_) {
            updates_->CreateRejectLock();
        }
    } else if (code == UpdateListener::kNoNewVersion) {
        ui::ShowNote(this, "Tips", QString::fromUtf8("Don't have new program！"));
    }
}

bool CMyVelaExpertDlg::ConfirmClose() {
    if (updatePending_ || closeConfirmed_) {
        return true;
    }
    return ui::AskYesNo(this, "Tips", QString("Do you want to close %1?").arg(kProductName));
}

void CMyVelaExpertDlg::EmptyWallForClose() {
    // Hidden first; the panes only hand their channels over (the wall's end
    // waits for the closes, after the event loop).
    hide();
    panel_->hide();
    tree_->hide();
    for (int slot = 0; slot < WallLayout::kPaneCount; ++slot) {
        CDlgVedioShow* pane = wall_->Pane(slot);
        if (pane->InUse() || pane->Device()) {
            pane->Disconnect();
        }
    }
    wall_->Count();
    wall_->Layout().SetCurrentPage(0);
    wall_->SelectPane(wall_->Pane(0));
    wall_->ReapplyLayout();
}

void CMyVelaExpertDlg::CloseWithoutPrompt() {
    closeConfirmed_ = true;
    close();
}

void CMyVelaExpertDlg::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    if (!ConfirmClose()) {
        event->ignore();
        return;
    }
    closing_ = true;
    loop_->Stop();
    worker_->Logout();  // finishes behind while the wall empties
    EmptyWallForClose();
    event->accept();
}

void CMyVelaExpertDlg::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    if (wall_->FullScreen() && (key == Qt::Key_Escape || key == Qt::Key_Return ||
                                key == Qt::Key_Enter || key == Qt::Key_Space)) {
        wall_->ToggleFullScreen();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CMyVelaExpertDlg::mousePressEvent(QMouseEvent* event) {
    // The whole client area counts as caption: dragging it moves the window.
    if (event->button() == Qt::LeftButton && !isMaximized() && windowHandle()) {
        windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}

}  // namespace orbisight
