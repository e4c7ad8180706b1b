#include "app/AppSettings.h"

#include "platform/Files.h"

namespace orbisight {

AppSettings::Places AppSettings::UserPlaces(const std::string& programPath) {
    return {DataFolder(), AutoStart::DefaultFolder(), DefaultRecordFolder(), programPath};
}

AppSettings::AppSettings(Places places)
    : places_(std::move(places)),
      registry_(places_.dataFolder / "registry"),
      file_(places_.dataFolder / "CameraClient.ini"),
      autostart_(places_.autostartFolder),
      record_(EmptySettings()) {}

void AppSettings::Load() {
    record_ = LoadSettings(registry_, places_.defaultRecordFolder);
    showAlarm_ = file_.ShowAlarm();
    if (!file_.Exists()) {
        // A new data folder: streams follow the panes' sizes from the start.
        chooseStreamByPaneSize_ = true;
        file_.WriteChooseStreamByPaneSize(true);
    } else {
        chooseStreamByPaneSize_ = file_.ChooseStreamByPaneSize();
    }
}

bool AppSettings::Save() {
    bool stored = StoreSettings(registry_, record_);
    autostart_.Apply(record_.startWithComputer != 0, places_.programPath);
    return stored;
}

bool AppSettings::SaveChooseStreamByPaneSize() {
    return file_.WriteChooseStreamByPaneSize(chooseStreamByPaneSize_);
}

bool AppSettings::SaveShowAlarm() {
    return file_.WriteShowAlarm(showAlarm_);
}

}  // namespace orbisight
