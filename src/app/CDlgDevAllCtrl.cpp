#include "app/CDlgDevAllCtrl.h"

#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <iterator>

#include "app/WallLayout.h"
#include "ui/ImageButton.h"
#include "ui/SkinImages.h"

namespace orbisight {

namespace {
// Features that arrive with later versions: their buttons are shown but
// inert, saying so.

// The wall-wide commands on the right, 34 x 34 each.
struct CompactButton {
    int id;
    const char* image;
    const char* tip;
};
const CompactButton kWallCommands[] = {
    {CDlgDevAllCtrl::kConnectAll, "TBAR-BtnConnectAll-01.png", "Connect all"},
    {CDlgDevAllCtrl::kDisconnectAll, "TBAR-BtnDisconnectAll-01.png", "Disconnect all"},
    {CDlgDevAllCtrl::kRecordAll, "TBAR-BtnRecordAll-01.png", "Record all"},
    {CDlgDevAllCtrl::kSnapshotAll, "TBAR-BtnSnapAll-01.png", "Snap all"},
    {CDlgDevAllCtrl::kLoopPlay, "TBAR-BtnLoop-01.png", "Loop play"},
};
constexpr int kWallCommandCount = static_cast<int>(std::size(kWallCommands));
const CompactButton kPaging[] = {
    {CDlgDevAllCtrl::kFirstPage, "TBAR-BtnFPage-01.png", "First"},
    {CDlgDevAllCtrl::kPreviousPage, "TBAR-BtnPPage-01.png", "Prev"},
    {CDlgDevAllCtrl::kNextPage, "TBAR-BtnNPage-01.png", "Next"},
    {CDlgDevAllCtrl::kLastPage, "TBAR-BtnLPage-01.png", "Last"},
};
}  // namespace

CDlgDevAllCtrl::CDlgDevAllCtrl(QWidget* parent) : QWidget(parent) {
    setFixedHeight(kHeight);
    // Thirteen buttons of 54 x 52 at y 4: x 20, then steps of 57, except 60
    // after the first and 72 after the sixth.
    struct ButtonDef {
        int id;
        const char* image;
        const char* tip;
    };
    const ButtonDef buttons[] = {
        {kMultiPictures, "TBAR-BtnMulPics-01.png", "Layout"},
        {kCustomLayoutIds[0], "Picture-View-1-1.png", "Layout 1 + 5"},
        {kCustomLayoutIds[1], "Picture-View-2-1.png", "Layout 3 + 4"},
        {kCustomLayoutIds[2], "Picture-View-3-1.png", "Layout 1 + 7"},
        {kCustomLayoutIds[3], "Picture-View-4-1.png", "Layout 2 + 8"},
        {kCustomLayoutIds[4], "Picture-View-5-1.png", "Layout 1 + 12"},
        {kFullScreen, "TBAR-BtnFullScreen-01.png", "Full screen"},
        {kReplay, "TBAR-BtnRePlay-01.png", "Local recordings"},
        {kDevScan, "TBAR-BtnDevScan-01.png", "Search the local network"},
        {kLogin, "TBAR-BtnLogin-01.png", "Login"},
        {kSettings, "TBAR-BtnSetting-01.png", "Settings"},
        {kExit, "TBAR-BtnExit-01.png", "Exit"},
        {kRightPanel, "Btn-right-panel-off.png", "Hide Right Panel"},
    };
    int x = 20;
    for (int i = 0; i < 13; ++i) {
        const ButtonDef& s = buttons[i];
        AddButton(s.id, s.image, s.tip, x, 4);
        x += i == 0 ? 60 : (i == 5 ? 72 : 57);
    }
    Button(kRightPanel)->SetImages("Btn-right-panel-off.png", "Btn-right-panel-off-02.png");
    for (const CompactButton& s : kWallCommands) {
        AddButton(s.id, s.image, s.tip, 0, 13);
    }
    for (const CompactButton& s : kPaging) {
        AddButton(s.id, s.image, s.tip, 0, 13);
    }
    pagingLabel_ = new QLabel(this);
    pagingLabel_->setStyleSheet("color: #5a6778;");
    SetPaging(1, QString());
}

ui::ImageButton* CDlgDevAllCtrl::AddButton(int id, const QString& image, const QString& tip, int x,
                                           int y) {
    auto* button = new ui::ImageButton(id, image, this);
    button->setToolTip(tip);
    button->setText(tip);
    button->move(x, y);
    buttons_[id] = button;
    connect(button, &QAbstractButton::clicked, this, [this, id] { Trigger(id); });
    return button;
}

ui::ImageButton* CDlgDevAllCtrl::Button(int id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

void CDlgDevAllCtrl::resizeEvent(QResizeEvent*) {
    // Right-aligned: the wall commands, a gap, the paging buttons and the
    // page label.
    int labelWidth = 52;
    int x = width() - 12 - labelWidth;
    pagingLabel_->setGeometry(x, 13, labelWidth, 34);
    x -= 4;
    for (int i = 3; i >= 0; --i) {
        x -= 34;
        Button(kPaging[i].id)->move(x, 13);
    }
    x -= 18;
    for (int i = kWallCommandCount - 1; i >= 0; --i) {
        x -= 36;
        Button(kWallCommands[i].id)->move(x, 13);
    }
}

void CDlgDevAllCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(246, 246, 246));
    QPixmap strip = ui::SkinImages::Get("Titile-Spr.png");
    if (!strip.isNull()) {
        for (int x : {0, 680, 1360}) {
            p.drawPixmap(x, 0, strip);
        }
    }
    // A quiet divider between the main buttons and the wall commands.
    int divider = Button(kConnectAll)->x() - 12;
    p.setPen(QColor(0xdf, 0xe3, 0xe8));
    p.drawLine(divider, 14, divider, 46);
}

void CDlgDevAllCtrl::SetPaging(int pageCount, const QString& status) {
    for (const CompactButton& s : kPaging) {
        ui::ImageButton* b = Button(s.id);
        b->setEnabled(pageCount > 1);
        b->setToolTip(QString(s.tip) + status);
    }
    // ":  2/3 Screen, ..." -> "2/3" beside the buttons.
    QString pages = status.section(' ', 2, 2);
    pagingLabel_->setText(pageCount > 0 ? pages : QString());
    pagingLabel_->setToolTip(status.mid(3));
}

void CDlgDevAllCtrl::SetRightPanelHidden(bool hidden) {
    ui::ImageButton* b = Button(kRightPanel);
    if (hidden) {
        b->SetImages("Btn-right-panel-on.png", "Btn-right-panel-on-02.png");
        b->setToolTip("Show Right Panel");
    } else {
        b->SetImages("Btn-right-panel-off.png", "Btn-right-panel-off-02.png");
        b->setToolTip("Hide Right Panel");
    }
}

void CDlgDevAllCtrl::SetLoggedIn(bool loggedIn) {
    if (loggedIn == loggedIn_) {
        return;
    }
    loggedIn_ = loggedIn;
    Button(kLogin)->setToolTip(loggedIn ? "Login out / Edit user Info" : "Login");
}

void CDlgDevAllCtrl::Trigger(int id) {
    ui::ImageButton* b = Button(id);
    if (b && !b->isEnabled()) {
        return;
    }
    if (id == kLogin && loggedIn_) {
        QMenu menu(this);
        QAction* logout = menu.addAction("Login out");
        QAction* userInfo = menu.addAction("Edit user Info");
        QAction* chosen = menu.exec(b->mapToGlobal(QPoint(0, b->height())));
        if (chosen == logout) {
            emit command(kLoginOut);
        } else if (chosen == userInfo) {
            emit command(kEditUserInfo);
        }
        return;
    }
    if (id == kMultiPictures) {
        ShowLayoutMenu();
        return;
    }
    for (int i = 0; i < 5; ++i) {
        if (kCustomLayoutIds[i] == id) {
            emit command(WallLayout::kLayoutCommandBase + WallLayout::kFirstCustom + i);
            return;
        }
    }
    emit command(id);
}

void CDlgDevAllCtrl::ShowLayoutMenu() {
    QMenu menu(this);
    auto* group = new QActionGroup(&menu);
    int current = layoutCode_ ? layoutCode_() : 0;
    for (int n = 1; n <= 12; ++n) {
        QAction* a = menu.addAction(QString::asprintf("Display %2d  X %2d  Pictures", n, n));
        a->setCheckable(true);
        a->setChecked(current == n);
        a->setData(WallLayout::kLayoutCommandBase + n);
        group->addAction(a);
    }
    ui::ImageButton* b = Button(kMultiPictures);
    QAction* chosen = menu.exec(b->mapToGlobal(QPoint(0, b->height())));
    if (chosen) {
        emit command(chosen->data().toInt());
    }
}

}  // namespace orbisight
