#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

#include "lan/LanSearchRows.h"
#include "platform/Notice.h"

class QPushButton;
class QTreeWidget;

namespace orbisight {

class CXOMPWorker;
class GuiNoticeTarget;
class LanListener;

// "Local Search": the cameras that answer a LAN search, with bind, edit in
// LAN mode, the network wizard and adding to the local list. Registered
// with the LAN listener while it exists; the rows are its own copies.
class CLocalSearchDlg : public QDialog {
    Q_OBJECT

  public:
    // Opens the camera settings dialog in LAN mode on a copy of a row.
    // Without one, "Edit(&E)" stays disabled.
    using EditHook = std::function<void(QWidget* parent, const CamNetParam& record)>;

    CLocalSearchDlg(CXOMPWorker* worker, LanListener* lan, EditHook edit,
                    QWidget* parent = nullptr);
    ~CLocalSearchDlg() override;

    QTreeWidget* List() const { return list_; }
    const LanSearchRows& Rows() const { return rows_; }
    QPushButton* BindButton() const { return bind_; }
    QPushButton* EditButton() const { return edit_; }
    QPushButton* WizardButton() const { return wizard_; }
    QPushButton* RefreshButton() const { return refresh_; }
    QPushButton* AddLocalButton() const { return addLocal_; }
    // The answer of a LAN notice (13330), as the listener delivers it.
    void HandleNotice(const Notice& notice);
    // "Refresh(&S)".
    void Refresh();
    // The row actions on the selected row.
    void Bind();
    void Edit();
    void Wizard();
    void AddToLocalList();

  signals:
    // A camera was added to or updated in the local list.
    void localListChanged();

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void FillRow(int row);
    int SelectedRow() const;
    void UpdateButtons();
    void AddLocal(const CamNetParam& record);

    CXOMPWorker* worker_;
    LanListener* lan_;
    EditHook editHook_;
    LanSearchRows rows_;
    QTreeWidget* list_ = nullptr;
    QPushButton* bind_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* wizard_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* exit_ = nullptr;
    QPushButton* addLocal_ = nullptr;
    QTimer selectTimer_;  // "timer 9": the first row 600 ms after a search
    bool searched_ = false;
    std::unique_ptr<GuiNoticeTarget> notices_;
};

}  // namespace orbisight
