#pragma once

#include <filesystem>
#include <string>

#include "app/AutoStart.h"
#include "app/ClientSettingsFile.h"
#include "app/SettingsRecord.h"
#include "platform/Registry.h"

namespace orbisight {

// Everything the application keeps for the user between runs, held for the
// whole run: the settings record (registry), "ShowAlarm" (settings file) and
// start with the computer (autostart entry).
class AppSettings {
  public:
    struct Places {
        std::filesystem::path dataFolder;       // registry store and CameraClient.ini
        std::filesystem::path autostartFolder;  // XDG autostart entries
        std::filesystem::path defaultRecordFolder;
        std::string programPath;
    };
    // The places of the current user: the data folder, ~/.config/autostart,
    // ~/OrbisightRecord.
    static Places UserPlaces(const std::string& programPath);

    explicit AppSettings(Places places);

    // Reads the record (with the defaults), "ShowAlarm" and "Choose stream
    // by pane size". A data folder without "CameraClient.ini" is a new one:
    // there the stream choice starts on and is written at once; an existing
    // file without the key keeps it off ("Local big stream" decides).
    void Load();
    // Stores the whole record and applies start with the computer. False
    // when the record could not be stored.
    bool Save();
    // Writes "ShowAlarm" as "1" or "0".
    bool SaveShowAlarm();
    bool ChooseStreamByPaneSize() const { return chooseStreamByPaneSize_; }
    void SetChooseStreamByPaneSize(bool on) { chooseStreamByPaneSize_ = on; }
    // Writes "ChooseStreamByPaneSize" as "1" or "0".
    bool SaveChooseStreamByPaneSize();

    SettingsRecord& Record() { return record_; }
    const SettingsRecord& Record() const { return record_; }
    bool ShowAlarm() const { return showAlarm_; }
    void SetShowAlarm(bool on) { showAlarm_ = on; }
    ClientSettingsFile& File() { return file_; }
    const AutoStart& Autostart() const { return autostart_; }
    const Places& Where() const { return places_; }

  private:
    Places places_;
    Registry registry_;
    ClientSettingsFile file_;
    AutoStart autostart_;
    SettingsRecord record_;
    bool showAlarm_ = false;
    bool chooseStreamByPaneSize_ = false;
};

}  // namespace orbisight
