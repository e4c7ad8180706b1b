#pragma once

#include <QString>
#include <string>
#include <vector>

#include "account/DeviceInfo.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace orbisight {

// The camera tree of the record manager's pages: under the root
// "MyCamera(%d/%d)" (cameras on-line, cameras listed) the account's cameras
// that are not groups, each "%s(%s)" with its name and the last 12
// characters of its identifier, with the on-line icon for status 2.
namespace recordtree {

// Each camera item holds its index into the cameras given to Fill; the root
// holds -1.
constexpr int kRoleCamera = 0x0100;  // Qt::UserRole

// The account's cameras that are not groups, from the context's list.
std::vector<DeviceInfo> CamerasOf(const std::vector<DeviceInfo>& account);

// The camera box filter: identifier, name and tips text joined and lowered
// contain the typed text, lowered. An empty text matches every camera.
bool Matches(const DeviceInfo& camera, const QString& typed);

// Rebuilds `tree` with the cameras that match `typed`; the camera whose
// identifier is `chosenId` becomes the current item when it is listed.
void Fill(QTreeWidget* tree, const std::vector<DeviceInfo>& cameras, const QString& typed,
          const std::string& chosenId);

// The index into Fill's cameras of a tree item; -1 for the root or none.
int IndexOf(const QTreeWidgetItem* item, size_t cameraCount);

}  // namespace recordtree
}  // namespace orbisight
