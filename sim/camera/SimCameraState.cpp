#include "sim/camera/SimCameraState.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <vector>

#include "device/CHalvexProtocolAX.h"
#include "device/DeviceParamMembers.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace orbisight::sim {
namespace {

std::string ToHex(const void* data, size_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

bool FromHex(const std::string& text, void* data, size_t size) {
    if (text.size() != size * 2) {
        return false;
    }
    auto* bytes = static_cast<uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        int value = 0;
        if (!ParseHexDigits(reinterpret_cast<const uint8_t*>(text.data()) + 2 * i, 2, value)) {
            return false;
        }
        bytes[i] = static_cast<uint8_t>(value);
    }
    return true;
}

std::string JsonText(const nlohmann::json& config, const char* key, const std::string& fallback) {
    auto it = config.find(key);
    return (it != config.end() && it->is_string()) ? it->get<std::string>() : fallback;
}

}  // namespace

SimCameraState::SimCameraState(const nlohmann::json& config, const std::filesystem::path& configDir)
    : id_(JsonText(config, "id", "")), config_(config) {
    if (auto it = config.find("persist"); it != config.end() && it->is_string()) {
        persistPath_ = configDir / it->get<std::string>();
    }
    ApplyDefaults();
    Load();
}

void SimCameraState::ApplyDefaults() {
    std::lock_guard lock(mutex_);
    user_ = JsonText(config_, "user", "admin");
    password_ = JsonText(config_, "password", "admin");
    rf_ = JsonText(config_, "rf", "");
    bool sdCard = config_.contains("sd_folder");
    std::string name = JsonText(config_, "name", id_);

    block_ = DevInfoBlock{};
    ext_ = DevInfoExt{};
    block_.code = DevInfoBlock::kCodeBasicAnswer;
    block_.SetCommandName("VidxGet");
    CopyTextField(block_.deviceName, sizeof block_.deviceName,
                  name.substr(0, Utf8PrefixLength(name, DevInfoBlock::kMaxDeviceNameBytes)));
    block_.SetWiredIp("127.0.0.1");
    block_.SetWiredMask("255.0.0.0");
    block_.SetWiredGateway("127.0.0.1");
    block_.SetWiredDns("127.0.0.1");
    // A stable, locally administered MAC address made from the ID.
    uint32_t hash = 2166136261u;
    for (char c : id_) {
        hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    }
    const uint8_t mac[6] = {0x02,
                            0x0B,
                            static_cast<uint8_t>(hash >> 24),
                            static_cast<uint8_t>(hash >> 16),
                            static_cast<uint8_t>(hash >> 8),
                            static_cast<uint8_t>(hash)};
    std::memcpy(block_.wiredMac, mac, 6);
    std::memcpy(block_.wifiMac, mac, 6);
    block_.wifiMac[5] ^= 1;
    block_.SetDevicePassword(password_);
    block_.SetFirmwareVersion("V3.2.1.20150312-sim");
    block_.SetDeviceId(id_);
    block_.wifiSecurity = 2;
    block_.wifiDhcp = 1;
    block_.supportedResolutions = 8191;
    block_.resolutionCode = 6;
    block_.stream1BitRate = 2000;
    block_.stream1FrameRate = 0;
    block_.stream2BitRate = 500;
    block_.stream2FrameRate = 0;
    block_.mainsFrequency = 1;
    block_.audioEnabled = 1;
    block_.audioType = 1;
    block_.motionSensitivity = 1;
    block_.SetMotionZoneRow(0, 15);
    block_.SetMotionZoneRow(1, 15);
    block_.SetMotionZoneRow(2, 15);
    block_.alarmDuration = 1;
    block_.videoFileSize = 7;
    block_.ftpPort = 21;
    block_.SetTimeZoneIndex(12);
    block_.sdCardState = sdCard ? DevInfoBlock::kSdCardPresent : 0;
    block_.storePosition = sdCard ? 1 : 0;
    clockOffsetSec_ = 0;

    if (auto params = config_.find("params"); params != config_.end()) {
        if (!params->is_object()) {
            throw std::runtime_error("camera " + id_ + ": \"params\" is not an object");
        }
        for (auto it = params->begin(); it != params->end(); ++it) {
            const ParamMember* member = FindParamMember(it.key());
            if (member == nullptr) {
                throw std::runtime_error("camera " + id_ + ": unknown parameter \"" + it.key() +
                                         "\"");
            }
            std::string value;
            if (it->is_boolean()) {
                value.push_back(it->get<bool>() ? '1' : '0');
            } else {
                value = it->is_string() ? it->get<std::string>() : it->dump();
            }
            std::string error;
            if (!SetParamText(*member, block_, ext_, value, &error)) {
                throw std::runtime_error("camera " + id_ + ": " + error);
            }
        }
    }
}

void SimCameraState::Load() {
    if (persistPath_.empty()) {
        return;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(persistPath_, bytes, 1 << 20)) {
        return;  // nothing persisted yet
    }
    nlohmann::json saved = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    std::lock_guard lock(mutex_);
    DevInfoBlock block{};
    DevInfoExt ext{};
    if (!saved.is_object() || !FromHex(JsonText(saved, "devinfo", ""), &block, sizeof block) ||
        !FromHex(JsonText(saved, "devinfo_ext", ""), &ext, sizeof ext)) {
        std::fprintf(stderr, "orbisight-sim: camera %s: ignoring unreadable %s\n", id_.c_str(),
                     persistPath_.c_str());
        return;
    }
    block_ = block;
    ext_ = ext;
    rf_ = JsonText(saved, "rf", rf_);
    password_ = JsonText(saved, "password", password_);
}

void SimCameraState::Persist() {
    if (persistPath_.empty()) {
        return;
    }
    nlohmann::json saved = {{"id", id_},
                            {"devinfo", ToHex(&block_, sizeof block_)},
                            {"devinfo_ext", ToHex(&ext_, sizeof ext_)},
                            {"rf", rf_},
                            {"password", password_}};
    std::string text = saved.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    std::string error;
    if (!WriteFileAtomically(persistPath_, text.data(), text.size(), 0600, &error)) {
        std::fprintf(stderr, "orbisight-sim: camera %s: %s\n", id_.c_str(), error.c_str());
    }
}

std::string SimCameraState::CheckLogin(std::string_view user, std::string_view password,
                                       std::string_view deviceId) const {
    std::lock_guard lock(mutex_);
    if (deviceId != id_) {
        return "wrong device ID";
    }
    if (user != user_ || password != password_) {
        return "wrong user name or password";
    }
    return {};
}

DevInfoBlock SimCameraState::Parameters() const {
    std::lock_guard lock(mutex_);
    DevInfoBlock block = block_;
    std::time_t now = std::time(nullptr) + clockOffsetSec_;
    std::tm local{};
    localtime_r(&now, &local);
    block.year = local.tm_year + 1900;
    block.month = static_cast<uint8_t>(local.tm_mon + 1);
    block.day = static_cast<uint8_t>(local.tm_mday);
    block.hour = static_cast<uint8_t>(local.tm_hour);
    block.minute = static_cast<uint8_t>(local.tm_min);
    block.second = static_cast<uint8_t>(local.tm_sec);
    return block;
}

DevInfoExt SimCameraState::Extended() const {
    std::lock_guard lock(mutex_);
    return ext_;
}

std::string SimCameraState::RfList() const {
    std::lock_guard lock(mutex_);
    return rf_;
}

SimCameraState::Restart SimCameraState::StoreParameters(const DevInfoBlock& received) {
    DevInfoBlock block = received;
    Restart restart = Restart::kNone;
    if (block.restartCommand == 1) {
        restart = Restart::kFactoryReset;
    } else if (block.restartCommand == 2) {
        restart = Restart::kReboot;
    }
    block.restartCommand = 0;
    if (restart == Restart::kFactoryReset) {
        ApplyDefaults();
        std::lock_guard lock(mutex_);
        Persist();
        return restart;
    }

    std::lock_guard lock(mutex_);
    if (block.MonthSetFlag()) {
        std::tm set{};
        set.tm_year = block.year - 1900;
        set.tm_mon = block.Month() - 1;
        set.tm_mday = block.day;
        set.tm_hour = block.hour;
        set.tm_min = block.minute;
        set.tm_sec = block.second;
        set.tm_isdst = -1;
        std::time_t when = std::mktime(&set);
        if (when != static_cast<std::time_t>(-1)) {
            clockOffsetSec_ = static_cast<long long>(when) - std::time(nullptr);
        }
        block.SetMonthSetFlag(false);
    }
    if (block.passwordChange == 1) {
        password_ = std::string(block.NewPassword());
        block.SetDevicePassword(password_);
        block.passwordChange = 0;
        block.SetNewPassword("");
    }
    // The camera keeps its own identity whatever a client sends.
    block.SetDeviceId(id_);
    block.SetFirmwareVersion(block_.FirmwareVersion());
    block.sdCardState = block_.sdCardState;
    block.code = DevInfoBlock::kCodeBasicAnswer;
    block.SetCommandName("VidxGet");
    block_ = block;
    Persist();
    return restart;
}

void SimCameraState::StoreExtended(const DevInfoExt& ext) {
    std::lock_guard lock(mutex_);
    ext_ = ext;
    Persist();
}

void SimCameraState::StoreRfList(std::string text) {
    std::lock_guard lock(mutex_);
    rf_ = std::move(text);
    Persist();
}

}  // namespace orbisight::sim
