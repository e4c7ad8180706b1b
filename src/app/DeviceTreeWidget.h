#pragma once

#include <QTreeWidget>
#include <functional>

namespace orbisight {

// The device tree control: a tree that moves entries by drag and drop. The
// move itself is decided by the panel (only local entries move, and a group
// never into its own subtree); a drop outside the tree changes nothing.
class DeviceTreeWidget : public QTreeWidget {
    Q_OBJECT
  public:
    using MoveHandler = std::function<bool(QTreeWidgetItem* dragged, QTreeWidgetItem* target)>;
    explicit DeviceTreeWidget(QWidget* parent = nullptr);
    void SetMoveHandler(MoveHandler handler) { move_ = std::move(handler); }

  protected:
    void dropEvent(QDropEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;

  private:
    MoveHandler move_;
};

}  // namespace orbisight
