#include "device/DeviceParamEdit.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "device/DeviceParamTables.h"

namespace orbisight::params {
namespace {

constexpr std::string_view kPageTitles[kPageCount] = {
    "LAN",         "WIFI",        "3G/4G Paras",   "Audio/Video", "Alert Trigger", "Alarm/Record",
    "Motion Zone", "FTP Setting", "Cloud Storage", "Misc",        "System Info",
};

std::optional<int> ParseKbps(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string StreamPrefix(int stream) {
    return stream == 1 ? "Stream1: " : "Stream2: ";
}

}  // namespace

std::string_view PageTitle(Page page) {
    int index = static_cast<int>(page);
    return index >= 0 && index < kPageCount ? kPageTitles[index] : std::string_view();
}

DevInfoExt ExtFromLanBlock(const DevInfoBlock& lanExtended) {
    DevInfoExt ext;
    std::memcpy(&ext,
                reinterpret_cast<const uint8_t*>(&lanExtended) + DevInfoExt::kOffsetInLanAnswer,
                sizeof ext);
    return ext;
}

void PutExtIntoLanBlock(DevInfoBlock& lanExtended, const DevInfoExt& ext) {
    std::memcpy(reinterpret_cast<uint8_t*>(&lanExtended) + DevInfoExt::kOffsetInLanAnswer, &ext,
                sizeof ext);
}

bool DeviceNameFits(std::string_view utf8Name) {
    return utf8Name.size() <= DevInfoBlock::kMaxDeviceNameBytes;
}

PasswordChange ApplyNewPassword(DevInfoBlock& block, std::string_view newPassword,
                                std::string_view repeat) {
    if (newPassword.empty()) {
        return PasswordChange::kNone;
    }
    if (newPassword != repeat) {
        return PasswordChange::kMismatch;
    }
    if (newPassword.size() > kMaxPasswordBytes) {
        return PasswordChange::kTooLong;
    }
    block.passwordChange = 1;
    block.SetNewPassword(newPassword);
    return PasswordChange::kApplied;
}

BitRateOutcome ResolveBitRate(int resolutionCode, int stream, std::string_view typed) {
    BitRateOutcome outcome;
    std::optional<int> kbps = ParseKbps(typed);
    if (!kbps) {
        outcome.refused = true;
        return outcome;
    }
    outcome.kbps = *kbps;
    BitRateCheck check = CheckBitRate(resolutionCode, stream, *kbps);
    if (check.valid) {
        return outcome;
    }
    if (check.corrected) {
        outcome.corrected = *check.corrected != *kbps;
        outcome.kbps = *check.corrected;
        return outcome;
    }
    // Without a correction: a value above the range is one the camera
    // accepts as it is; below it there is nothing sensible to store.
    std::optional<BitRateRange> range = ValidBitRateRange(resolutionCode, stream);
    if (range && *kbps < range->min) {
        outcome.refused = true;
    }
    return outcome;
}

std::string StreamFrameTitle(int resolutionCode, int stream) {
    std::string title = StreamPrefix(stream);
    if (std::optional<BitRateRange> range = ValidBitRateRange(resolutionCode, stream)) {
        title += std::to_string(range->min) + "~" + std::to_string(range->max) + "Kbps";
    }
    return title;
}

std::string BitRateRefusalText(int resolutionCode, int stream, std::string_view typed) {
    std::string text = StreamPrefix(stream) + "bit rate \"" + std::string(typed) + "\" ";
    if (std::optional<BitRateRange> range = ValidBitRateRange(resolutionCode, stream)) {
        text += "is not valid, please input " + std::to_string(range->min) + " to " +
                std::to_string(range->max) + " Kbps!";
    } else {
        text += "is not a number!";
    }
    return text;
}

int TimeZoneOffsetMinutes(int index) {
    if (index >= 0 && index <= 24) {
        return (index - kTimeZoneGmt) * 60;
    }
    switch (index) {
        case 25:
            return 6 * 60 + 30;
        case 26:
            return 5 * 60 + 30;
        case 27:
            return 13 * 60;
        case 28:
            return 14 * 60;
        default:
            return 0;
    }
}

int TimeZoneIndexForOffset(int utcOffsetMinutes) {
    int count = static_cast<int>(TimeZones().size());
    int best = kTimeZoneGmt;
    int bestDistance = -1;
    int bestOffset = 0;
    for (int index = 0; index < count; ++index) {
        int offset = TimeZoneOffsetMinutes(index);
        int distance = std::abs(offset - utcOffsetMinutes);
        if (bestDistance < 0 || distance < bestDistance ||
            (distance == bestDistance && offset > bestOffset)) {
            best = index;
            bestDistance = distance;
            bestOffset = offset;
        }
    }
    return best;
}

void StampForSet(DeviceParamRecord& record, Page page) {
    if (page == Page::k3g) {
        record.lanExtended.StampForSet(DevInfoBlock::kCodeSetExtended);
    } else {
        record.basic.StampForSet(DevInfoBlock::kCodeSet);
    }
}

DevInfoBlock OutgoingBlock(const DevInfoBlock& block) {
    DevInfoBlock out = block;
    out.SetMonthSetFlag(true);
    return out;
}

bool RestartRelevantChange(const DevInfoBlock& edited, const DevInfoBlock& original) {
    const DevInfoBlock& a = edited;
    const DevInfoBlock& b = original;
    return a.wifiClientMode != b.wifiClientMode || a.wifiDhcp != b.wifiDhcp ||
           a.WifiIp() != b.WifiIp() || a.WifiMask() != b.WifiMask() ||
           a.WifiGateway() != b.WifiGateway() || a.WifiDns() != b.WifiDns() ||
           a.WifiSsid() != b.WifiSsid() || a.WifiKey() != b.WifiKey() ||
           a.wifiSecurity != b.wifiSecurity || a.TimeZoneIndex() != b.TimeZoneIndex() ||
           a.year != b.year || a.Month() != b.Month() || a.day != b.day || a.hour != b.hour ||
           a.minute != b.minute || a.second != b.second || a.rtspEnabled != b.rtspEnabled ||
           a.irControl != b.irControl;
}

DevInfoBlock RestartBlock(const DevInfoBlock& block, RestartKind kind) {
    DevInfoBlock out = block;
    out.restartCommand = static_cast<uint8_t>(kind);
    out.StampForSet(DevInfoBlock::kCodeSet);
    return out;
}

std::string CameraWebPageUrl(std::string_view hostAddress) {
    return "http://" + std::string(hostAddress) + "/sd/ipnc/";
}

}  // namespace orbisight::params
