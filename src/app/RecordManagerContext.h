#pragma once

#include <functional>
#include <string>
#include <vector>

#include "account/DeviceInfo.h"

namespace orbisight {

class CloudStorageLibrary;

// What the record manager and its two pages need from the main window. The
// record manager hands a copy to each page; every member is read on the
// window thread.
struct RecordManagerContext {
    // The record folder of the settings; downloads go below it.
    std::string recordFolder;
    // The account's cameras that are not groups, with their on-line status,
    // for the cloud page's camera tree. Empty when nobody is logged in.
    std::function<std::vector<DeviceInfo>()> accountCameras;
    // The cloud-storage client loaded at start-up; null when the library or
    // one of its functions is missing, so cloud storage is unavailable.
    CloudStorageLibrary* cloud = nullptr;
};

}  // namespace orbisight
