#include "device/DeviceParamTables.h"

#include <algorithm>
#include <string>

namespace orbisight::params {
namespace {

constexpr ResolutionCode kResolutionCodes[] = {
    {0, "720P", "", -1, -1},   {1, "D1", "", -1, -1},     {2, "VGA", "", -1, -1},
    {3, "DCIF", "", -1, -1},   {4, "CIF", "", -1, -1},    {5, "QVGA", "", -1, -1},
    {6, "720P", "VGA", 0, 0},  {7, "720P", "QVGA", 0, 1}, {8, "720P", "CIF", 0, 2},
    {9, "D1", "DCIF", 1, 3},   {10, "D1", "CIF", 1, 2},   {11, "VGA", "QVGA", 2, 1},
    {12, "CIF", "QVGA", 3, 1},
};

constexpr CodedLabel kVideoFileSizes[] = {
    {0, "Alarm Record 10s"},        {1, "Alarm Record 15s"},       {2, "Alarm Record 20s"},
    {3, "Alarm Record 25s"},        {4, "Alarm Record 30s"},       {5, "Alarm Record 35s"},
    {6, "Continuous Record 30s"},   {7, "Continuous Record 1min"}, {11, "Continuous Record 3min"},
    {15, "Continuous Record 5min"},
};

constexpr std::string_view kTimeZones[] = {
    "GMT-12 Eniwetok, Kwajalein",
    "GMT-11 Midway Island, Samoa",
    "GMT-10 Hawaii",
    "GMT-09 Alaska",
    "GMT-08 Pacific Time (US & Canada), Tijuana",
    "GMT-07 Mountain Time (US & Canada), Arizona",
    "GMT-06 Central Time (US & Canada), Mexico City, Tegucigalpa, Saskatchewan",
    "GMT-05 Eastern Time (US & Canada), Indiana(East), Bogota, Lima",
    "GMT-04 Atlantic Time (Canada), Caracas, La Paz",
    "GMT-03 Brasilia, Buenos Aires, Georgetown",
    "GMT-02 Mid-Atlantic",
    "GMT-01 Azores, Cape Verdes Is.",
    "GMT+00 GMT, Dublin, Edinburgh, London, Lisbon, Monrovia, Casablanca",
    "GMT+01 Berlin, Stockholm, Rome, Bern, Brussels, Vienna, Paris, Madrid, Amsterdam, Prague, "
    "Warsaw, Budapest",
    "GMT+02 Athens, Helsinki, Istanbul, Cairo, Eastern Europe, Harare, Pretoria, Israel",
    "GMT+03 Baghdad, Kuwait, Nairobi, Riyadh, Moscow, St. Petersburg, Kazan, Volgograd",
    "GMT+04 Abu Dhabi, Muscat, Tbilisi",
    "GMT+05 Islamabad, Karachi, Ekaterinburg, Tashkent",
    "GMT+06 Alma Ata, Dhaka",
    "GMT+07 Bangkok, Jakarta, Hanoi",
    "GMT+08 Taipei, Beijing, Chongqing, Urumqi, Hong Kong, Perth, Singapore",
    "GMT+09 Tokyo, Osaka, Sapporo, Seoul, Yakutsk",
    "GMT+10 Brisbane, Melbourne, Sydney, Guam, Port Moresby, Vladivostok, Hobart",
    "GMT+11 Magadan, Solomon Is., New Caledonia",
    "GMT+12 Fiji, Kamchatka, Marshall Is., Wellington, Auckland",
    "GMT+0630 Asia Rangoon",
    "GMT+0530 Asia Colombo, Mumbai, New Delhi",
    "GMT+13",
    "GMT+14",
};
static_assert(std::size(kTimeZones) == 29);

// One stream's bit-rate rule. Values in [min, max] pass. Below min: fail,
// corrected to belowTo when it is set. Above max: fail; above aboveFrom the
// value is corrected to aboveTo, between max and aboveFrom it keeps its
// value.
struct BitRateRule {
    int min;
    int max;
    std::optional<int> belowTo;
    int aboveFrom;
    int aboveTo;
};

constexpr BitRateRule kHighStream1{500, 12000, 500, 12000, 12000};
constexpr BitRateRule kMidStream1{200, 1500, 200, 1500, 1500};
constexpr BitRateRule kLowStream1{100, 350, 100, 1500, 1500};
constexpr BitRateRule kSmallStream2{64, 150, 64, 250, 250};

const BitRateRule* FindRule(int code, int stream) {
    static const BitRateRule kCode6Stream2{100, 1500, std::nullopt, 1500, 1500};
    static const BitRateRule kCode8Stream2{64, 150, 64, 150, 150};
    static const BitRateRule kCode9Stream2{80, 200, std::nullopt, 200, 200};
    if (stream == 1) {
        switch (code) {
            case 6:
            case 7:
            case 8:
                return &kHighStream1;
            case 9:
            case 10:
            case 11:
                return &kMidStream1;
            case 12:
                return &kLowStream1;
            default:
                return nullptr;
        }
    }
    switch (code) {
        case 6:
            return &kCode6Stream2;
        case 7:
        case 11:
        case 12:
            return &kSmallStream2;
        case 8:
        case 10:
            return &kCode8Stream2;
        case 9:
            return &kCode9Stream2;
        default:
            return nullptr;
    }
}

}  // namespace

std::span<const ResolutionCode> ResolutionCodes() {
    return kResolutionCodes;
}

const ResolutionCode* FindResolutionCode(int code) {
    for (const auto& entry : kResolutionCodes) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

std::optional<int> ResolutionCodeForItems(int stream1Item, int stream2Item) {
    for (const auto& entry : kResolutionCodes) {
        if (entry.stream1Item >= 0 && entry.stream1Item == stream1Item &&
            entry.stream2Item == stream2Item) {
            return entry.code;
        }
    }
    return std::nullopt;
}

std::vector<int> Stream2ItemsFor(int code) {
    if (code >= 6 && code <= 8) {
        return {0, 1, 2};
    }
    if (code == 9 || code == 10) {
        return {2, 3};
    }
    if (code == 11 || code == 12) {
        return {1};
    }
    return {};
}

BitRateCheck CheckBitRate(int resolutionCode, int stream, int kbps) {
    const BitRateRule* rule = FindRule(resolutionCode, stream);
    BitRateCheck check;
    if (rule == nullptr || (kbps >= rule->min && kbps <= rule->max)) {
        return check;
    }
    check.valid = false;
    if (kbps < rule->min) {
        check.corrected = rule->belowTo;
    } else if (kbps > rule->aboveFrom) {
        check.corrected = rule->aboveTo;
    }
    return check;
}

std::optional<BitRateRange> ValidBitRateRange(int resolutionCode, int stream) {
    const BitRateRule* rule = FindRule(resolutionCode, stream);
    if (rule == nullptr) {
        return std::nullopt;
    }
    return BitRateRange{rule->min, rule->max};
}

std::span<const CodedLabel> VideoFileSizes() {
    return kVideoFileSizes;
}

std::optional<int> VideoFileSizeIndex(int code) {
    for (size_t i = 0; i < std::size(kVideoFileSizes); ++i) {
        if (kVideoFileSizes[i].code == code) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

const std::vector<std::string>& MailPictureIntervals() {
    static const std::vector<std::string> intervals = [] {
        std::vector<std::string> list = {"Disable", "30 Minutes", "1 Hour"};
        for (int hours = 2; hours <= 24; ++hours) {
            list.push_back(std::to_string(hours) + " Hours");
        }
        return list;
    }();
    return intervals;
}

std::span<const std::string_view> TimeZones() {
    return kTimeZones;
}

int TimeZoneIndexForBias(int biasMinutes) {
    int index = kTimeZoneGmt - biasMinutes / 60;
    return std::clamp(index, 0, static_cast<int>(std::size(kTimeZones)) - 1);
}

}  // namespace orbisight::params
