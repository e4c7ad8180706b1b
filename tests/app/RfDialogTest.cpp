// The RF sensor dialog: the tree by accessory type, the pages, delete and
// clear, the list arriving again while the user edits, and saving to a
// simulated camera (success only when the camera holds the list as sent).

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

#include "CameraDialogFixture.h"
#include "app/CDlgRFInfo.h"
#include "app/CDlgRFMange.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;

constexpr const char* kList =
    "MYVELARFID:0302;name:Hall;status:on;####"
    "MYVELARFID:0101;name:Keys;####"
    "MYVELARFID:0303;name:Stairs;status:OFF;battery:80;####"
    "MYVELARFID:0577;name:Odd;status:on;####";

Notice RfNotice(const std::string& text) {
    Notice notice;
    notice.message = notice::kRfList;
    notice.text = text;
    return notice;
}

Notice Refusal() {
    Notice notice;
    notice.message = notice::kReplyFailed;
    notice.wParam = CXOMPDeviceOper::kModeRfSensors;
    return notice;
}

QAction* Action(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

TEST(RfDialog, GroupsAccessoriesByTypeInTheOrderTheyFirstOccur) {
    CDlgRFMange dialog;
    dialog.HandleNotice(RfNotice(kList));
    QTreeWidget* tree = dialog.Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "PIR");
    EXPECT_EQ(tree->topLevelItem(1)->text(0), "Control");
    EXPECT_EQ(tree->topLevelItem(2)->text(0), "Other");
    ASSERT_EQ(tree->topLevelItem(0)->childCount(), 2);
    EXPECT_EQ(tree->topLevelItem(0)->child(1)->text(0), "Stairs(0303)");
    EXPECT_EQ(tree->topLevelItem(2)->child(0)->text(0), "Odd(0577)");

    ASSERT_TRUE(dialog.SelectDevice("0303"));
    CDlgRFInfo* page = dialog.CurrentPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Title()->text(), "PIR Devices");
    EXPECT_EQ(page->NameEdit()->text(), "Stairs");
    EXPECT_EQ(page->IdEdit()->text(), "0303");
    EXPECT_FALSE(page->IdEdit()->isEnabled());
    EXPECT_FALSE(page->EnableBox()->isChecked());
    ASSERT_TRUE(dialog.SelectDevice("0302"));
    EXPECT_TRUE(dialog.CurrentPage()->EnableBox()->isChecked());
    ASSERT_TRUE(dialog.SelectDevice("0577"));
    EXPECT_EQ(dialog.CurrentPage()->Title()->text(), "");  // "Other" has no title
    EXPECT_FALSE(dialog.Modified());
}

TEST(RfDialog, RenameAndEnableAreStoredWhenTheItemIsLeft) {
    CDlgRFMange dialog;
    dialog.HandleNotice(RfNotice(kList));
    ASSERT_TRUE(dialog.SelectDevice("0303"));
    dialog.CurrentPage()->NameEdit()->setText(QString::fromUtf8("Escalier \xC3\xA9tage"));
    dialog.CurrentPage()->EnableBox()->setChecked(true);
    EXPECT_TRUE(dialog.Modified());
    // Looking at another accessory without touching it changes nothing there.
    ASSERT_TRUE(dialog.SelectDevice("0101"));
    ASSERT_TRUE(dialog.SelectDevice("0302"));
    EXPECT_EQ(dialog.List().Build(),
              "MYVELARFID:0302;name:Hall;status:on;####"
              "MYVELARFID:0101;name:Keys;####"
              "MYVELARFID:0303;name:Escalier \xC3\xA9tage;status:on;battery:80;####"
              "MYVELARFID:0577;name:Odd;status:on;####");
    EXPECT_EQ(dialog.Tree()->topLevelItem(0)->child(1)->text(0),
              QString::fromUtf8("Escalier \xC3\xA9tage(0303)"));
    // A name that would break the list's text is refused.
    MessageRecorder messages;
    dialog.CurrentPage()->NameEdit()->setText("a;b");
    ASSERT_TRUE(dialog.SelectDevice("0101"));
    EXPECT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(dialog.List().Find("0302")->Name(), "Hall");
}

TEST(RfDialog, DeleteAndClearAllAskFirst) {
    CDlgRFMange dialog;
    dialog.HandleNotice(RfNotice(kList));
    ASSERT_TRUE(dialog.SelectDevice("0101"));
    QTreeWidgetItem* keys = dialog.Tree()->currentItem();
    auto groupMenu = dialog.BuildMenu(dialog.Tree()->topLevelItem(0));
    EXPECT_EQ(Action(*groupMenu, "Delete(&D)"), nullptr);  // only on an accessory
    auto menu = dialog.BuildMenu(keys);
    ASSERT_NE(Action(*menu, "Delete(&D)"), nullptr);
    ASSERT_NE(Action(*menu, "Clear all(&R)"), nullptr);

    MessageRecorder messages(ui::MessageAnswer::kNo);
    Action(*menu, "Delete(&D)")->trigger();
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].title, "Tip");
    EXPECT_EQ(messages.asked[0].text, QString::fromUtf8("Do you want to remove the RF device？"));
    EXPECT_NE(dialog.List().Find("0101"), nullptr);
    messages.SetAnswer(ui::MessageAnswer::kYes);
    Action(*menu, "Delete(&D)")->trigger();
    EXPECT_EQ(dialog.List().Find("0101"), nullptr);
    EXPECT_EQ(dialog.Tree()->topLevelItemCount(), 2);  // "Control" is gone with it
    EXPECT_EQ(dialog.CurrentPage(), nullptr);

    auto again = dialog.BuildMenu(nullptr);
    Action(*again, "Clear all(&R)")->trigger();
    EXPECT_EQ(messages.asked.back().text, QString::fromUtf8("Do you want to remove the list？"));
    EXPECT_TRUE(dialog.List().Empty());
    EXPECT_EQ(dialog.List().Build(), "");
    EXPECT_TRUE(dialog.Modified());
}

TEST(RfDialog, ListSentAgainNeverOverwritesTheUsersEdits) {
    CDlgRFMange dialog;
    dialog.HandleNotice(RfNotice(kList));
    ASSERT_TRUE(dialog.SelectDevice("0302"));
    // Nothing changed: the new list is shown, the selection kept.
    dialog.HandleNotice(RfNotice("MYVELARFID:0302;name:Hallway;####"));
    EXPECT_EQ(dialog.CurrentPage()->NameEdit()->text(), "Hallway");
    // The user is typing: the next list leaves the page and the list alone.
    dialog.CurrentPage()->NameEdit()->setText("Front hall");
    dialog.HandleNotice(RfNotice("MYVELARFID:0302;name:Corridor;####"));
    EXPECT_EQ(dialog.CurrentPage()->NameEdit()->text(), "Front hall");
    EXPECT_EQ(dialog.List().Find("0302")->Name(), "Front hall");
    // An edit already stored (a deletion) is kept as well.
    dialog.DeleteSelected();
    dialog.HandleNotice(RfNotice("MYVELARFID:0302;name:Corridor;####"));
    EXPECT_TRUE(dialog.List().Empty());
}

TEST(RfDialog, NoListAnEmptyListAndNoChannelAreTold) {
    {
        CDlgRFMange dialog;
        dialog.HandleNotice(Refusal());
        EXPECT_EQ(dialog.Status()->text(), "Don't have any rf devices!");
    }
    CDlgRFMange dialog;
    dialog.HandleNotice(RfNotice(""));
    EXPECT_EQ(dialog.Status()->text(), "Don't have any rf devices!");
    EXPECT_EQ(dialog.Tree()->topLevelItemCount(), 0);
    MessageRecorder messages;
    dialog.Save();  // no camera to send to
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text, "RF Device info has been setted failed!");
    EXPECT_EQ(messages.asked[0].title, "Tip");
}

using RfCamera = CameraDialogFixture;

TEST_F(RfCamera, ARenameIsSavedAndReadsBack) {
    StartCamera(kList);
    MessageRecorder messages;
    {
        CDlgRFMange dialog(Camera(), nullptr, Fast());
        ASSERT_TRUE(WaitUntil([&] { return dialog.SaveButton()->isEnabled(); }));
        ASSERT_TRUE(dialog.SelectDevice("0101"));
        dialog.CurrentPage()->NameEdit()->setText("Car keys");
        dialog.CurrentPage()->EnableBox()->setChecked(true);
        dialog.Save();
        EXPECT_TRUE(dialog.Saving());
        ASSERT_TRUE(WaitUntil([&] { return !dialog.Saving(); }));
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0].text, "RF Device info has been setted successfully!");
        EXPECT_FALSE(dialog.Modified());
    }
    EXPECT_EQ(camera_->State().RfList(),
              "MYVELARFID:0302;name:Hall;status:on;####"
              "MYVELARFID:0101;name:Car keys;status:on;####"
              "MYVELARFID:0303;name:Stairs;status:OFF;battery:80;####"
              "MYVELARFID:0577;name:Odd;status:on;####");
    // A new dialog shows the new name; "Clear all" then saves an empty list.
    CDlgRFMange dialog(Camera(), nullptr, Fast());
    ASSERT_TRUE(WaitUntil([&] { return dialog.SaveButton()->isEnabled(); }));
    ASSERT_TRUE(dialog.SelectDevice("0101"));
    EXPECT_EQ(dialog.CurrentPage()->NameEdit()->text(), "Car keys");
    dialog.ClearAll();
    dialog.Save();
    ASSERT_TRUE(WaitUntil([&] { return !dialog.Saving(); }));
    EXPECT_EQ(messages.asked.back().text, "RF Device info has been setted successfully!");
    EXPECT_EQ(camera_->State().RfList(), "");
}

TEST_F(RfCamera, ARefusedSaveSaysFailedAndKeepsTheEdits) {
    StartCamera(kList);
    MessageRecorder messages;
    CDlgRFMange dialog(Camera(), nullptr, Fast());
    ASSERT_TRUE(WaitUntil([&] { return dialog.SaveButton()->isEnabled(); }));
    ASSERT_TRUE(dialog.SelectDevice("0302"));
    dialog.CurrentPage()->NameEdit()->setText("Porch");
    dialog.Save();
    dialog.HandleNotice(Refusal());  // the camera's answer to the set comes first
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text, "RF Device info has been setted failed!");
    QTest::qWait(300);  // the list read back arrives and is not shown over the edit
    EXPECT_EQ(dialog.CurrentPage()->NameEdit()->text(), "Porch");
    EXPECT_TRUE(dialog.Modified());
}

}  // namespace
}  // namespace orbisight
