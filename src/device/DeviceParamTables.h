#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace orbisight {

// The value lists of the camera settings, as the settings dialog shows them
// and stores them into DevInfoBlock. Index = stored value unless a table
// says otherwise.
namespace params {

// Supported-resolution mask: 0 means no video settings, 8191 every code.
constexpr int kAllResolutions = 8191;

// Stream 1 sizes (item values 0..3) and stream 2 sizes (item values 0..3).
constexpr std::array<std::string_view, 4> kStream1Sizes = {"H264:720P", "H264:D1", "H264:VGA",
                                                           "H264:CIF"};
constexpr std::array<std::string_view, 4> kStream2Sizes = {"H264:VGA", "H264:QVGA", "H264:CIF",
                                                           "H264:DCIF"};

struct ResolutionCode {
    int code;
    std::string_view stream1;  // picture size of stream 1
    std::string_view stream2;  // empty for single-stream codes
    int stream1Item;           // item of kStream1Sizes, -1 for single-stream codes
    int stream2Item;           // item of kStream2Sizes, -1 for single-stream codes
};
// Codes 0..5 are single-stream, 6..12 dual-stream.
std::span<const ResolutionCode> ResolutionCodes();
const ResolutionCode* FindResolutionCode(int code);
// The code of a pair of list items; none for a pair without a code (such
// a pair is not saved).
std::optional<int> ResolutionCodeForItems(int stream1Item, int stream2Item);
// The stream 2 items offered once stream 1 is set for `code`: VGA, QVGA and
// CIF for 6..8, CIF and DCIF for 9..10, QVGA alone for 11..12.
std::vector<int> Stream2ItemsFor(int code);

// Frame-rate lists (stored as the index).
constexpr std::array<std::string_view, 4> kStream1FrameRates = {"30", "24", "15", "8"};
constexpr std::array<std::string_view, 4> kStream2FrameRates = {"15", "8", "5", "3"};

// Bit-rate suggestions (Kbps).
constexpr std::array<int, 6> kStream1BitRateSuggestions = {100, 1000, 2000, 3000, 4000, 5000};
constexpr std::array<int, 3> kStream2BitRateSuggestions = {80, 100, 150};

// The bit-rate check of one stream (1 or 2) at a resolution code. A value
// inside the valid range passes; outside it fails and, where the rules give
// one, comes with the corrected value to show instead.
struct BitRateCheck {
    bool valid = true;
    std::optional<int> corrected;
};
BitRateCheck CheckBitRate(int resolutionCode, int stream, int kbps);
// The valid range of a stream at a code; none when the code has no rule
// for the stream (single-stream codes).
struct BitRateRange {
    int min;
    int max;
};
std::optional<BitRateRange> ValidBitRateRange(int resolutionCode, int stream);

// Video file size codes in list order; the last two store 11 and 15.
struct CodedLabel {
    int code;
    std::string_view label;
};
std::span<const CodedLabel> VideoFileSizes();
std::optional<int> VideoFileSizeIndex(int code);

// 26 entries: "Disable", "30 Minutes", "1 Hour", "2 Hours" ... "24 Hours".
const std::vector<std::string>& MailPictureIntervals();

// 29 entries; index 12 is GMT+00.
std::span<const std::string_view> TimeZones();
constexpr int kTimeZoneGmt = 12;
// The entry for a computer whose UTC bias (UTC minus local time) is
// biasMinutes: 12 - bias / 60, kept inside the list.
int TimeZoneIndexForBias(int biasMinutes);

constexpr std::array<std::string_view, 6> kAlarmDurations = {"10s",    "30s",    "1 Min",
                                                             " 5 Min", "10 Min", "No stop"};
constexpr std::array<std::string_view, 4> kWifiSecurity = {"WEP", "WPA-PSK", "WPA2-PSK", "NONE"};
constexpr std::array<std::string_view, 2> kMainsFrequency = {"60Hz", "50Hz"};
constexpr std::array<std::string_view, 4> kAudioTypes = {"G711", "AAC", "ADPCM", "PCM"};
constexpr std::array<std::string_view, 4> kStorePositions = {"", "SD Card", "Cloud Server",
                                                             "SD Card + Cloud Server"};
constexpr std::array<std::string_view, 2> kStoredStreams = {"Large Stream", "Small Stream"};
constexpr std::array<std::string_view, 3> kIrControl = {"Auto", "Open", "Close"};
constexpr std::array<std::string_view, 7> kMotorTypes = {
    "9600", "4800", "2400", "1200", "Motor_003", "Motor_001", "Motor_out"};
constexpr std::array<std::string_view, 3> kMotionSensitivity = {"High", "Mid", "Low"};
constexpr std::array<std::string_view, 3> kEmailAttachments = {"AVI", "JPEG", "NONE"};
// Input trigger and IO output types: stored 1 for "ON", 0 for "NC".
constexpr std::array<std::string_view, 2> kContactTypes = {"NC", "ON"};

}  // namespace params
}  // namespace orbisight
