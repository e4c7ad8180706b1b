#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "app/CDlgDevAllCtrl.h"
#include "app/CDlgRecordingPlay.h"
#include "tests/app/QtTestEnvironment.h"
#include "tests/media/ClipRecording.h"
#include "ui/ImageButton.h"

namespace orbisight {
namespace {

namespace fs = std::filesystem;
using testing::MessageRecorder;
using testing::TempFolder;
using testing::WaitUntil;

const QString kNoFile = "No video file chosen or video file lost!\n\n Please try again......";

test::RecordFileMaker ClipRecording(int loops = 1) {
    return test::ClipRecording("Window", 5000, loops);
}

void Touch(const fs::path& path, const std::string& text = "x") {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// Door(ABC)/2024-03-05 holds a recording, a snapshot and a note; a second
// day is empty; a text file sits at the top.
class PlaybackWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        day_ = folder_.Path() / "Door(ABC)" / "2024-03-05";
        recording_ = day_ / "Door(ABC)_2024-03-05-07-08-09.264";
        snapshot_ = day_ / "Door(ABC)_2024-03-05-07-08-10.JPG";
        ASSERT_TRUE(ClipRecording().WriteTo(recording_));
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::green);
        ASSERT_TRUE(picture.save(QString::fromStdString(snapshot_.string()), "PNG"));
        Touch(day_ / "notes.txt");
        fs::create_directories(folder_.Path() / "Door(ABC)" / "2024-03-06");
        Touch(folder_.Path() / "readme.txt");
        CDlgRecordingPlay::Options options;
        options.recordFolder = folder_.Path();
        dialog_ = std::make_unique<CDlgRecordingPlay>(options);
        dialog_->show();
    }
    void TearDown() override {
        dialog_.reset();  // may be gone already
        EXPECT_TRUE(PlaybackSession::WaitAllIdle(5000));
    }

    QTreeWidgetItem* Find(const QString& text) {
        auto items = dialog_->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return items.isEmpty() ? nullptr : items.front();
    }
    // Selects the item and waits for the click's timer to show its path.
    void Click(QTreeWidgetItem* item) {
        dialog_->Tree()->setCurrentItem(item);
        QString path = QString::fromStdString(dialog_->PathOf(item).string());
        EXPECT_TRUE(WaitUntil([&] { return dialog_->PathBox()->text() == path; }));
    }
    bool WaitTimeShown() {
        return WaitUntil([this] { return dialog_->TimeLabel()->text().contains(" / "); });
    }

    TempFolder folder_;
    fs::path day_;
    fs::path recording_;
    fs::path snapshot_;
    std::unique_ptr<CDlgRecordingPlay> dialog_;
};

TEST_F(PlaybackWindowTest, TreeShowsTheRecordFolderWithRecordingsAndSnapshots) {
    QTreeWidget* tree = dialog_->Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Local video");
    EXPECT_EQ(CDlgRecordingPlay::KindOf(root), CDlgRecordingPlay::ItemKind::kRoot);
    ASSERT_EQ(root->childCount(), 1);  // readme.txt is not shown
    QTreeWidgetItem* camera = root->child(0);
    EXPECT_EQ(camera->text(0), "Door(ABC)");
    ASSERT_EQ(camera->childCount(), 2);
    QTreeWidgetItem* day = camera->child(0);
    EXPECT_TRUE(day->isExpanded());
    ASSERT_EQ(day->childCount(), 2);  // notes.txt is not shown
    EXPECT_EQ(CDlgRecordingPlay::KindOf(day->child(0)), CDlgRecordingPlay::ItemKind::kRecording);
    EXPECT_EQ(CDlgRecordingPlay::KindOf(day->child(1)), CDlgRecordingPlay::ItemKind::kSnapshot);
    EXPECT_EQ(dialog_->PathOf(day->child(0)), recording_);
    EXPECT_EQ(dialog_->PathOf(root), folder_.Path());

    // Refresh picks up what arrived meanwhile.
    Touch(folder_.Path() / "Yard(XYZ)" / "2024-03-07" / "Yard(XYZ)_2024-03-07-01-02-03.264");
    EXPECT_EQ(Find("Yard(XYZ)_2024-03-07-01-02-03.264"), nullptr);
    QTest::mouseClick(dialog_->RefreshButton(), Qt::LeftButton);
    EXPECT_NE(Find("Yard(XYZ)_2024-03-07-01-02-03.264"), nullptr);
}

TEST_F(PlaybackWindowTest, ClickShowsThePathAndTheSnapshot) {
    Click(Find(QString::fromStdString(snapshot_.filename().string())));
    EXPECT_EQ(dialog_->PathBox()->text().toStdString(), snapshot_.string());
    EXPECT_TRUE(dialog_->View()->ShowsImage());
    Click(Find("2024-03-06"));
    EXPECT_EQ(dialog_->PathBox()->text().toStdString(),
              (folder_.Path() / "Door(ABC)" / "2024-03-06").string());
}

TEST_F(PlaybackWindowTest, ControlsWithoutAnEffectAreDisabledAndSaySo) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{dialog_->PrevButton(), dialog_->NextButton(),
                                         dialog_->BrowseButton(), dialog_->KeyFramesBox()}) {
        EXPECT_FALSE(w->isEnabled());
        EXPECT_TRUE(w->toolTip().contains("not available")) << w->toolTip().toStdString();
    }
    EXPECT_EQ(dialog_->KeyFramesBox()->text(), "Only view I frames");
    EXPECT_EQ(dialog_->PlayButton()->text(), "Play");
    EXPECT_EQ(dialog_->PlayButton()->toolTip(), "Click: Play");

    CDlgDevAllCtrl toolbar;
    EXPECT_TRUE(toolbar.Button(CDlgDevAllCtrl::kReplay)->isEnabled());
}

TEST_F(PlaybackWindowTest, PlayingWithoutARecordingSaysSo) {
    MessageRecorder messages;
    QTest::mouseClick(dialog_->PlayButton(), Qt::LeftButton);  // nothing chosen
    Click(Find("2024-03-06"));
    QTest::mouseClick(dialog_->PlayButton(), Qt::LeftButton);  // a folder
    // A recording that vanished, and an empty one.
    fs::path empty = day_ / "Door(ABC)_2024-03-05-08-00-00.264";
    Touch(empty, "");
    dialog_->RebuildTree();
    fs::remove(recording_);
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    dialog_->OpenItem(Find(QString::fromStdString(empty.filename().string())));
    ASSERT_EQ(messages.asked.size(), 4u);
    for (const auto& m : messages.asked) {
        EXPECT_EQ(m.title, "Note");
        EXPECT_EQ(m.text, kNoFile);
        EXPECT_EQ(m.icon, ui::MessageIcon::kInformation);
    }
    EXPECT_FALSE(dialog_->PlayingState());
    EXPECT_FALSE(dialog_->TimerActive());
}

TEST_F(PlaybackWindowTest, PlaysAnalysingFirstThenTheTimeAndStopsAt100) {
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    EXPECT_EQ(dialog_->TimeLabel()->text(), "Analyzing, please wait...");
    EXPECT_EQ(dialog_->FastButton()->text(), "Fast forward");
    EXPECT_EQ(dialog_->PlayButton()->text(), "Pause");
    EXPECT_EQ(dialog_->PlayButton()->toolTip(), "Click: Pause");
    EXPECT_TRUE(dialog_->TimerActive());
    ASSERT_TRUE(WaitTimeShown());
    // 25 pictures 40 ms apart: the duration is 0 s.
    EXPECT_TRUE(dialog_->TimeLabel()->text().endsWith(" / 00:00:00"))
        << dialog_->TimeLabel()->text().toStdString();
    // The end: stopped by the timer at 100 %.
    ASSERT_TRUE(WaitUntil([this] { return !dialog_->PlayingState(); }, 10000));
    EXPECT_FALSE(dialog_->TimerActive());
    EXPECT_EQ(dialog_->PlayButton()->text(), "Play");
    EXPECT_EQ(dialog_->FastButton()->text(), "FF");
    EXPECT_EQ(dialog_->Slider()->value(), 0);
    EXPECT_TRUE(dialog_->StatusLabel()->text().isEmpty());
}

TEST_F(PlaybackWindowTest, TheIndexIsBuiltBehindTheWindow) {
    // 100000 records with payloads that make every header a read of its own.
    test::RecordFileMaker maker;
    for (uint32_t i = 0; i < 100000; ++i) {
        maker.Video(i * 40, i % 25 == 0, 600);
    }
    ASSERT_TRUE(maker.WriteTo(recording_));
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    // The window came back before the index was built.
    EXPECT_TRUE(dialog_->Session().Read().analyzing);
    EXPECT_EQ(dialog_->TimeLabel()->text(), "Analyzing, please wait...");
    ASSERT_TRUE(WaitTimeShown());
    EXPECT_TRUE(dialog_->TimeLabel()->text().endsWith(" / 01:06:39"))
        << dialog_->TimeLabel()->text().toStdString();

    // Stopped while the index is still being built: the label no longer
    // says it is analysing.
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    EXPECT_EQ(dialog_->TimeLabel()->text(), "Analyzing, please wait...");
    QTest::mouseClick(dialog_->StopButton(), Qt::LeftButton);
    EXPECT_EQ(dialog_->TimeLabel()->text(), "00:00:00 / 00:00:00");

    // Closing while a build runs does not wait for it either.
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    EXPECT_TRUE(dialog_->Session().Read().analyzing);
    dialog_.reset();
    EXPECT_TRUE(PlaybackSession::WaitAllIdle(10000));
}

TEST_F(PlaybackWindowTest, PauseFastForwardAndStop) {
    // 3 loops of the clip: 3 s.
    ASSERT_TRUE(ClipRecording(3).WriteTo(recording_));
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    ASSERT_TRUE(WaitTimeShown());
    QTest::mouseClick(dialog_->PlayButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog_->PausedState());
    EXPECT_EQ(dialog_->PlayButton()->text(), "Play");
    EXPECT_EQ(dialog_->PlayButton()->toolTip(), "Click: Play");
    QTest::mouseClick(dialog_->PlayButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog_->PausedState());
    EXPECT_EQ(dialog_->PlayButton()->text(), "Pause");

    QStringList texts;
    for (int i = 0; i < 6; ++i) {
        QTest::mouseClick(dialog_->FastButton(), Qt::LeftButton);
        texts << dialog_->FastButton()->text();
    }
    EXPECT_EQ(texts, (QStringList{"FF 2X", "FF 4X", "FF 8X", "FF 16X", "FF 32X", "FF"}));
    dialog_->SeekTo(50);  // a seek is not a stop
    EXPECT_TRUE(dialog_->PlayingState());
    QTest::mouseClick(dialog_->StopButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog_->PlayingState());
    EXPECT_FALSE(dialog_->TimerActive());
    EXPECT_EQ(dialog_->FastButton()->text(), "FF");
    EXPECT_FALSE(dialog_->Session().Read().open || dialog_->Session().Read().analyzing);

    // Moving the slider to 100 stops playback.
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    ASSERT_TRUE(WaitTimeShown());
    dialog_->Slider()->setValue(100);
    EXPECT_FALSE(dialog_->PlayingState());
}

TEST_F(PlaybackWindowTest, ADamagedRecordingPlaysAndTheWindowSaysSo) {
    test::RecordFileMaker maker = ClipRecording();
    maker.Bytes().resize(maker.Size() - 100);
    ASSERT_TRUE(maker.WriteTo(recording_));
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    ASSERT_TRUE(WaitUntil([this] { return !dialog_->PlayingState(); }, 10000));
    EXPECT_TRUE(dialog_->StatusLabel()->text().contains("damaged"))
        << dialog_->StatusLabel()->text().toStdString();

    // Not a recording at all: says so and goes back to idle.
    test::RecordFileMaker text;
    text.RawBytes(500, 'x');
    ASSERT_TRUE(text.WriteTo(recording_));
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    ASSERT_TRUE(WaitUntil([this] { return !dialog_->PlayingState(); }, 5000));
    EXPECT_EQ(dialog_->TimeLabel()->text(), "00:00:00 / 00:00:00");
    EXPECT_FALSE(dialog_->StatusLabel()->text().isEmpty());
}

TEST_F(PlaybackWindowTest, FullScreenWhilePlayingAndBackOnEscape) {
    ASSERT_TRUE(ClipRecording(3).WriteTo(recording_));
    QTest::mouseDClick(dialog_->View(), Qt::LeftButton);  // nothing plays: nothing happens
    EXPECT_EQ(dialog_->FullScreenWindow(), nullptr);
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    QTest::mouseDClick(dialog_->View(), Qt::LeftButton);
    ASSERT_NE(dialog_->FullScreenWindow(), nullptr);
    EXPECT_TRUE(dialog_->FullScreenWindow()->isVisible());
    auto* view = dialog_->FullScreenWindow()->findChild<PlaybackView*>();
    ASSERT_NE(view, nullptr);
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_EQ(dialog_->FullScreenWindow(), nullptr);
    EXPECT_TRUE(dialog_->PlayingState());
}

TEST_F(PlaybackWindowTest, DeleteAsksAndRemovesTheFileOnly) {
    MessageRecorder messages(ui::MessageAnswer::kNo);
    QTreeWidgetItem* item = Find(QString::fromStdString(recording_.filename().string()));
    Click(item);
    QTest::mouseClick(dialog_->DeleteButton(), Qt::LeftButton);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].title, "Note");
    EXPECT_EQ(messages.asked[0].text,
              QString("Are you sure to delete %1 ?").arg(QString::fromStdString(recording_)));
    EXPECT_EQ(messages.asked[0].buttons, ui::MessageButtons::kYesNo);
    EXPECT_TRUE(fs::exists(recording_));  // No

    messages.SetAnswer(ui::MessageAnswer::kYes);
    QTest::mouseClick(dialog_->DeleteButton(), Qt::LeftButton);
    EXPECT_FALSE(fs::exists(recording_));
    EXPECT_TRUE(fs::exists(snapshot_));
    EXPECT_EQ(Find(QString::fromStdString(recording_.filename().string())), nullptr);
    EXPECT_TRUE(dialog_->PathBox()->text().isEmpty());
}

TEST_F(PlaybackWindowTest, AFailedFileDeleteNeverTakesItsFolder) {
    MessageRecorder messages(ui::MessageAnswer::kYes);
    Click(Find(QString::fromStdString(recording_.filename().string())));
    fs::remove(recording_);  // gone behind the window's back: the delete fails
    QTest::mouseClick(dialog_->DeleteButton(), Qt::LeftButton);
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_TRUE(messages.asked[1].text.contains("could not be deleted"));
    EXPECT_TRUE(fs::exists(snapshot_));
    EXPECT_TRUE(fs::exists(day_));
}

TEST_F(PlaybackWindowTest, DeletingAFolderNamesWhatItHoldsAndTheRecordFolderStays) {
    MessageRecorder messages(ui::MessageAnswer::kNo);
    Click(Find("Door(ABC)"));
    QTest::mouseClick(dialog_->DeleteButton(), Qt::LeftButton);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_TRUE(messages.asked[0].text.contains("holds 1 recordings and 1 snapshots"))
        << messages.asked[0].text.toStdString();
    EXPECT_TRUE(fs::exists(day_));

    // The root: refused without a question, whatever the answer would be.
    messages.SetAnswer(ui::MessageAnswer::kYes);
    Click(dialog_->Tree()->topLevelItem(0));
    EXPECT_EQ(dialog_->PathBox()->text().toStdString(), folder_.Path().string());
    QTest::mouseClick(dialog_->DeleteButton(), Qt::LeftButton);
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_EQ(messages.asked[1].buttons, ui::MessageButtons::kOk);
    EXPECT_TRUE(fs::exists(recording_));
    EXPECT_TRUE(fs::exists(folder_.Path()));

    // The folder, with Yes, while its recording plays.
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    Click(Find("Door(ABC)"));
    QTest::mouseClick(dialog_->DeleteButton(), Qt::LeftButton);
    EXPECT_FALSE(fs::exists(folder_.Path() / "Door(ABC)"));
    EXPECT_TRUE(fs::exists(folder_.Path()));
    EXPECT_FALSE(dialog_->PlayingState());
    EXPECT_EQ(Find("Door(ABC)"), nullptr);
}

// The played picture carries the file's path as its title, drawn at (8, 6)
// on the grey box the live panes use.
TEST_F(PlaybackWindowTest, ThePlayedPictureShowsItsPathAsTitle) {
    ASSERT_TRUE(ClipRecording(5).WriteTo(recording_));
    dialog_->OpenItem(Find(QString::fromStdString(recording_.filename().string())));
    PaneVideoSink& sink = dialog_->Session().Sink();
    ASSERT_TRUE(WaitUntil([&] { return sink.Latest().Valid(); }, 10000));
    dialog_->PlayOrPause();  // paused: the picture stays
    ASSERT_TRUE(dialog_->PausedState());
    EXPECT_EQ(sink.Latest().overlay.title, recording_.string());
    QImage shown = dialog_->View()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_GT(shown.width(), 20);
    EXPECT_EQ(shown.pixel(9, 7) & 0xffffff, 0x646464u);
    EXPECT_NE(shown.pixel(7, 7) & 0xffffff, 0x646464u) << "the box starts at x 8";
    bool text = false;
    for (int x = 12; x < std::min(shown.width(), 200) && !text; ++x) {
        for (int y = 7; y < 20 && !text; ++y) {
            text = (shown.pixel(x, y) & 0xffffff) == 0xf5f5f5u;
        }
    }
    EXPECT_TRUE(text) << "light title text on the box";
}

// A double click on any item stops what plays first; a folder (or the
// root) does nothing more.
TEST_F(PlaybackWindowTest, DoubleClickOnAFolderStopsThePlayback) {
    ASSERT_TRUE(ClipRecording(5).WriteTo(recording_));
    QTreeWidgetItem* recording = Find(QString::fromStdString(recording_.filename().string()));
    for (QTreeWidgetItem* item : {Find("2024-03-06"), dialog_->Tree()->topLevelItem(0)}) {
        dialog_->OpenItem(recording);
        ASSERT_TRUE(dialog_->PlayingState());
        dialog_->OpenItem(item);
        EXPECT_FALSE(dialog_->PlayingState());
        EXPECT_FALSE(dialog_->TimerActive());
        EXPECT_FALSE(dialog_->View()->ShowsPlayback());
        EXPECT_EQ(dialog_->PathBox()->text().toStdString(), dialog_->PathOf(item).string());
    }
    // A snapshot: stopped, then shown.
    dialog_->OpenItem(recording);
    dialog_->OpenItem(Find(QString::fromStdString(snapshot_.filename().string())));
    EXPECT_FALSE(dialog_->PlayingState());
    EXPECT_TRUE(dialog_->View()->ShowsImage());
}

// Delete works on the path box: disabled, saying why, while it is empty.
TEST_F(PlaybackWindowTest, DeleteIsDisabledUntilSomethingIsChosen) {
    MessageRecorder messages(ui::MessageAnswer::kYes);
    EXPECT_FALSE(dialog_->DeleteButton()->isEnabled());
    EXPECT_EQ(dialog_->DeleteButton()->toolTip(), "Choose a file or folder first");
    Click(Find(QString::fromStdString(snapshot_.filename().string())));
    EXPECT_TRUE(dialog_->DeleteButton()->isEnabled());
    QTest::mouseClick(dialog_->DeleteButton(), Qt::LeftButton);
    EXPECT_FALSE(fs::exists(snapshot_));
    EXPECT_TRUE(dialog_->PathBox()->text().isEmpty());
    EXPECT_FALSE(dialog_->DeleteButton()->isEnabled());
    EXPECT_EQ(dialog_->DeleteButton()->toolTip(), "Choose a file or folder first");
}

TEST(PlaybackTimeTextTest, HoursMinutesSeconds) {
    EXPECT_EQ(CDlgRecordingPlay::TimeText(0, 60), "00:00:00 / 00:01:00");
    EXPECT_EQ(CDlgRecordingPlay::TimeText(3661, 86399), "01:01:01 / 23:59:59");
}

}  // namespace
}  // namespace orbisight
