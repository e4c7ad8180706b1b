#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/Registry.h"
#include "platform/Text.h"

namespace orbisight {

// The user's settings: one fixed 1768-byte record kept in memory for the whole
// run and stored whole as one binary registry value. The layout is fixed
// (little-endian integers, NUL-terminated texts) because the stored value is
// read back byte for byte by later runs.
struct SettingsRecord {
    int32_t autoCheckVersion;   // 0/1, stored only
    int32_t recordMinutes;      // a recording file is closed and a new one begun after this
    int32_t remoteBigStream;    // 0/1, stored only
    int32_t localBigStream;     // 0/1: main stream for local cameras
    int32_t alarmBlink;         // 0/1: blinking border on alarm pictures
    int32_t startWithComputer;  // 0/1: XDG autostart entry
    int32_t autoLogin;          // 0/1
    int32_t autoConnect;        // 0/1: loop play after login
    int32_t reserved32;
    int32_t localOnlyKeyFrames;  // 0/1: "Local only play I frame"
    int32_t showPublicList;      // 0/1: cleared every time the main window opens
    uint8_t reserved44[28];
    char recordFolder[512];
    char countryCode[64];
    char cityCode[64];
    uint8_t reserved712[1056];

    std::string_view RecordFolder() const { return FieldText(recordFolder); }
    std::string_view CountryCode() const { return FieldText(countryCode); }
    std::string_view CityCode() const { return FieldText(cityCode); }
    void SetRecordFolder(std::string_view text) { CopyTextField(recordFolder, text); }
    void SetCountryCode(std::string_view text) { CopyTextField(countryCode, text); }
    void SetCityCode(std::string_view text) { CopyTextField(cityCode, text); }
};

static_assert(sizeof(SettingsRecord) == 1768);
static_assert(offsetof(SettingsRecord, autoCheckVersion) == 0);
static_assert(offsetof(SettingsRecord, recordMinutes) == 4);
static_assert(offsetof(SettingsRecord, remoteBigStream) == 8);
static_assert(offsetof(SettingsRecord, localBigStream) == 12);
static_assert(offsetof(SettingsRecord, alarmBlink) == 16);
static_assert(offsetof(SettingsRecord, startWithComputer) == 20);
static_assert(offsetof(SettingsRecord, autoLogin) == 24);
static_assert(offsetof(SettingsRecord, autoConnect) == 28);
static_assert(offsetof(SettingsRecord, reserved32) == 32);
static_assert(offsetof(SettingsRecord, localOnlyKeyFrames) == 36);
static_assert(offsetof(SettingsRecord, showPublicList) == 40);
static_assert(offsetof(SettingsRecord, reserved44) == 44);
static_assert(offsetof(SettingsRecord, recordFolder) == 72);
static_assert(offsetof(SettingsRecord, countryCode) == 584);
static_assert(offsetof(SettingsRecord, cityCode) == 648);
static_assert(offsetof(SettingsRecord, reserved712) == 712);
static_assert(std::is_trivially_copyable_v<SettingsRecord>);

// Where the record lives in the registry store.
inline constexpr const char* kSettingsKey = "SOFTWARE\\OrbisightExpert";
inline constexpr const char* kSettingsValue = "OrbisightExpert";

// The longest text the settings dialog copies into a text field.
constexpr size_t kSettingsTextLimit = 127;

// A zeroed record.
SettingsRecord EmptySettings();

// When the record folder is empty (first run, nothing stored), sets the
// defaults of the fields that have one; the other fields keep their values.
void ApplySettingsDefaults(SettingsRecord& record, const std::filesystem::path& defaultFolder);

// Reads the record from the registry (creating the key when missing) and
// applies the defaults. A stored value shorter than the record fills only its
// own bytes; a longer one is cut at the record's end. Texts are terminated in
// their fields whatever was stored.
SettingsRecord LoadSettings(Registry& registry, const std::filesystem::path& defaultFolder);

// Stores the whole record. Returns false when the store cannot be written.
bool StoreSettings(Registry& registry, const SettingsRecord& record);

}  // namespace orbisight
