// The record plan dialog: what it shows, what the edits store, and saving
// to a simulated camera (success only when the camera kept the plans).

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>

#include "CameraDialogFixture.h"
#include "app/CPLANRECORD.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;

RecordPlanEntry Entry(int mode, int day, int h, int m, int s, int dh, int dm, int ds) {
    RecordPlanEntry e;
    e.mode = static_cast<uint8_t>(mode);
    e.day = static_cast<uint8_t>(day);
    e.startHour = static_cast<uint8_t>(h);
    e.startMinute = static_cast<uint8_t>(m);
    e.startSecond = static_cast<uint8_t>(s);
    e.durationHours = static_cast<uint8_t>(dh);
    e.durationMinutes = static_cast<uint8_t>(dm);
    e.durationSeconds = static_cast<uint8_t>(ds);
    return e;
}

QString Shown(QTimeEdit* edit) {
    return edit->time().toString("HH:mm:ss");
}

void TypeTime(QTimeEdit* edit, const QTime& time, bool confirm = true) {
    edit->setTime(time);
    if (confirm) {
        emit edit->editingFinished();
    }
}

void ChooseDay(QComboBox* days, int position) {
    days->setCurrentIndex(position);
    emit days->activated(position);
}

TEST(RecordPlanDialog, OpensOnPlanOneAsStoredWithTheEndInclusive) {
    RecordPlan plan;
    plan.Entry(0) = Entry(1, 9, 8, 0, 0, 2, 0, 1);
    plan.Entry(1) = Entry(2, 8, 24, 0, 0, 1, 0, 0);
    CPLANRECORD dialog(plan, false);
    EXPECT_EQ(dialog.windowTitle(), "Schedule record settings");
    ASSERT_EQ(dialog.PlanList()->count(), 8);
    EXPECT_EQ(dialog.PlanList()->itemText(7), "Plan 8");
    ASSERT_EQ(dialog.DayList()->count(), 9);
    EXPECT_EQ(dialog.DayList()->itemText(7), "Everyday");
    EXPECT_EQ(dialog.DayList()->itemText(8), "Workday");
    EXPECT_EQ(dialog.PlanList()->currentIndex(), 0);
    EXPECT_EQ(dialog.DayList()->currentText(), "Workday");
    EXPECT_EQ(Shown(dialog.StartEdit()), "08:00:00");
    EXPECT_EQ(Shown(dialog.EndEdit()), "10:00:00");  // not 10:00:01
    EXPECT_EQ(Shown(dialog.IntervalEdit()), "02:00:00");
    EXPECT_TRUE(dialog.IntervalEdit()->isReadOnly());
    EXPECT_TRUE(dialog.ModeButton(PlanMode::kSchedule)->isChecked());
    // "Alarm" follows the parameter page's alarm "Enable" box.
    EXPECT_FALSE(dialog.ModeButton(PlanMode::kAlarm)->isEnabled());
    dialog.SetAlarmEnabled(true);
    EXPECT_TRUE(dialog.ModeButton(PlanMode::kAlarm)->isEnabled());
    // Hour 24 shows as 23:59:59.
    dialog.PlanList()->setCurrentIndex(1);
    EXPECT_EQ(Shown(dialog.StartEdit()), "23:59:59");
    EXPECT_EQ(Shown(dialog.EndEdit()), "23:59:59");
    EXPECT_TRUE(dialog.ModeButton(PlanMode::kAlarm)->isChecked());
    EXPECT_FALSE(dialog.Modified());
    EXPECT_EQ(dialog.Plan(), plan) << "showing a plan changed it";
}

TEST(RecordPlanDialog, EditsStoreDayModeAndTimesAndSaveHandsThemBack) {
    CPLANRECORD dialog(RecordPlan(), true);
    dialog.PlanList()->setCurrentIndex(2);
    ChooseDay(dialog.DayList(), 8);
    dialog.ModeButton(PlanMode::kAlarm)->click();
    TypeTime(dialog.StartEdit(), QTime(8, 0, 0));
    TypeTime(dialog.EndEdit(), QTime(10, 0, 0));
    EXPECT_EQ(Shown(dialog.IntervalEdit()), "02:00:00");
    EXPECT_EQ(dialog.Plan().Entry(2), Entry(2, 9, 8, 0, 0, 2, 0, 1));
    // An end before the start moves the start; a start after the end moves
    // the end; either way 1 s is stored.
    TypeTime(dialog.EndEdit(), QTime(7, 0, 0));
    EXPECT_EQ(Shown(dialog.StartEdit()), "07:00:00");
    EXPECT_EQ(dialog.Plan().Entry(2), Entry(2, 9, 7, 0, 0, 0, 0, 1));
    TypeTime(dialog.StartEdit(), QTime(9, 0, 0));
    EXPECT_EQ(Shown(dialog.EndEdit()), "09:00:00");
    EXPECT_EQ(dialog.Plan().Entry(2), Entry(2, 9, 9, 0, 0, 0, 0, 1));
    // A time typed but not confirmed goes with the plan when another plan
    // is chosen, and with "Save".
    TypeTime(dialog.EndEdit(), QTime(23, 59, 59), false);
    dialog.PlanList()->setCurrentIndex(0);
    EXPECT_EQ(dialog.Plan().Entry(2).durationHours, 15);
    TypeTime(dialog.EndEdit(), QTime(0, 0, 5), false);
    dialog.SaveButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Plan().Entry(0), Entry(0, 0, 0, 0, 0, 0, 0, 6));

    CPLANRECORD other(RecordPlan(), true);
    ChooseDay(other.DayList(), 0);
    other.ReturnButton()->click();
    EXPECT_EQ(other.result(), QDialog::Rejected);
}

TEST(RecordPlanDialog, ASavedPlanReopensAsSavedAndLaterEditsAddNoSecond) {
    RecordPlan plan;
    for (int opening = 0; opening < 3; ++opening) {
        CPLANRECORD dialog(plan, true);
        if (opening == 0) {
            TypeTime(dialog.StartEdit(), QTime(8, 0, 0));
            TypeTime(dialog.EndEdit(), QTime(10, 0, 0));
        } else {
            EXPECT_EQ(Shown(dialog.EndEdit()), "10:00:00") << "opening " << opening;
            // Every later edit takes the end as shown.
            dialog.ModeButton(opening == 1 ? PlanMode::kAlarm : PlanMode::kSchedule)->click();
            TypeTime(dialog.StartEdit(), QTime(8, 0, 0));
        }
        dialog.SaveButton()->click();
        plan = dialog.Plan();
        EXPECT_EQ(plan.Entry(0).DurationSeconds(), 2 * 3600 + 1) << "opening " << opening;
    }
    // The whole day: 24 h stored, 23:59:59 shown.
    CPLANRECORD dialog(plan, true);
    TypeTime(dialog.StartEdit(), QTime(0, 0, 0));
    TypeTime(dialog.EndEdit(), QTime(23, 59, 59));
    dialog.SaveButton()->click();
    CPLANRECORD again(dialog.Plan(), true);
    EXPECT_EQ(again.Plan().Entry(0).durationHours, 24);
    EXPECT_EQ(Shown(again.EndEdit()), "23:59:59");
    EXPECT_EQ(Shown(again.IntervalEdit()), "23:59:59");
}

using RecordPlanCamera = CameraDialogFixture;

TEST_F(RecordPlanCamera, ReadsThePlansFromTheCameraAndSavesThemExactly) {
    StartCamera();
    DevInfoBlock block = camera_->State().Parameters();
    RecordPlan stored;
    stored.Entry(0) = Entry(1, 1, 8, 0, 0, 2, 0, 1);
    stored.ToBlock(block);
    block.alertOn = 1;
    camera_->State().StoreParameters(block);

    MessageRecorder messages;
    {
        CPLANRECORD dialog(Camera(), nullptr, Fast());
        EXPECT_EQ(dialog.Status()->text(), "Connecting to Device...");
        // Nothing to edit before the camera's plans are here.
        EXPECT_FALSE(dialog.SaveButton()->isEnabled());
        EXPECT_FALSE(dialog.EndEdit()->isEnabled());
        EXPECT_FALSE(dialog.ModeButton(PlanMode::kOff)->isEnabled());
        ASSERT_TRUE(WaitUntil([&] { return dialog.SaveButton()->isEnabled(); }));
        EXPECT_TRUE(dialog.EndEdit()->isEnabled());
        EXPECT_EQ(dialog.Plan(), stored);
        EXPECT_EQ(Shown(dialog.EndEdit()), "10:00:00");
        EXPECT_TRUE(dialog.ModeButton(PlanMode::kAlarm)->isEnabled());  // the alarm is on

        dialog.PlanList()->setCurrentIndex(4);
        ChooseDay(dialog.DayList(), 5);
        dialog.ModeButton(PlanMode::kAlarm)->click();
        TypeTime(dialog.StartEdit(), QTime(22, 30, 0));
        TypeTime(dialog.EndEdit(), QTime(23, 59, 59));
        dialog.SaveButton()->click();
        EXPECT_TRUE(dialog.Saving());
        ASSERT_TRUE(WaitUntil([&] { return !dialog.Saving(); }));
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0].text, "Record plan saved!");
        EXPECT_EQ(RecordPlan::FromBlock(camera_->State().Parameters()), dialog.Plan());
        EXPECT_EQ(dialog.Plan().Entry(4), Entry(2, 6, 22, 30, 0, 1, 30, 0));
    }
    // Opened again: exactly what was saved, nothing else on the camera moved.
    CPLANRECORD dialog(Camera(), nullptr, Fast());
    ASSERT_TRUE(WaitUntil([&] { return dialog.SaveButton()->isEnabled(); }));
    dialog.PlanList()->setCurrentIndex(4);
    EXPECT_EQ(Shown(dialog.StartEdit()), "22:30:00");
    EXPECT_EQ(Shown(dialog.EndEdit()), "23:59:59");
    EXPECT_EQ(camera_->State().Parameters().DeviceName(), "Garage");
}

TEST_F(RecordPlanCamera, ARefusalSaysNotSavedAndKeepsTheUsersPlan) {
    StartCamera();
    MessageRecorder messages;
    CPLANRECORD dialog(Camera(), nullptr, Fast());
    ASSERT_TRUE(WaitUntil([&] { return dialog.SaveButton()->isEnabled(); }));
    TypeTime(dialog.EndEdit(), QTime(1, 0, 0));
    dialog.SaveButton()->click();
    ASSERT_TRUE(dialog.Saving());
    // The camera's refusal comes before the read-back.
    Notice refused;
    refused.message = notice::kReplyFailed;
    refused.wParam = CXOMPDeviceOper::kModeParameters;
    dialog.HandleNotice(refused);
    EXPECT_FALSE(dialog.Saving());
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].title, "Error");
    EXPECT_NE(messages.asked[0].text.indexOf("not saved"), -1)
        << messages.asked[0].text.toStdString();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    // The block the camera then sends does not overwrite the user's plan.
    QTest::qWait(300);
    EXPECT_EQ(Shown(dialog.EndEdit()), "01:00:00");
    EXPECT_TRUE(dialog.Modified());
}

TEST(RecordPlanDialog, ABlockSentAgainRefreshesOnlyAnUntouchedDialog) {
    CPLANRECORD dialog(RecordPlan(), true);  // no channel: notices fed by hand
    auto parameters = std::make_shared<DeviceParameters>();
    RecordPlan camera;
    camera.Entry(0) = Entry(1, 2, 6, 0, 0, 0, 30, 1);
    camera.ToBlock(parameters->block);
    Notice again;
    again.message = notice::kParameters;
    again.object = parameters;
    dialog.HandleNotice(again);
    EXPECT_EQ(Shown(dialog.EndEdit()), "06:30:00");
    // The user types a start (not yet confirmed): the next block leaves it.
    TypeTime(dialog.StartEdit(), QTime(5, 0, 0), false);
    camera.Entry(0).startHour = 4;
    camera.ToBlock(parameters->block);
    dialog.HandleNotice(again);
    EXPECT_EQ(Shown(dialog.StartEdit()), "05:00:00");
    EXPECT_EQ(dialog.Plan().Entry(0).startHour, 6);
}

TEST_F(RecordPlanCamera, NoCameraSaysSoAndTheDialogClosesWithoutWaiting) {
    MessageRecorder messages;
    {
        CPLANRECORD dialog(Camera(1), nullptr, Fast());  // nothing listens on port 1
        ASSERT_TRUE(WaitUntil(
            [&] { return dialog.Status()->text() == "Connecting to Device Failed, Try again!"; }));
        EXPECT_FALSE(dialog.SaveButton()->isEnabled());
    }
    // A stalled camera: the dialog goes away while the login waits.
    StartCamera("", "stall");
    auto dialog = std::make_unique<CPLANRECORD>(Camera(), nullptr, Fast());
    QTest::qWait(50);
    dialog.reset();  // returns at once; the channel closes behind
    EXPECT_TRUE(DialogChannel::WaitClosed(10000));
    EXPECT_TRUE(messages.asked.empty());
}

}  // namespace
}  // namespace orbisight
