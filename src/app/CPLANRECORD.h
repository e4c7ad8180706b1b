#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>
#include <optional>

#include "account/DeviceInfo.h"
#include "device/CXOMPDeviceOper.h"
#include "device/DevInfoBlock.h"
#include "platform/Notice.h"
#include "records/RecordPlan.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace orbisight {

class DialogChannel;

// "Schedule record settings": the camera's eight recording plans, each with
// a mode ("Off", "Schedule", "Alarm"), a day and a start and end time (the
// end inclusive). "Save" keeps the changes, "Return" drops them.
//
// Two ways in:
//  - from a parameter page that already holds the camera's block: the page
//    hands over the plans and the state of its alarm "Enable" box, and after
//    "Save" (Accepted) takes Plan() back into its block and sends it;
//  - for a camera: the dialog opens its own command channel (parameters),
//    reads the block, and "Save" sends the block with the new plans and
//    reads it back. Success is shown only when the camera kept the plans as
//    sent; a refusal, no answer or a different read-back says the plan was
//    not saved, and the dialog stays open with the user's plans.
//
// A block that arrives again later (the channel logs in again when idle)
// refreshes the plans only while the user has changed nothing.
class CPLANRECORD : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kFetchTimeoutMs = 30000;
    static constexpr int kSaveTimeoutMs = 30000;

    // From a parameter page.
    CPLANRECORD(const RecordPlan& plan, bool alarmEnabled, QWidget* parent = nullptr);
    // For a camera; connects at once. timings: tests shorten the channel's waits.
    CPLANRECORD(const DeviceInfo& camera, QWidget* parent = nullptr,
                const std::optional<CXOMPDeviceOper::Timings>& timings = std::nullopt);
    ~CPLANRECORD() override;

    // Opens the dialog for a camera, non-blocking, deleted when closed.
    static CPLANRECORD* OpenForCamera(const DeviceInfo& camera, QWidget* parent);

    // The plans as edited (what "Save" keeps).
    RecordPlan Plan() const;
    // The parameter page's alarm "Enable" box changed.
    void SetAlarmEnabled(bool enabled);
    // True while the user has changes that are not saved.
    bool Modified() const;
    bool Saving() const { return saving_; }

    // One notice of the channel (GUI thread); public for the tests.
    void HandleNotice(const Notice& notice);
    void HandleOpened(int result);

    // Controls, for the tests.
    QComboBox* PlanList() const { return planList_; }
    QComboBox* DayList() const { return dayList_; }
    QTimeEdit* StartEdit() const { return startEdit_; }
    QTimeEdit* EndEdit() const { return endEdit_; }
    QTimeEdit* IntervalEdit() const { return intervalEdit_; }
    QRadioButton* ModeButton(PlanMode mode) const;
    QPushButton* SaveButton() const { return save_; }
    QPushButton* ReturnButton() const { return return_; }
    QLabel* Status() const { return status_; }

  public slots:
    void Save();

  private:
    void Build();
    void ShowPlan(int index);
    void ShowTimes(const PlanTimes& times);
    // Takes a start or end the user typed and has not confirmed yet.
    void FlushTimes();
    void StartChanged();
    void EndChanged();
    void DayChosen(int position);
    void ModeChosen(int mode);
    void LoadBlock(const DevInfoBlock& block);
    void SetEditable(bool editable);
    void SaveFinished(bool saved, const QString& failure);
    void SetStatus(const QString& text);

    RecordPlan plan_;
    RecordPlan loaded_;  // as last read or saved: what Modified() compares with
    int current_ = 0;
    bool alarmEnabled_ = false;
    bool showing_ = false;  // filling the controls: their signals are not edits
    PlanTimes shown_;

    // For a camera.
    std::unique_ptr<DialogChannel> channel_;
    bool haveBlock_ = false;
    DevInfoBlock block_{};  // the camera's last block; the plans are sent in it
    bool saving_ = false;
    RecordPlan sent_;
    QTimer fetchTimer_;
    QTimer saveTimer_;

    QComboBox* planList_ = nullptr;
    QComboBox* dayList_ = nullptr;
    QTimeEdit* startEdit_ = nullptr;
    QTimeEdit* endEdit_ = nullptr;
    QTimeEdit* intervalEdit_ = nullptr;
    QButtonGroup* modes_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* return_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace orbisight
