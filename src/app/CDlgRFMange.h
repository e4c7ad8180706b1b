#pragma once

#include <QDialog>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "account/DeviceInfo.h"
#include "device/CXOMPDeviceOper.h"
#include "device/RfList.h"
#include "platform/Notice.h"

class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace orbisight {

class CDlgRFInfo;
class DialogChannel;

// The RF sensors of one camera: the accessories grouped by type in a tree
// ("%s(%s)": name and ID), one page per type to rename and enable them,
// "Delete(&D)" and "Clear all(&R)" on the tree's menu, and "Save", which
// writes the whole list back over the dialog's own command channel (RF
// mode) and reads it back: success is shown only when the camera answered
// and now holds the list as sent.
//
// The channel delivers the list again whenever it logs in again (an idle
// connection does so about every minute): the new list is shown only while
// the user has changed nothing.
class CDlgRFMange : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kFetchTimeoutMs = 30000;  // timer 3
    static constexpr int kSaveTimeoutMs = 30000;

    // Without a camera (tests feed the notices).
    explicit CDlgRFMange(QWidget* parent = nullptr);
    // For a camera; connects at once. timings: tests shorten the channel's waits.
    CDlgRFMange(const DeviceInfo& camera, QWidget* parent,
                const std::optional<CXOMPDeviceOper::Timings>& timings = std::nullopt);
    ~CDlgRFMange() override;

    // Opens the dialog for a camera, non-blocking, deleted when closed.
    static CDlgRFMange* OpenForCamera(const DeviceInfo& camera, QWidget* parent);

    // One notice of the channel, and the open result (GUI thread).
    void HandleNotice(const Notice& notice);
    void HandleOpened(int result);

    // Selects the accessory's item (the page shows it); false when absent.
    bool SelectDevice(const std::string& id);
    // The menu actions, as the menu runs them (after the confirmation).
    void DeleteSelected();
    void ClearAll();
    // The tree's menu for an item (built, not shown).
    std::unique_ptr<QMenu> BuildMenu(QTreeWidgetItem* item);

    // The list as edited so far, the shown page included.
    const RfList& List();
    bool Modified() const;
    bool Saving() const { return saving_; }

    QTreeWidget* Tree() const { return tree_; }
    // The page of the selected accessory, or nullptr.
    CDlgRFInfo* CurrentPage() const;
    QLabel* Status() const { return status_; }
    QPushButton* SaveButton() const { return save_; }

  public slots:
    void Save();

  private:
    void Build();
    void Load(const std::string& text);
    void Fill();
    // Stores the shown page into the list (leaving an item, saving).
    void StorePage();
    void ShowDevice(const std::string& id);
    void SaveFinished(bool saved);
    void SetStatus(const QString& text);
    CDlgRFInfo* PageFor(const std::string& id);

    RfList list_;
    bool edited_ = false;  // the list differs from the camera's
    bool loaded_ = false;
    std::string shownId_;                       // the accessory on the page; empty: none
    std::map<std::string, CDlgRFInfo*> pages_;  // by group name

    std::unique_ptr<DialogChannel> channel_;
    bool saving_ = false;
    std::string sent_;
    QTimer fetchTimer_;
    QTimer saveTimer_;

    QTreeWidget* tree_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* save_ = nullptr;
};

}  // namespace orbisight
