#include "app/CPLANRECORD.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "app/DialogChannel.h"
#include "ui/MessageBoxes.h"

namespace orbisight {
namespace {

const char* const kDays[] = {"Monday",   "Tuesday", "Wednesday", "Thursday", "Friday",
                             "Saturday", "Sunday",  "Everyday",  "Workday"};

QTime ToQTime(PlanTime time) {
    return QTime(time.hour, time.minute, time.second);
}
PlanTime FromQTime(const QTime& time) {
    return {time.hour(), time.minute(), time.second()};
}

QTimeEdit* NewTimeEdit(QWidget* parent) {
    auto* edit = new QTimeEdit(parent);
    edit->setDisplayFormat("HH:mm:ss");
    edit->setTimeRange(QTime(0, 0, 0), QTime(23, 59, 59));
    return edit;
}

}  // namespace

CPLANRECORD::CPLANRECORD(const RecordPlan& plan, bool alarmEnabled, QWidget* parent)
    : QDialog(parent), plan_(plan), loaded_(plan), alarmEnabled_(alarmEnabled) {
    Build();
    status_->hide();
    ShowPlan(0);
}

CPLANRECORD::CPLANRECORD(const DeviceInfo& camera, QWidget* parent,
                         const std::optional<CXOMPDeviceOper::Timings>& timings)
    : QDialog(parent) {
    Build();
    ShowPlan(0);
    // Nothing to edit until the camera's block is here.
    SetEditable(false);
    channel_ = std::make_unique<DialogChannel>(
        this, CXOMPDeviceOper::kModeParameters, [this](const Notice& n) { HandleNotice(n); },
        [this](int result) { HandleOpened(result); });
    if (timings) {
        channel_->SetTimings(*timings);
    }
    fetchTimer_.setSingleShot(true);
    connect(&fetchTimer_, &QTimer::timeout, this, [this] {
        if (!haveBlock_) {
            SetStatus("Fetching Device info Failed, Try again!");
        }
    });
    saveTimer_.setSingleShot(true);
    connect(&saveTimer_, &QTimer::timeout, this, [this] {
        if (saving_) {
            SaveFinished(false, "The camera did not answer: the record plan was not saved.");
        }
    });
    SetStatus("Connecting to Device...");
    channel_->Open(camera);
}

CPLANRECORD::~CPLANRECORD() = default;

CPLANRECORD* CPLANRECORD::OpenForCamera(const DeviceInfo& camera, QWidget* parent) {
    auto* dialog = new CPLANRECORD(camera, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
    return dialog;
}

void CPLANRECORD::Build() {
    setWindowTitle("Schedule record settings");
    planList_ = new QComboBox(this);
    for (int i = 1; i <= RecordPlan::kPlans; ++i) {
        planList_->addItem(QString("Plan %1").arg(i));
    }
    dayList_ = new QComboBox(this);
    for (const char* day : kDays) {
        dayList_->addItem(day);
    }
    startEdit_ = NewTimeEdit(this);
    endEdit_ = NewTimeEdit(this);
    intervalEdit_ = NewTimeEdit(this);
    intervalEdit_->setReadOnly(true);
    intervalEdit_->setButtonSymbols(QAbstractSpinBox::NoButtons);

    modes_ = new QButtonGroup(this);
    auto* modeRow = new QHBoxLayout;
    const std::pair<const char*, PlanMode> modes[] = {
        {"Off", PlanMode::kOff}, {"Schedule", PlanMode::kSchedule}, {"Alarm", PlanMode::kAlarm}};
    for (const auto& [text, mode] : modes) {
        auto* button = new QRadioButton(text, this);
        modes_->addButton(button, static_cast<int>(mode));
        modeRow->addWidget(button);
    }
    modeRow->addStretch();

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Plan:", this), 0, 0);
    grid->addWidget(planList_, 0, 1, 1, 3);
    grid->addWidget(new QLabel("Day:", this), 1, 0);
    grid->addWidget(dayList_, 1, 1, 1, 3);
    grid->addWidget(new QLabel("Time:", this), 2, 0);
    grid->addWidget(startEdit_, 2, 1);
    grid->addWidget(new QLabel("-", this), 2, 2);
    grid->addWidget(endEdit_, 2, 3);
    grid->addWidget(new QLabel("Interval:", this), 3, 0);
    grid->addWidget(intervalEdit_, 3, 1);
    grid->addWidget(new QLabel("Mode:", this), 4, 0);
    grid->addLayout(modeRow, 4, 1, 1, 3);

    status_ = new QLabel(this);
    save_ = new QPushButton("Save", this);
    return_ = new QPushButton("Return", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(return_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(status_);
    layout->addLayout(buttons);

    connect(planList_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!showing_ && index >= 0) {
            FlushTimes();  // the old plan keeps what was typed
            ShowPlan(index);
        }
    });
    connect(dayList_, &QComboBox::activated, this, &CPLANRECORD::DayChosen);
    connect(startEdit_, &QTimeEdit::editingFinished, this, &CPLANRECORD::StartChanged);
    connect(endEdit_, &QTimeEdit::editingFinished, this, &CPLANRECORD::EndChanged);
    connect(modes_, &QButtonGroup::idClicked, this, &CPLANRECORD::ModeChosen);
    connect(save_, &QPushButton::clicked, this, &CPLANRECORD::Save);
    connect(return_, &QPushButton::clicked, this, &QDialog::reject);
}

QRadioButton* CPLANRECORD::ModeButton(PlanMode mode) const {
    return qobject_cast<QRadioButton*>(modes_->button(static_cast<int>(mode)));
}

RecordPlan CPLANRECORD::Plan() const {
    return plan_;
}

void CPLANRECORD::SetAlarmEnabled(bool enabled) {
    alarmEnabled_ = enabled;
    ModeButton(PlanMode::kAlarm)->setEnabled(enabled);
}

bool CPLANRECORD::Modified() const {
    if (!(plan_ == loaded_)) {
        return true;
    }
    // A time typed and not yet confirmed is a change too.
    return FromQTime(startEdit_->time()) != shown_.start ||
           FromQTime(endEdit_->time()) != shown_.end;
}

void CPLANRECORD::ShowPlan(int index) {
    current_ = index;
    const RecordPlanEntry& entry = plan_.Entry(index);
    showing_ = true;
    planList_->setCurrentIndex(index);
    int day = entry.day;
    // A day this client has no name for selects nothing, and stays stored.
    dayList_->setCurrentIndex(
        day >= RecordPlanEntry::kFirstDay && day <= RecordPlanEntry::kLastDay ? day - 1 : -1);
    ShowTimes(ShownTimes(entry));
    modes_->setExclusive(false);
    for (QAbstractButton* button : modes_->buttons()) {
        button->setChecked(modes_->id(button) == entry.mode);
    }
    modes_->setExclusive(true);
    ModeButton(PlanMode::kAlarm)->setEnabled(alarmEnabled_);
    showing_ = false;
}

void CPLANRECORD::ShowTimes(const PlanTimes& times) {
    bool wasShowing = showing_;
    showing_ = true;
    shown_ = times;
    startEdit_->setTime(ToQTime(times.start));
    endEdit_->setTime(ToQTime(times.end));
    intervalEdit_->setTime(ToQTime(times.interval));
    showing_ = wasShowing;
}

void CPLANRECORD::FlushTimes() {
    if (FromQTime(startEdit_->time()) != shown_.start) {
        StartChanged();
    }
    if (FromQTime(endEdit_->time()) != shown_.end) {
        EndChanged();
    }
}

void CPLANRECORD::StartChanged() {
    if (showing_) {
        return;
    }
    ShowTimes(SetPlanStart(plan_.Entry(current_), FromQTime(startEdit_->time()),
                           FromQTime(endEdit_->time())));
}

void CPLANRECORD::EndChanged() {
    if (showing_) {
        return;
    }
    ShowTimes(SetPlanEnd(plan_.Entry(current_), FromQTime(startEdit_->time()),
                         FromQTime(endEdit_->time())));
}

void CPLANRECORD::DayChosen(int position) {
    if (!showing_ && position >= 0) {
        plan_.Entry(current_).day = static_cast<uint8_t>(position + 1);
    }
}

void CPLANRECORD::ModeChosen(int mode) {
    if (!showing_) {
        plan_.Entry(current_).mode = static_cast<uint8_t>(mode);
    }
}

void CPLANRECORD::Save() {
    FlushTimes();
    if (!channel_) {
        accept();  // the parameter page takes Plan() and sends its block
        return;
    }
    if (saving_ || !haveBlock_) {
        return;
    }
    DevInfoBlock block = block_;
    plan_.ToBlock(block);
    block.StampForSet();
    // Only the plans change: the month's flag stays clear so the camera
    // does not set its clock back to the time read when the dialog opened.
    block.SetMonthSetFlag(false);
    // The read-back after the set tells whether the camera kept the plans:
    // a refusal of the set arrives first (notice 13366), otherwise the
    // block read back shows what the camera now holds.
    if (!channel_->Channel().SetParameters(block) || !channel_->Channel().RequestParameters()) {
        SaveFinished(false, "The camera is not connected: the record plan was not saved.");
        return;
    }
    saving_ = true;
    sent_ = plan_;
    save_->setEnabled(false);
    SetStatus("Saving the record plan...");
    saveTimer_.start(kSaveTimeoutMs);
}

void CPLANRECORD::SaveFinished(bool saved, const QString& failure) {
    saving_ = false;
    saveTimer_.stop();
    save_->setEnabled(haveBlock_);
    if (saved) {
        loaded_ = sent_;
        SetStatus("Record plan saved.");
        ui::ShowNote(this, "Note", "Record plan saved!");
        accept();
    } else {
        SetStatus(failure);
        ui::ShowNote(this, "Error", failure, ui::MessageIcon::kWarning);
    }
}

void CPLANRECORD::SetEditable(bool editable) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{planList_, dayList_, startEdit_, endEdit_, save_}) {
        control->setEnabled(editable);
    }
    for (QAbstractButton* button : modes_->buttons()) {
        button->setEnabled(editable);
    }
}

void CPLANRECORD::LoadBlock(const DevInfoBlock& block) {
    bool first = !haveBlock_;
    block_ = block;
    haveBlock_ = true;
    fetchTimer_.stop();
    if (first) {
        SetEditable(true);
    }
    save_->setEnabled(!saving_);
    SetAlarmEnabled(block.alertOn != 0);
    if (first || !Modified()) {
        plan_ = loaded_ = RecordPlan::FromBlock(block);
        ShowPlan(current_);
    }
    SetStatus(QString());
}

void CPLANRECORD::HandleOpened(int result) {
    if (result == 1) {
        SetStatus("Fetching Device's Info...");
        fetchTimer_.start(kFetchTimeoutMs);
    } else {
        SetStatus("Connecting to Device Failed, Try again!");
        fetchTimer_.stop();
    }
}

void CPLANRECORD::HandleNotice(const Notice& notice) {
    if (notice.message == notice::kParameters) {
        auto* parameters = static_cast<const DeviceParameters*>(notice.object.get());
        if (parameters == nullptr) {
            return;
        }
        if (saving_) {
            block_ = parameters->block;
            if (RecordPlan::FromBlock(parameters->block) == sent_) {
                SaveFinished(true, QString());
            } else {
                SaveFinished(false, "The camera did not keep the record plan: it was not saved.");
            }
            return;
        }
        LoadBlock(parameters->block);
    } else if (notice.message == notice::kReplyFailed) {
        if (saving_) {
            SaveFinished(false, "The camera refused the record plan: it was not saved.");
            return;
        }
        fetchTimer_.stop();
        if (!haveBlock_) {
            SetStatus("Fetching Device info Failed, Try again!");
        }
    }
}

void CPLANRECORD::SetStatus(const QString& text) {
    status_->setText(text);
}

}  // namespace orbisight
