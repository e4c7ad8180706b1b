#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "device/DevInfoExt.h"
#include "device/DeviceParamEdit.h"

class QFormLayout;
class QCheckBox;
class QComboBox;
class QLineEdit;

namespace orbisight {

// The blocks a page fills its controls from and stores them into.
struct PageBlocks {
    params::DeviceParamRecord& record;
    DevInfoExt& ext;
    params::LinkMode mode;
};

// One tab of the camera settings dialog. Every control is bound to its
// block member by a fill and a store step; the page remembers whether the
// user changed anything since it was last filled or sent, so a refresh
// from the camera never overwrites an edit.
class CDeviceInfoPage : public QWidget {
    Q_OBJECT
  public:
    using Fill = std::function<void(const PageBlocks&)>;
    // Returns false with a message to show when the page cannot be stored.
    using Store = std::function<bool(PageBlocks&, QString* error)>;

    CDeviceInfoPage(params::Page page, QWidget* parent = nullptr);

    params::Page Kind() const { return page_; }
    QFormLayout* Form() const { return form_; }

    void Bind(Fill fill, Store store);
    // Fills every control; the page counts as unchanged afterwards.
    void Load(const PageBlocks& blocks);
    // Stores every control in binding order; stops at the first refusal.
    bool StoreInto(PageBlocks& blocks, QString* error);

    bool Changed() const { return changed_; }
    void SetChanged(bool changed);
    // The user's edits of this control mark the page changed.
    void Watch(QWidget* control);

    // Helpers that add a labelled control to the form, bound to a member.
    QLineEdit* AddLine(const QString& label, const QString& name,
                       std::function<std::string(const PageBlocks&)> get,
                       std::function<void(PageBlocks&, const std::string&)> set);
    QCheckBox* AddCheck(const QString& label, const QString& text, const QString& name,
                        std::function<bool(const PageBlocks&)> get,
                        std::function<void(PageBlocks&, bool)> set);
    // A list whose item i stores values[i] (or i without values).
    QComboBox* AddCombo(const QString& label, const QString& name,
                        const std::vector<QString>& items,
                        std::function<int(const PageBlocks&)> get,
                        std::function<void(PageBlocks&, int)> set,
                        const std::vector<int>& values = {});

  signals:
    void changedByUser(CDeviceInfoPage* page);

  private:
    params::Page page_;
    QFormLayout* form_;
    std::vector<Fill> fills_;
    std::vector<Store> stores_;
    bool changed_ = false;
    bool loading_ = false;
};

// Builds the eleven pages' controls and bindings (CDeviceInfoPages.cpp).
// Hooks are the dialog's actions that buttons on a page start.
struct PageHooks {
    std::function<void()> refreshWifi;
    std::function<void()> editSchedule;
    std::function<void()> fetchComputerTime;
    std::function<void(params::RestartKind)> restart;
};
CDeviceInfoPage* BuildDeviceInfoPage(params::Page page, const PageHooks& hooks, QWidget* parent);

}  // namespace orbisight
