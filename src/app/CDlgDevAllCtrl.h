#pragma once

#include <QWidget>
#include <functional>
#include <map>

class QLabel;

namespace orbisight {

namespace ui {
class ImageButton;
}

// The main window's toolbar: layouts, full screen, playback, search, login,
// settings, exit and the right panel toggle, then paging and the wall-wide
// commands. Every button sends its command identifier to the main window.
class CDlgDevAllCtrl : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 60;

    // Command identifiers.
    static constexpr int kMultiPictures = 1039;
    static constexpr int kFullScreen = 1024;
    static constexpr int kReplay = 1048;
    static constexpr int kDevScan = 1065;
    static constexpr int kLogin = 1027;
    static constexpr int kSettings = 1063;
    static constexpr int kExit = 1064;
    static constexpr int kRightPanel = 1408;
    static constexpr int kFirstPage = 1035;
    static constexpr int kPreviousPage = 1036;
    static constexpr int kNextPage = 1037;
    static constexpr int kLastPage = 1038;
    static constexpr int kConnectAll = 1047;
    static constexpr int kDisconnectAll = 1019;
    static constexpr int kRecordAll = 1052;
    static constexpr int kSnapshotAll = 1014;
    static constexpr int kLoopPlay = 1028;
    // The login button's menu entries, forwarded to the main window.
    static constexpr int kLoginOut = 0x4000;
    static constexpr int kEditUserInfo = 0x4001;
    // The custom layouts' buttons, for codes 30..34.
    static constexpr int kCustomLayoutIds[5] = {1399, 1009, 1010, 1011, 1012};

    explicit CDlgDevAllCtrl(QWidget* parent = nullptr);

    // The current layout code, for the radio check of the layout menu.
    void SetLayoutCodeSource(std::function<int()> source) { layoutCode_ = std::move(source); }

    ui::ImageButton* Button(int id) const;
    // Enables the paging buttons when there is more than one page and sets
    // their tooltips with the status text.
    void SetPaging(int pageCount, const QString& status);
    void SetRightPanelHidden(bool hidden);
    // Logged in, the login button offers "Login out" and "Edit user Info";
    // logged out it opens the login dialog.
    void SetLoggedIn(bool loggedIn);
    // Runs a button as a click does.
    void Trigger(int id);

  signals:
    // A toolbar command for the main window (layout menu choices arrive as
    // 0x2012 + n).
    void command(int id);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    ui::ImageButton* AddButton(int id, const QString& image, const QString& tip, int x, int y);
    void ShowLayoutMenu();

    std::map<int, ui::ImageButton*> buttons_;
    std::function<int()> layoutCode_;
    QLabel* pagingLabel_ = nullptr;
    bool loggedIn_ = false;
};

}  // namespace orbisight
