#include "app/DeviceTreeWidget.h"

#include <QDropEvent>

namespace orbisight {

DeviceTreeWidget::DeviceTreeWidget(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setIconSize(QSize(18, 18));
    setIndentation(16);
    setAnimated(true);
}

void DeviceTreeWidget::dragMoveEvent(QDragMoveEvent* event) {
    QTreeWidget::dragMoveEvent(event);
    if (!itemAt(event->position().toPoint())) {
        event->ignore();
    }
}

void DeviceTreeWidget::dropEvent(QDropEvent* event) {
    // The tree is rebuilt from the lists after a move, so the view never
    // moves items itself.
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    QTreeWidgetItem* dragged = currentItem();
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (move_ && dragged && target && dragged != target) {
        move_(dragged, target);
    }
}

}  // namespace orbisight
