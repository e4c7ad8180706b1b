#include "app/CAlarmHistoryDlg.h"

#include <QEnterEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QTreeWidget>

#include "account/AlarmList.h"

namespace orbisight {

namespace {
constexpr int kKeyRole = Qt::UserRole + 1;

QString FieldString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

CAlarmHistoryDlg::CAlarmHistoryDlg(AlarmList* alarms, std::filesystem::path dataFolder,
                                   QWidget* mainWindow)
    : QWidget(mainWindow),
      alarms_(alarms),
      dataFolder_(std::move(dataFolder)),
      mainWindow_(mainWindow),
      slide_(this, "pos") {
    setObjectName("alarmWindow");
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);

    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setHeaderLabels({"Device ID", "Alarm Title", "Alarm Content", "Alarm Time"});
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(kColumnId, kIdWidth);
    list_->setColumnWidth(kColumnTitle, kTitleWidth);
    list_->setColumnWidth(kColumnContent, kContentWidth);
    list_->setColumnWidth(kColumnTime, kTimeWidth);
    connect(list_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        std::unique_ptr<QMenu> menu = ContextMenu(list_->itemAt(at));
        menu->exec(list_->viewport()->mapToGlobal(at));
    });
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* row) { OpenRow(row); });

    close_ = new QPushButton("X", this);
    close_->setFlat(true);
    // White on the window's blue: the skin's light button face would hide
    // the white "X".
    close_->setStyleSheet(
        "QPushButton { color: white; font-weight: bold; background: transparent; border: none; }"
        "QPushButton:hover { background: rgba(255, 255, 255, 60); }");
    close_->setToolTip("Close");
    connect(close_, &QPushButton::clicked, this, &CAlarmHistoryDlg::HideAlarms);

    // Timer 300 of the main window: the window stays while the pointer is
    // over it. The wait starts again whenever the pointer leaves, so the
    // window goes five seconds after that, not at some earlier tick.
    autoHide_.setInterval(kAutoHideMs);
    connect(&autoHide_, &QTimer::timeout, this, &CAlarmHistoryDlg::AutoHideTick);

    slide_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&slide_, &QPropertyAnimation::finished, this, [this] {
        if (!up_) {
            hide();
        }
    });

    // The window follows the main window's size (a child moves with it).
    mainWindow_->installEventFilter(this);
    hide();
}

// The history belongs to the session, which may be gone by now: nothing
// here touches it.
CAlarmHistoryDlg::~CAlarmHistoryDlg() = default;

void CAlarmHistoryDlg::SetTimings(int slideMs, int autoHideMs) {
    slideMs_ = slideMs;
    autoHide_.setInterval(autoHideMs);
}

QRect CAlarmHistoryDlg::UpGeometry() const {
    int w = mainWindow_->width();
    int h = mainWindow_->height();
    return QRect(0, h - kBottomOffset, std::max(w - 2, 0), kHeight);
}

bool CAlarmHistoryDlg::Sliding() const {
    return slide_.state() == QAbstractAnimation::Running;
}

void CAlarmHistoryDlg::Place() {
    QRect up = UpGeometry();
    resize(up.size());
    QPoint down(up.left(), mainWindow_->height());
    if (Sliding()) {
        slide_.setEndValue(up_ ? up.topLeft() : down);
    } else {
        move(up_ ? up.topLeft() : down);
    }
}

void CAlarmHistoryDlg::LayOut() {
    close_->setGeometry(width() - kCloseWidth, 0, kCloseWidth, kCloseHeight);
    list_->setGeometry(kListX, kListY, std::max(width() - 2 * kListX, 0),
                       std::max(height() - 45, 0));
    list_->setColumnWidth(kColumnContent, std::max(list_->width() - kContentLess, 40));
}

void CAlarmHistoryDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

bool CAlarmHistoryDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mainWindow_ && event->type() == QEvent::Resize) {
        Place();
    }
    return QWidget::eventFilter(watched, event);
}

void CAlarmHistoryDlg::ShowAlarms() {
    Place();
    LayOut();
    autoHide_.start();
    if (!up_) {
        Slide(true);
    }
    Refill();
    raise();
}

void CAlarmHistoryDlg::HideAlarms() {
    autoHide_.stop();
    if (up_) {
        Slide(false);
    }
}

void CAlarmHistoryDlg::Slide(bool up) {
    up_ = up;
    QRect target = UpGeometry();
    QPoint down(target.left(), mainWindow_->height());
    slide_.stop();
    if (up && !isVisible()) {
        move(down);
        show();
    }
    slide_.setDuration(std::max(slideMs_, 1));
    slide_.setStartValue(pos());
    slide_.setEndValue(up ? target.topLeft() : down);
    slide_.start();
}

void CAlarmHistoryDlg::AutoHideTick() {
    if (isVisible() && pointerInside_) {
        return;
    }
    HideAlarms();
}

void CAlarmHistoryDlg::enterEvent(QEnterEvent* event) {
    pointerInside_ = true;
    QWidget::enterEvent(event);
}

void CAlarmHistoryDlg::leaveEvent(QEvent* event) {
    pointerInside_ = false;
    if (up_) {
        autoHide_.start();
    }
    QWidget::leaveEvent(event);
}

void CAlarmHistoryDlg::Refill() {
    list_->clear();
    if (alarms_) {
        // Oldest to newest, each at the top: the newest is the first row.
        for (const AlarmEntry& entry : alarms_->Snapshot()) {
            const AlarmMessage& m = entry.message;
            auto* row = new QTreeWidgetItem(
                QStringList{FieldString(m.DeviceId()), FieldString(m.Title()),
                            FieldString(m.Message()), FieldString(m.ReceiveTime())});
            row->setData(kColumnId, kKeyRole, QVariant::fromValue<qulonglong>(entry.key));
            // The narrow columns cut long texts: the whole text on hover.
            row->setToolTip(kColumnTitle, row->text(kColumnTitle));
            row->setToolTip(kColumnContent, row->text(kColumnContent));
            list_->insertTopLevelItem(0, row);
        }
    }
    emit refilled(list_->topLevelItemCount());
}

uint64_t CAlarmHistoryDlg::KeyOf(const QTreeWidgetItem* row) {
    return row ? row->data(kColumnId, kKeyRole).toULongLong() : 0;
}

void CAlarmHistoryDlg::DeleteRow(QTreeWidgetItem* row) {
    if (!alarms_ || !row) {
        return;
    }
    // A row whose alarm is already gone (dropped by the history's limit)
    // goes too; no other alarm is touched.
    alarms_->Remove(KeyOf(row));
    delete row;
}

void CAlarmHistoryDlg::ClearAll() {
    if (!alarms_) {
        return;
    }
    alarms_->Clear();
    list_->clear();
    std::error_code ec;
    std::filesystem::remove(dataFolder_ / kAlarmFile, ec);
    update();
}

std::unique_ptr<QMenu> CAlarmHistoryDlg::ContextMenu(QTreeWidgetItem* row) {
    auto menu = std::make_unique<QMenu>(this);
    QAction* remove = menu->addAction("Delete Item");
    remove->setEnabled(row != nullptr && alarms_ != nullptr);
    // The row is looked up again when chosen: a refill meanwhile may have
    // replaced it.
    uint64_t key = KeyOf(row);
    connect(remove, &QAction::triggered, this, [this, key] {
        for (int i = 0; i < list_->topLevelItemCount(); ++i) {
            if (KeyOf(list_->topLevelItem(i)) == key) {
                DeleteRow(list_->topLevelItem(i));
                return;
            }
        }
    });
    QAction* clear = menu->addAction("Clear All");
    clear->setEnabled(alarms_ != nullptr);
    connect(clear, &QAction::triggered, this, &CAlarmHistoryDlg::ClearAll);
    return menu;
}

void CAlarmHistoryDlg::OpenRow(QTreeWidgetItem* row) {
    if (!alarms_ || !row) {
        return;
    }
    auto entry = alarms_->Find(KeyOf(row));
    if (!entry) {
        return;  // its alarm is gone
    }
    emit openCameraRequested(FieldString(entry->message.DeviceId()));
}

}  // namespace orbisight
