#include "app/AutomationRunner.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>

#include "account/CXOMPWorker.h"
#include "app/AppSettings.h"
#include "app/CAlarmHistoryDlg.h"
#include "app/CDlgCloudSearchPage.h"
#include "app/CDlgDevAllCtrl.h"
#include "app/CDlgDeviceCtrl.h"
#include "app/CDlgDeviceList.h"
#include "app/CDlgLoopPlaySetting.h"
#include "app/CDlgMyVelaLogin.h"
#include "app/CDlgRecordingPlay.h"
#include "app/CDlgSDSearchPage.h"
#include "app/CDlgVedioShow.h"
#include "app/CMyVelaExpertApp.h"
#include "app/CMyVelaExpertDlg.h"
#include "app/CRecordMangerDlg.h"
#include "app/LoopPlay.h"
#include "app/PaneChannel.h"
#include "app/PaneGeometry.h"
#include "app/RecordPlayerView.h"
#include "app/StallWatch.h"
#include "app/TitleBar.h"
#include "app/VideoWall.h"
#include "app/WallStats.h"
#include "records/CloudStorageLibrary.h"
#include "ui/ImageButton.h"
#include "ui/MessageBoxes.h"
#include "ui/SkinImages.h"

namespace orbisight {

AutomationRunner::AutomationRunner(CMyVelaExpertDlg* window, std::vector<AutomationStep> steps)
    : QObject(window), window_(window), steps_(std::move(steps)) {}

AutomationRunner* AutomationRunner::FromEnvironment(CMyVelaExpertDlg* window) {
    QByteArray script = qgetenv("ORBISIGHT_AUTOMATION");
    if (script.isEmpty()) {
        return nullptr;
    }
    std::string error;
    auto steps = ParseAutomation(script.toStdString(), &error);
    if (!error.empty()) {
        std::fprintf(stderr, "automation: %s", error.c_str());
    }
    // The slide period is minutes for a user; a scripted run shortens it.
    int slideMs = qEnvironmentVariableIntValue("ORBISIGHT_LOOP_SLIDE_MS");
    if (slideMs > 0) {
        window->Loop()->SetSlideOverrideMs(slideMs);
    }
    return new AutomationRunner(window, std::move(steps));
}

void AutomationRunner::Start() {
    bool unattended = !steps_.empty() && steps_.back().verb == "quit";
    if (unattended) {
        ui::SetMessageResponder([](const ui::MessageRequest& request) {
            std::fprintf(stderr, "automation: answered \"%s\"\n",
                         request.text.toUtf8().constData());
            return request.buttons == ui::MessageButtons::kYesNo ? ui::MessageAnswer::kYes
                                                                 : ui::MessageAnswer::kOk;
        });
    }
    clock_.start();
    QTimer::singleShot(0, this, &AutomationRunner::RunNext);
}

// Keeps the script at a waiting step while `ready` is false, for at most
// kConditionWaitMs; then it goes on and says what it did not see.
bool AutomationRunner::HoldUntil(bool ready, const char* missing) {
    if (!conditionDeadline_.isValid()) {
        conditionDeadline_.start();
    }
    if (!ready && conditionDeadline_.elapsed() < kConditionWaitMs) {
        QTimer::singleShot(200, this, &AutomationRunner::RunNext);
        return true;
    }
    conditionDeadline_.invalidate();
    if (!ready) {
        std::fprintf(stderr, "automation: %s\n", missing);
        Trace(QString("hold: ") + missing);
    }
    return false;
}

int AutomationRunner::OnlineCount() const {
    int online = 0;
    for (DeviceListKind kind : {DeviceListKind::kMy, DeviceListKind::kLocal}) {
        for (const DeviceInfo& device : window_->Session()->SnapshotList(kind)) {
            online += device.IsOnline() && !device.isGroup ? 1 : 0;
        }
    }
    return online;
}

// "Connect all" has gone through its list and every pane in use has shown
// its first picture.
bool AutomationRunner::AllPanesPlaying() const {
    VideoWall* wall = window_->Wall();
    if (wall->ConnectAllRunning()) {
        return false;
    }
    for (int slot = 0; slot < WallLayout::kPaneCount; ++slot) {
        CDlgVedioShow* pane = wall->Pane(slot);
        if (pane->InUse() && !(pane->Channel() && pane->Channel()->Playing())) {
            return false;
        }
    }
    return true;
}

void AutomationRunner::RunNext() {
    if (next_ >= steps_.size()) {
        return;
    }
    const AutomationStep& step = steps_[next_];
    // "at" and timed screenshots wait for their moment, counted from the
    // script's start; a timer that fires early simply waits again.
    std::optional<double> at = step.atSeconds;
    if (step.verb == "at") {
        at = std::stod(step.argument);
    }
    if (at) {
        qint64 due = static_cast<qint64>(*at * 1000) - clock_.elapsed();
        if (due > 0) {
            QTimer::singleShot(static_cast<int>(due), Qt::PreciseTimer, this,
                               &AutomationRunner::RunNext);
            return;
        }
    }
    if (step.verb == "wait-file") {
        std::error_code ec;
        if (!std::filesystem::exists(step.argument, ec)) {
            QTimer::singleShot(100, this, &AutomationRunner::RunNext);
            return;
        }
    }
    if (step.verb == "wait-lists" &&
        HoldUntil(window_->Session()->WaitListsComplete(0), "the account lists are not complete")) {
        return;
    }
    if (step.verb == "wait-online" && HoldUntil(OnlineCount() >= std::atoi(step.argument.c_str()),
                                                "fewer cameras are on-line than asked")) {
        return;
    }
    if (step.verb == "wait-records" &&
        HoldUntil(RecordsReady(step.argument), "the record manager does not show it")) {
        return;
    }
    if (step.verb == "wait-playing" &&
        HoldUntil(AllPanesPlaying(), "not every pane shows pictures")) {
        return;
    }
    int pause = step.verb == "at" ? 0 : Run(step);
    ++next_;
    QTimer::singleShot(pause, Qt::PreciseTimer, this, &AutomationRunner::RunNext);
}

int AutomationRunner::Run(const AutomationStep& step) {
    VideoWall* wall = window_->Wall();
    const std::string& arg = step.argument;
    std::fprintf(stderr, "automation: %s%s%s\n", step.verb.c_str(), arg.empty() ? "" : "=",
                 arg.c_str());
    if (step.verb == "connect-all") {
        window_->Command(CDlgDevAllCtrl::kConnectAll);
    } else if (step.verb == "loop-play") {
        // N, then optionally ":snap" (auto snap at its shortest period) and
        // ":record" (auto record).
        std::unique_ptr<CDlgLoopPlaySetting> dialog = window_->MakeLoopDialog();
        if (QRadioButton* pictures = dialog->PicturesButton(std::atoi(arg.c_str()))) {
            pictures->setChecked(true);
        }
        if (arg.find(":snap") != std::string::npos) {
            dialog->AutoSnapBox()->setChecked(true);
            dialog->SnapSeconds()->setValue(CDlgLoopPlaySetting::kSpinMin);
        }
        if (arg.find(":record") != std::string::npos) {
            dialog->AutoRecordBox()->setChecked(true);
        }
        dialog->accept();
        if (dialog->result() == QDialog::Accepted) {
            window_->StartLoop(*dialog);
        }
    } else if (step.verb == "loop-stop") {
        window_->Loop()->Stop();
    } else if (step.verb == "disconnect-all") {
        wall->DisconnectAll(false);
    } else if (step.verb == "open") {
        CXOMPWorker* session = window_->Session();
        auto device = session->FindDevice(DeviceListKind::kLocal, arg, IdMatch::kExact);
        if (!device) {
            device = session->FindDevice(DeviceListKind::kMy, arg, IdMatch::kExact);
        }
        if (device && !wall->IsShown(arg)) {
            wall->OpenDevice(*device);
        } else if (!device) {
            std::fprintf(stderr, "automation: no camera \"%s\"\n", arg.c_str());
        }
    } else if (step.verb == "layout") {
        wall->SetLayout(std::atoi(arg.c_str()), false);
    } else if (step.verb == "select") {
        int slot = std::atoi(arg.c_str());
        if (slot >= 0 && slot < WallLayout::kPaneCount) {
            wall->SelectPane(wall->Pane(slot));
        }
    } else if (step.verb == "playback") {
        Playback(arg);
    } else if (step.verb == "records") {
        Records(arg);
    } else if (step.verb == "quality") {
        // The panel's quality menu: high, middle or low.
        const std::pair<const char*, int> levels[] = {
            {"high", kQualityMenuHigh}, {"middle", kQualityMenuMiddle}, {"low", kQualityMenuLow}};
        for (const auto& [name, menuId] : levels) {
            if (arg == name) {
                window_->DevicePanel()->ChooseQuality(menuId);
            }
        }
    } else if (step.verb == "panel") {
        // A button of the device panel, by its ID (1033 sound, 1066 talk ...).
        window_->DevicePanel()->Trigger(std::atoi(arg.c_str()));
    } else if (step.verb == "fullscreen") {
        wall->ToggleFullScreen();
    } else if (step.verb == "wall-fullscreen") {
        wall->EnterWallFullScreen();
    } else if (step.verb == "page") {
        static const std::pair<const char*, WallLayout::PageCommand> pages[] = {
            {"first", WallLayout::PageCommand::kFirst},
            {"prev", WallLayout::PageCommand::kPrevious},
            {"next", WallLayout::PageCommand::kNext},
            {"last", WallLayout::PageCommand::kLast}};
        for (const auto& [name, command] : pages) {
            if (arg == name) {
                wall->Page(command);
            }
        }
    } else if (step.verb == "wait") {
        return static_cast<int>(std::stod(arg) * 1000);
    } else if (step.verb == "screenshot") {
        QPixmap shot = window_->grab();
        if (!shot.save(QString::fromStdString(arg), "PNG")) {
            std::fprintf(stderr, "automation: cannot write %s\n", arg.c_str());
        }
    } else if (step.verb == "screen") {
        QScreen* screen = window_->screen();
        QPixmap shot = screen ? screen->grabWindow(0) : QPixmap();
        if (shot.isNull() || !shot.save(QString::fromStdString(arg), "PNG")) {
            std::fprintf(stderr, "automation: cannot write %s\n", arg.c_str());
        }
    } else if (step.verb == "drag") {
        int slot = 0;
        int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        if (std::sscanf(arg.c_str(), "%d:%d,%d,%d,%d", &slot, &x1, &y1, &x2, &y2) == 5 &&
            slot >= 0 && slot < WallLayout::kPaneCount) {
            wall->Pane(slot)->SimulateDrag(QPoint(x1, y1), QPoint(x2, y2));
        } else {
            std::fprintf(stderr, "automation: drag needs SLOT:X1,Y1,X2,Y2\n");
        }
    } else if (step.verb == "setting") {
        size_t colon = arg.find(':');
        std::string name = arg.substr(0, colon);
        int32_t value = colon == std::string::npos ? -1 : std::atoi(arg.c_str() + colon + 1);
        SettingsRecord& record = window_->Settings().Record();
        if (name == "choose-stream-by-pane-size" && (value == 0 || value == 1)) {
            window_->Settings().SetChooseStreamByPaneSize(value == 1);
            return 0;
        }
        int32_t* field = name == "local-big-stream"      ? &record.localBigStream
                         : name == "local-only-i-frame"  ? &record.localOnlyKeyFrames
                         : name == "alarm-blink"         ? &record.alarmBlink
                         : name == "start-with-computer" ? &record.startWithComputer
                                                         : nullptr;
        if (field && (value == 0 || value == 1)) {
            *field = value;
        } else {
            std::fprintf(stderr, "automation: unknown setting \"%s\"\n", arg.c_str());
        }
    } else if (step.verb == "login" || step.verb == "fill-login") {
        Login(arg, step.verb == "login");
    } else if (step.verb == "cancel-login") {
        if (CDlgMyVelaLogin* dialog = window_->LoginDialog()) {
            dialog->reject();
        }
    } else if (step.verb == "logout") {
        window_->LogoutNow();
    } else if (step.verb == "expand") {
        tree::Branch branch = arg == "local" ? tree::Branch::kLocal : tree::Branch::kMy;
        if (QTreeWidgetItem* root = window_->DeviceTree()->RootItem(branch)) {
            root->setExpanded(true);
            for (QTreeWidgetItemIterator it(root); *it; ++it) {
                if (window_->DeviceTree()->BranchOf(*it) == branch) {
                    (*it)->setExpanded(true);
                }
            }
        }
    } else if (step.verb == "trace") {
        StartTrace(arg);
    } else if (step.verb == "mark") {
        Trace(QString::fromStdString("mark: " + arg));
    } else if (step.verb == "stall-watch") {
        new StallWatch(arg, this);
    } else if (step.verb == "wall-stats") {
        if (!WriteWallStats(*wall, arg)) {
            std::fprintf(stderr, "automation: cannot write \"%s\"\n", arg.c_str());
        }
    } else if (step.verb == "quit") {
        window_->CloseWithoutPrompt();
    }
    return 0;
}

void AutomationRunner::Login(const std::string& argument, bool press) {
    if (window_->Session()->IsLoggedIn()) {
        std::fprintf(stderr, "automation: already logged in\n");
        return;
    }
    size_t colon = argument.find(':');
    QString user = QString::fromUtf8(argument.substr(0, colon).c_str());
    QString password = QString::fromUtf8(argument.substr(colon + 1).c_str());
    CDlgMyVelaLogin* dialog = window_->OpenLoginDialog();
    TraceLoginDialog(dialog);
    dialog->TypeAccount(user, password);
    if (press) {
        dialog->PressLogin();
    }
}

void AutomationRunner::Playback(const std::string& action) {
    if (action == "open") {
        // The toolbar's button; its window runs modal after this step.
        QTimer::singleShot(0, window_,
                           [window = window_] { window->Command(CDlgDevAllCtrl::kReplay); });
        return;
    }
    auto* dialog = window_->findChild<CDlgRecordingPlay*>();
    if (!dialog) {
        Trace("playback: not open");
        return;
    }
    if (action.rfind("item:", 0) == 0) {
        // The first recording or snapshot whose path holds the text: a
        // double click on it.
        std::string part = action.substr(5);
        dialog->RebuildTree();
        for (QTreeWidgetItemIterator it(dialog->Tree()); *it; ++it) {
            CDlgRecordingPlay::ItemKind kind = CDlgRecordingPlay::KindOf(*it);
            bool file = kind == CDlgRecordingPlay::ItemKind::kRecording ||
                        kind == CDlgRecordingPlay::ItemKind::kSnapshot;
            if (file && dialog->PathOf(*it).string().find(part) != std::string::npos) {
                dialog->Tree()->setCurrentItem(*it);
                dialog->OpenItem(*it);
                break;
            }
        }
    } else if (action == "pause" || action == "play") {
        dialog->PlayOrPause();
    } else if (action == "fast") {
        dialog->FastForward();
    } else if (action == "stop") {
        dialog->StopPlayback();
    } else if (action.rfind("seek:", 0) == 0) {
        dialog->SeekTo(std::atoi(action.c_str() + 5));
    } else if (action == "delete") {
        dialog->DeleteSelected();
    } else if (action == "close") {
        dialog->close();
        return;
    }
    // What the window shows now, for the trace.
    Trace(QString("playback: %1 | %2 | %3 | %4")
              .arg(dialog->PathBox()->text(), dialog->TimeLabel()->text(),
                   dialog->StatusLabel()->text(), dialog->PlayButton()->text()));
}

namespace {

// The list and status of the record manager's current tab.
struct RecordTab {
    QTreeWidget* list = nullptr;
    QLabel* status = nullptr;
    QPushButton* query = nullptr;
    QDateEdit* date = nullptr;
    int nameColumn = 1;
};

RecordTab CurrentTab(CRecordMangerDlg* manager) {
    RecordTab tab;
    if (manager->Tabs()->currentIndex() == 0) {
        CDlgSDSearchPage* sd = manager->SdPage();
        tab = {sd->List(), sd->Status(), sd->QueryButton(), sd->DateEdit(),
               CDlgSDSearchPage::kColumnName};
    } else {
        CDlgCloudSearchPage* cloud = manager->CloudPage();
        tab = {cloud->findChild<QTreeWidget*>("recordList"), cloud->findChild<QLabel*>("status"),
               cloud->findChild<QPushButton*>("query"), cloud->findChild<QDateEdit*>("date"), 1};
    }
    return tab;
}

}  // namespace

bool AutomationRunner::RecordsReady(const std::string& what) const {
    CRecordMangerDlg* manager = window_->RecordManager();
    if (!manager) {
        return what == "closed";
    }
    if (what == "sd-list") {
        return manager->SdPage()->List()->topLevelItemCount() > 0;
    }
    if (what == "cloud-list") {
        auto* list = manager->CloudPage()->findChild<QTreeWidget*>("recordList");
        return list && list->topLevelItemCount() > 0;
    }
    if (what == "download") {
        return !manager->SdPage()->Downloading();
    }
    if (what == "playing") {
        return manager->Player()->Active() && manager->Player()->PicturesShown() > 0;
    }
    return false;
}

void AutomationRunner::Records(const std::string& action) {
    if (action.rfind("open:", 0) == 0) {
        // The tree's "SD/Cloud Storage(&C)" on the camera.
        std::string id = action.substr(5);
        CXOMPWorker* session = window_->Session();
        auto device = session->FindDevice(DeviceListKind::kMy, id, IdMatch::kExact);
        if (!device) {
            device = session->FindDevice(DeviceListKind::kLocal, id, IdMatch::kExact);
        }
        if (!device) {
            std::fprintf(stderr, "automation: no camera \"%s\"\n", id.c_str());
            return;
        }
        emit window_->DeviceTree()->recordsRequested(*device);
        TraceRecords();
        return;
    }
    CRecordMangerDlg* manager = window_->RecordManager();
    if (!manager) {
        Trace("records: not open");
        return;
    }
    RecordTab tab = CurrentTab(manager);
    if (action == "tab:sd" || action == "tab:cloud") {
        manager->Tabs()->setCurrentIndex(action == "tab:sd" ? 0 : 1);
    } else if (action.rfind("date:", 0) == 0) {
        QDate day = QDate::fromString(QString::fromStdString(action.substr(5)), "yyyyMMdd");
        if (day.isValid() && tab.date) {
            tab.date->setDate(day);
        } else {
            std::fprintf(stderr, "automation: records=date:YYYYMMDD\n");
        }
    } else if (action == "query") {
        if (tab.query) {
            tab.query->click();
        }
    } else if (action.rfind("item:", 0) == 0) {
        // A double click on the first row whose name holds the text.
        QString part = QString::fromStdString(action.substr(5));
        for (int i = 0; tab.list && i < tab.list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = tab.list->topLevelItem(i);
            if (row->text(tab.nameColumn).contains(part)) {
                tab.list->setCurrentItem(row);
                emit tab.list->itemDoubleClicked(row, tab.nameColumn);
                break;
            }
        }
    } else if (action == "play" || action == "pause") {
        manager->Button(CRecordMangerDlg::kPlay)->click();
    } else if (action == "stop") {
        manager->Button(CRecordMangerDlg::kStop)->click();
    } else if (action == "forward") {
        manager->Button(CRecordMangerDlg::kForward)->click();
    } else if (action == "backward") {
        manager->Button(CRecordMangerDlg::kBackward)->click();
    } else if (action == "fullscreen") {
        manager->ToggleFullScreen();
    } else if (action == "close") {
        manager->close();
        Trace("records: closed");
        return;
    } else if (action != "show") {
        std::fprintf(stderr, "automation: unknown records action \"%s\"\n", action.c_str());
    }
    TraceRecords();
}

// What the manager shows now: tab, status, rows, the first row's
// "Download" text (SD), the player's status, position and play button.
void AutomationRunner::TraceRecords() {
    CRecordMangerDlg* manager = window_->RecordManager();
    if (!manager) {
        Trace("records: not open");
        return;
    }
    RecordTab tab = CurrentTab(manager);
    bool sd = manager->Tabs()->currentIndex() == 0;
    QString download;
    if (sd && tab.list) {
        for (int i = 0; i < tab.list->topLevelItemCount(); ++i) {
            QString text = tab.list->topLevelItem(i)->text(CDlgSDSearchPage::kColumnDownload);
            if (!text.isEmpty()) {
                download =
                    tab.list->topLevelItem(i)->text(CDlgSDSearchPage::kColumnName) + " " + text;
            }
        }
    }
    Trace(QString("records: %1 | %2 | %3 rows | %4 | %5 | %6% | %7")
              .arg(sd ? "SD Record" : "Cloud Storage", tab.status ? tab.status->text() : "")
              .arg(tab.list ? tab.list->topLevelItemCount() : 0)
              .arg(download, manager->PlayerStatus()->text())
              .arg(manager->PositionBar()->value())
              .arg(manager->Button(CRecordMangerDlg::kPlay)->text()));
}

void AutomationRunner::StartTrace(const std::string& file) {
    trace_ = std::make_unique<std::ofstream>(file, std::ios::app);
    if (!*trace_) {
        std::fprintf(stderr, "automation: cannot write %s\n", file.c_str());
        trace_.reset();
        return;
    }
    CDlgDeviceList* tree = window_->DeviceTree();
    auto treeLine = [this, tree] {
        auto text = [tree](tree::Branch branch) {
            QTreeWidgetItem* root = tree->RootItem(branch);
            return root ? root->text(0) : QString();
        };
        Trace("tree: " + text(tree::Branch::kMy) + " | " + text(tree::Branch::kLocal));
    };
    connect(tree, &CDlgDeviceList::accountListShown, this, treeLine);
    connect(window_->Wall(), &VideoWall::paneConnectionChanged, this, [this](CDlgVedioShow* pane) {
        const char* state = !pane->InUse()          ? "idle"
                            : !pane->OpenFinished() ? "opening"
                            : pane->Connected()     ? "connected"
                                                    : "not connected";
        std::string id = pane->Device() ? std::string(pane->Device()->Id()) : std::string();
        Trace(
            QString("pane: %1 %2 %3").arg(pane->Slot()).arg(QString::fromStdString(id)).arg(state));
    });
    connect(window_->Loop(), &LoopPlay::screenShown, this,
            [this](const QStringList& ids) { Trace("loop: " + ids.join(' ')); });
    connect(tree, &CDlgDeviceList::accountChanged, this,
            [this] { Trace("account: " + window_->Title()->AccountText()); });
    CAlarmHistoryDlg* alarms = window_->AlarmWindow();
    connect(alarms, &CAlarmHistoryDlg::refilled, this, [this, alarms](int rows) {
        QString line = QString("alarms: %1 %2").arg(alarms->Up() ? "up" : "down").arg(rows);
        if (QTreeWidgetItem* first = alarms->List()->topLevelItem(0)) {
            line += " " + first->text(CAlarmHistoryDlg::kColumnId) + " | " +
                    first->text(CAlarmHistoryDlg::kColumnTitle) + " | " +
                    first->text(CAlarmHistoryDlg::kColumnContent);
        }
        Trace(line);
    });
    // Where the program found the files it comes with (the build folder,
    // or the installed tree of an installed copy).
    CloudStorageLibrary* cloud = CMyVelaExpertApp::CloudStorage();
    Trace(QString("files: images %1 %2 | cloud %3")
              .arg(ui::SkinImages::Folder(),
                   ui::SkinImages::Get("orbisight.png").isNull() ? "missing" : "ok",
                   cloud ? QString::fromStdString(cloud->Path()) : QString("unavailable")));
    treeLine();
    Trace("account: " + window_->Title()->AccountText());
    TraceLoginDialog(window_->LoginDialog());
}

void AutomationRunner::TraceLoginDialog(CDlgMyVelaLogin* dialog) {
    if (!trace_ || !dialog || dialog == tracedDialog_) {
        return;
    }
    tracedDialog_ = dialog;
    connect(dialog, &CDlgMyVelaLogin::tipChanged, this,
            [this](const QString& text) { Trace("tip: " + text); });
}

void AutomationRunner::Trace(const QString& line) {
    if (trace_) {
        *trace_ << line.toUtf8().constData() << std::endl;
    }
}

}  // namespace orbisight
