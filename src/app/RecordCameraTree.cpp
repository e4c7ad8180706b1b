#include "app/RecordCameraTree.h"

#include <QIcon>
#include <QTreeWidget>

#include "app/DeviceTreeModel.h"
#include "ui/SkinImages.h"

namespace orbisight::recordtree {
namespace {

static_assert(kRoleCamera == Qt::UserRole);

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::vector<DeviceInfo> CamerasOf(const std::vector<DeviceInfo>& account) {
    std::vector<DeviceInfo> cameras;
    for (const DeviceInfo& camera : account) {
        if (!camera.isGroup) {
            cameras.push_back(camera);
        }
    }
    return cameras;
}

bool Matches(const DeviceInfo& camera, const QString& typed) {
    if (typed.isEmpty()) {
        return true;
    }
    QString joined = Utf8(camera.Id()) + Utf8(camera.Name()) + Utf8(camera.Tips());
    return joined.toLower().contains(typed.toLower());
}

void Fill(QTreeWidget* tree, const std::vector<DeviceInfo>& cameras, const QString& typed,
          const std::string& chosenId) {
    tree->clear();
    auto* root = new QTreeWidgetItem(tree);
    int online = 0;
    int total = 0;
    QTreeWidgetItem* selected = nullptr;
    for (size_t i = 0; i < cameras.size(); ++i) {
        const DeviceInfo& camera = cameras[i];
        if (!Matches(camera, typed)) {
            continue;
        }
        ++total;
        auto* item = new QTreeWidgetItem(root);
        item->setText(0, Utf8(tree::DeviceText(camera, tree::Branch::kMy)));
        item->setData(0, kRoleCamera, static_cast<int>(i));
        if (camera.IsOnline()) {
            ++online;
            item->setIcon(0, QIcon(ui::SkinImages::Get("Tree-Online.png")));
        } else {
            item->setIcon(0, QIcon(ui::SkinImages::Get("Tree-Offline.png")));
        }
        if (!chosenId.empty() && camera.Id() == chosenId) {
            selected = item;
        }
    }
    root->setText(0, QString::asprintf("MyCamera(%d/%d)", online, total));
    root->setData(0, kRoleCamera, -1);
    root->setExpanded(true);
    if (selected != nullptr) {
        tree->setCurrentItem(selected);
    }
}

int IndexOf(const QTreeWidgetItem* item, size_t cameraCount) {
    if (item == nullptr) {
        return -1;
    }
    bool ok = false;
    int index = item->data(0, kRoleCamera).toInt(&ok);
    if (!ok || index < 0 || static_cast<size_t>(index) >= cameraCount) {
        return -1;
    }
    return index;
}

}  // namespace orbisight::recordtree
