// The alarm window in the main window: newest first with its columns, clear
// all with the old alarm file, rows that name their alarm by key, the slide
// and the auto-hide, "ShowAlarm", the desktop notice and its click, and the
// double click that opens the record manager. Alarms come from the account
// simulator or are appended to the session's history as its thread does.

#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

#include "AccountWindowFixture.h"
#include "app/AlarmNotifier.h"
#include "app/CAlarmHistoryDlg.h"
#include "app/CDlgDeviceCtrl.h"
#include "app/CDlgSDSearchPage.h"
#include "app/CDlgVedioShow.h"
#include "app/CRecordMangerDlg.h"
#include "app/VideoWall.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;
namespace fs = std::filesystem;

class AlarmWindow : public AccountWindowFixture {
  protected:
    void OpenWindow(bool showAlarm) {
        Open();
        settings_->SetShowAlarm(showAlarm);
        // Short slides and waits; the defaults are checked on their own.
        Alarms()->SetTimings(30, 60000);
        window_->Notifier()->SetSink([this](const QString& title, const QString& body) {
            notices_.push_back(title + " / " + body);
        });
    }
    CAlarmHistoryDlg* Alarms() const { return window_->AlarmWindow(); }
    QTreeWidget* List() const { return Alarms()->List(); }
    int Rows() const { return List()->topLevelItemCount(); }
    QString Cell(int row, int column) const { return List()->topLevelItem(row)->text(column); }
    std::vector<QString> Titles() const {
        std::vector<QString> titles;
        for (int i = 0; i < Rows(); ++i) {
            titles.push_back(Cell(i, CAlarmHistoryDlg::kColumnTitle));
        }
        return titles;
    }
    // Appends as the session's receive thread does, without telling the
    // window.
    uint64_t Append(const char* id, const char* title) {
        return Session()->AlarmHistory().Append(MakeAlarmMessage(id, title, "text"));
    }
    QTreeWidgetItem* RowTitled(const QString& title) const {
        for (int i = 0; i < Rows(); ++i) {
            if (Cell(i, CAlarmHistoryDlg::kColumnTitle) == title) {
                return List()->topLevelItem(i);
            }
        }
        return nullptr;
    }
    bool SettledUp() const {
        return Alarms()->Up() && !Alarms()->Sliding() &&
               Alarms()->pos() == Alarms()->UpGeometry().topLeft();
    }
    bool SettledDown() const { return !Alarms()->Up() && !Alarms()->isVisible(); }
    static QAction* Entry(QMenu& menu, const QString& text) {
        for (QAction* a : menu.actions()) {
            if (a->text() == text) {
                return a;
            }
        }
        return nullptr;
    }

    std::vector<QString> notices_;
};

// Alarms A, B, C show as C, B, A in the window along the bottom; "Clear
// All" empties the list and the history and removes the old alarm file;
// the next alarm is the only row. Each alarm is also a desktop notice
// naming the camera and the alarm.
TEST_F(AlarmWindow, NewestFirstThenClearAllThenOneNewAlarm) {
    StartSim();
    OpenWindow(true);
    ASSERT_TRUE(LoginAndFill());
    int pushed = 0;
    for (const char* title : {"A", "B", "C"}) {
        sim_->PushAlarm("SRV000000001", title, "Motion detected");
        ++pushed;
        ASSERT_TRUE(WaitUntil([&] { return Rows() == pushed; }));
    }
    ASSERT_EQ(notices_.size(), 3u);
    EXPECT_EQ(Titles(), (std::vector<QString>{"C", "B", "A"}));
    EXPECT_EQ(Cell(0, CAlarmHistoryDlg::kColumnId), "SRV000000001");
    EXPECT_EQ(Cell(0, CAlarmHistoryDlg::kColumnContent), "Motion detected");
    EXPECT_EQ(Cell(0, CAlarmHistoryDlg::kColumnTime).size(), 19);  // DD-MM-YYYY hh:mm:ss
    EXPECT_EQ(notices_[2], "Alarm: C / Porch (SRV000000001)\nMotion detected");
    ASSERT_TRUE(WaitUntil([&] { return SettledUp(); }));

    // Along the bottom of the main window (1400 x 800), with its parts.
    EXPECT_EQ(Alarms()->geometry(), QRect(0, 550, 1398, 248));
    EXPECT_EQ(Alarms()->CloseButton()->geometry(), QRect(1356, 0, 42, 20));
    EXPECT_EQ(List()->geometry(), QRect(20, 25, 1358, 203));
    EXPECT_EQ(List()->columnWidth(0), 130);
    EXPECT_EQ(List()->columnWidth(1), 100);
    EXPECT_EQ(List()->columnWidth(2), 1358 - 390);
    EXPECT_EQ(List()->columnWidth(3), 140);
    EXPECT_EQ(List()->headerItem()->text(2), "Alarm Content");
    EXPECT_EQ(Alarms()->palette().color(QPalette::Window), QColor(0, 102, 153));

    fs::path old = places_.dataFolder / "XOMPAlarm.dba";
    std::ofstream(old) << "old alarms";
    auto outside = Alarms()->ContextMenu(nullptr);
    EXPECT_FALSE(Entry(*outside, "Delete Item")->isEnabled()) << "no row under the pointer";
    Entry(*outside, "Clear All")->trigger();
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(Session()->AlarmHistory().Size(), 0u);
    EXPECT_FALSE(fs::exists(old));

    sim_->PushAlarm("SRV000000001", "D", "Motion detected");
    ASSERT_TRUE(WaitUntil([&] { return Rows() == 1; }));
    EXPECT_EQ(Titles(), (std::vector<QString>{"D"}));
}

// The simulator's alarms carry UTF-8 texts in several scripts; the window
// shows them as characters, not as their bytes.
TEST_F(AlarmWindow, SimulatorAlarmsShowTheirUtf8Texts) {
    StartSim();
    OpenWindow(true);
    ASSERT_TRUE(LoginAndFill());
    for (int i = 0; i < 3; ++i) {
        context_.events.Publish({"alarm", "SRV000000001", {{"args", " on"}}});
        ASSERT_TRUE(WaitUntil([&] { return Rows() == i + 1; }));
    }
    for (int turn = 0; turn < 3; ++turn) {
        auto sent = sim::SimAccountServer::DemoAlarmAt(turn);
        int row = 2 - turn;
        EXPECT_EQ(Cell(row, CAlarmHistoryDlg::kColumnTitle), QString::fromUtf8(sent.title));
        EXPECT_EQ(Cell(row, CAlarmHistoryDlg::kColumnContent), QString::fromUtf8(sent.content));
    }
    EXPECT_EQ(Cell(1, CAlarmHistoryDlg::kColumnTitle),
              QString::fromUtf8("D\xC3\xA9tection sonore"));
    // Nine characters (27 bytes) of the third.
    EXPECT_EQ(Cell(0, CAlarmHistoryDlg::kColumnContent).size(), 9);
}

// Rows name their alarm by key: an alarm appended meanwhile (not yet shown)
// or one already gone never makes a row act on another alarm.
TEST_F(AlarmWindow, RowsActOnTheirOwnAlarmWhileTheHistoryMoves) {
    OpenWindow(false);
    MessageRecorder messages;
    Append("CAM1", "A");
    Append("CAM1", "B");
    uint64_t c = Append("CAM1", "C");
    window_->DevicePanel()->Trigger(CDlgDeviceCtrl::kAlarmLog);
    ASSERT_EQ(Titles(), (std::vector<QString>{"C", "B", "A"}));
    Append("CAM1", "D");  // arrives behind the window's back

    auto menu = Alarms()->ContextMenu(RowTitled("B"));
    ASSERT_TRUE(Entry(*menu, "Delete Item")->isEnabled());
    Entry(*menu, "Delete Item")->trigger();
    EXPECT_EQ(Titles(), (std::vector<QString>{"C", "A"}));
    std::vector<std::string> kept;
    for (const AlarmEntry& e : Session()->AlarmHistory().Snapshot()) {
        kept.emplace_back(e.message.Title());
    }
    EXPECT_EQ(kept, (std::vector<std::string>{"A", "C", "D"}));

    // C goes from the history (as the limit drops the oldest): its row
    // opens nothing and its delete removes only the row.
    ASSERT_TRUE(Session()->AlarmHistory().Remove(c));
    QSignalSpy opens(Alarms(), &CAlarmHistoryDlg::openCameraRequested);
    Alarms()->OpenRow(RowTitled("C"));
    EXPECT_EQ(opens.count(), 0);
    Alarms()->DeleteRow(RowTitled("C"));
    EXPECT_EQ(Titles(), (std::vector<QString>{"A"}));
    EXPECT_EQ(Session()->AlarmHistory().Size(), 2u);
    Alarms()->OpenRow(RowTitled("A"));
    ASSERT_EQ(opens.count(), 1);
    EXPECT_EQ(opens.at(0).at(0).toString(), "CAM1");
    // CAM1 is in no list: the record manager opens without a camera.
    QPointer<CRecordMangerDlg> manager = window_->RecordManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_FALSE(manager->SdPage()->HasDevice());
    manager->close();
    ASSERT_TRUE(WaitUntil([&] { return manager.isNull(); }));
}

// It slides up over 1500 ms, stays while the pointer rests on it, goes
// the set time after the pointer has left, goes at once with "X", and
// follows the main window's size.
TEST_F(AlarmWindow, SlidesUpStaysUnderThePointerAndHidesAfterItLeaves) {
    Open();
    EXPECT_EQ(Alarms()->SlideDurationMs(), 1500);
    EXPECT_EQ(Alarms()->AutoHideMs(), 5000);
    EXPECT_FALSE(Alarms()->isVisible()) << "hidden at start";
    Alarms()->SetTimings(30, 300);
    Append("CAM1", "A");
    // The pointer rests where the window comes up. (Without it the short
    // auto-hide may fall due before a slow run ever sees the window settle.)
    auto enter = [&] {
        QEnterEvent event(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
        QApplication::sendEvent(Alarms(), &event);
    };
    Alarms()->ShowAlarms();
    EXPECT_TRUE(Alarms()->isVisible());
    enter();
    ASSERT_TRUE(WaitUntil([&] { return SettledUp(); }));
    QTest::qWait(900);  // three auto-hide ticks with the pointer on it
    EXPECT_TRUE(SettledUp()) << "went away under the pointer";

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Alarms(), &leave);
    ASSERT_TRUE(WaitUntil([&] { return SettledDown(); }, 3000));

    // Placed again for a new size, also while up.
    Alarms()->ShowAlarms();
    enter();
    ASSERT_TRUE(WaitUntil([&] { return SettledUp(); }));
    window_->resize(1200, 700);
    ASSERT_TRUE(WaitUntil([&] { return Alarms()->geometry() == QRect(0, 450, 1198, 248); }));

    QTest::mouseClick(Alarms()->CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(Alarms()->Up());
    ASSERT_TRUE(WaitUntil([&] { return SettledDown(); }));
}

// "ShowAlarm" off: alarms are kept and shown only when the window is asked
// for (the panel's "Alarm log"), no notice goes to the desktop; an open
// window follows new alarms. A notice's click brings the window forward
// with its alarms.
TEST_F(AlarmWindow, ShowAlarmOffKeepsAlarmsForTheAlarmLogAndNoticesClickThrough) {
    StartSim();
    OpenWindow(false);
    ASSERT_TRUE(LoginAndFill());
    sim_->PushAlarm("SRV000000001", "A", "Motion detected");
    ASSERT_TRUE(WaitUntil([&] { return Session()->AlarmHistory().Size() == 1; }));
    QTest::qWait(100);
    EXPECT_FALSE(Alarms()->isVisible());
    EXPECT_TRUE(notices_.empty());
    EXPECT_EQ(window_->Wall()->PaneShowing("SRV000000001"), nullptr);

    window_->DevicePanel()->Trigger(CDlgDeviceCtrl::kAlarmLog);
    EXPECT_TRUE(Alarms()->Up());
    EXPECT_EQ(Rows(), 1);
    sim_->PushAlarm("SRV000000001", "B", "Motion detected");
    ASSERT_TRUE(WaitUntil([&] { return Rows() == 2; })) << "an open window follows";
    EXPECT_TRUE(notices_.empty());

    Alarms()->HideAlarms();
    ASSERT_TRUE(WaitUntil([&] { return SettledDown(); }));
    window_->showMinimized();
    emit window_->Notifier()->clicked();
    EXPECT_FALSE(window_->isMinimized());
    EXPECT_TRUE(Alarms()->Up());
    EXPECT_EQ(Titles(), (std::vector<QString>{"B", "A"}));
}

// A double click opens the record manager for the camera of the row,
// looked up without regard to case, local cameras first (its own login);
// for an unknown camera it opens without one and says so. One manager at a
// time.
TEST_F(AlarmWindow, DoubleClickOpensTheRecordManagerOfTheRowsCamera) {
    StartSim();
    OpenWindow(false);
    Session()->AddLocalDevice("LOC000000001", "127.0.0.1:1", "Hall", "pw", 0);
    ASSERT_TRUE(LoginAndFill());
    MessageRecorder messages;
    Append("loc000000001", "local");
    Append("NOPE00000001", "unknown");
    Append("SRV000000002", "offline");
    Alarms()->ShowAlarms();

    emit List()->itemDoubleClicked(RowTitled("local"), 0);
    QPointer<CRecordMangerDlg> manager = window_->RecordManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_TRUE(manager->isVisible());
    EXPECT_EQ(manager->windowTitle(), "Remote Record List");
    EXPECT_TRUE(manager->SdPage()->HasDevice());
    EXPECT_NE(manager->SdPage()->CameraLabel()->text().indexOf("LOC000000001"), -1);
    // Another double click while it is open brings the same one forward.
    Alarms()->OpenRow(RowTitled("offline"));
    EXPECT_EQ(window_->RecordManager(), manager.data());
    manager->close();
    ASSERT_TRUE(WaitUntil([&] { return manager.isNull(); }));

    Alarms()->OpenRow(RowTitled("unknown"));
    manager = window_->RecordManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_FALSE(manager->SdPage()->HasDevice());
    EXPECT_EQ(manager->SdPage()->Status()->text(),
              "Camera NOPE00000001 is not in your camera lists.");
    manager->close();
    ASSERT_TRUE(WaitUntil([&] { return manager.isNull(); }));
    EXPECT_TRUE(messages.asked.empty());
}

}  // namespace
}  // namespace orbisight
