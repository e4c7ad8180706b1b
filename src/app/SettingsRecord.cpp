#include "app/SettingsRecord.h"

#include <algorithm>
#include <cstring>

namespace orbisight {

SettingsRecord EmptySettings() {
    SettingsRecord record;
    std::memset(&record, 0, sizeof record);
    return record;
}

void ApplySettingsDefaults(SettingsRecord& record, const std::filesystem::path& defaultFolder) {
    if (!record.RecordFolder().empty()) {
        return;
    }
    record.autoCheckVersion = 1;
    record.recordMinutes = 60;
    record.localBigStream = 1;
    record.alarmBlink = 0;
    record.SetRecordFolder(defaultFolder.string());
    record.SetCountryCode("0086");
    record.SetCityCode("0755");
}

namespace {
// A stored text may lack its terminator (a damaged or foreign value); the
// readers of the record rely on one inside each field.
template <size_t N>
void Terminate(char (&field)[N]) {
    field[N - 1] = '\0';
}
}  // namespace

SettingsRecord LoadSettings(Registry& registry, const std::filesystem::path& defaultFolder) {
    SettingsRecord record = EmptySettings();
    registry.CreateKey(kSettingsKey);
    if (auto value = registry.ReadValue(kSettingsKey, kSettingsValue)) {
        size_t n = std::min(value->data.size(), sizeof record);
        std::memcpy(&record, value->data.data(), n);
        Terminate(record.recordFolder);
        Terminate(record.countryCode);
        Terminate(record.cityCode);
    }
    ApplySettingsDefaults(record, defaultFolder);
    return record;
}

bool StoreSettings(Registry& registry, const SettingsRecord& record) {
    return registry.WriteValue(kSettingsKey, kSettingsValue, RegistryType::kBinary, &record,
                               sizeof record);
}

}  // namespace orbisight
