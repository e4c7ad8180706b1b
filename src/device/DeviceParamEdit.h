#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "device/DevInfoBlock.h"
#include "device/DevInfoExt.h"

namespace orbisight {

// The editing rules of the camera settings dialog, without any window: the
// checks and corrections a page goes through before it is sent, the stamping
// of the block that goes out and the time-zone pick of "Fetch". The dialog
// (src/app/CDeviceInfoDlg) only moves values between its controls and the
// record kept here.
namespace params {

// The dialog's pages, in tab order.
enum class Page {
    kLan,
    kWifi,
    k3g,
    kAudioVideo,
    kAlertTrigger,
    kAlarmRecord,
    kMotionZone,
    kFtp,
    kCloudStorage,
    kMisc,
    kSystemInfo,
};
constexpr int kPageCount = 11;
std::string_view PageTitle(Page page);

// How the dialog reaches the camera: LAN datagrams or the command channel.
enum class LinkMode { kLan, kChannel };

// What the dialog edits: the basic block, the LAN extended answer (code 88:
// the 3G/4G settings sit at offset 352 of it) and the 20 bytes describing
// the camera on the LAN. In channel mode only the basic block is used and
// the 3G/4G settings come as their own DevInfoExt.
struct DeviceParamRecord {
    DevInfoBlock basic{};
    DevInfoBlock lanExtended{};
    std::array<uint8_t, 20> lanAddress{};
};
static_assert(sizeof(DeviceParamRecord) == 2196);
static_assert(std::is_trivially_copyable_v<DeviceParamRecord>);

// The 3G/4G settings inside a LAN extended answer, and back.
DevInfoExt ExtFromLanBlock(const DevInfoBlock& lanExtended);
void PutExtIntoLanBlock(DevInfoBlock& lanExtended, const DevInfoExt& ext);

// "Dev Name:" as UTF-8: at most 18 bytes ("Device name too long!" beyond).
bool DeviceNameFits(std::string_view utf8Name);

// "New PWD:" and "Repeat:". An empty new password changes nothing, whatever
// "Repeat:" holds; a different repetition is refused ("Repeat password
// error!"); so is a password longer than its field holds (15 bytes and the
// terminator): cut, it would no longer be the password the user typed and
// the camera would lock its owner out. Otherwise the change flag is set and
// the password stored.
enum class PasswordChange { kNone, kApplied, kMismatch, kTooLong };
constexpr size_t kMaxPasswordBytes = sizeof(DevInfoBlock::newPassword) - 1;
PasswordChange ApplyNewPassword(DevInfoBlock& block, std::string_view newPassword,
                                std::string_view repeat);

// A bit rate as typed, checked for the resolution code. The result says
// what the edit shows and what is stored:
//   - valid: stored as typed;
//   - failed with a corrected value: the edit shows it and it is stored;
//   - failed above the range without a correction (stream 1 at code 12
//     from 351 to 1500, stream 2 of the small codes from 151 to 250): kept
//     and stored as typed, as the camera takes those;
//   - failed below the range without a correction (stream 2 below 100 at
//     code 6, below 80 at code 9), or not a number: refused, nothing is
//     stored and the page is not sent.
struct BitRateOutcome {
    bool refused = false;
    int kbps = 0;            // the value to show and store (unless refused)
    bool corrected = false;  // kbps differs from what was typed
};
BitRateOutcome ResolveBitRate(int resolutionCode, int stream, std::string_view typed);
// "Stream1: 500~12000Kbps" (the range of the code), or "Stream1: " alone.
std::string StreamFrameTitle(int resolutionCode, int stream);
// The message of a refused bit rate.
std::string BitRateRefusalText(int resolutionCode, int stream, std::string_view typed);

// The time-zone entry for a computer whose local time is utcOffsetMinutes
// ahead of UTC (east positive): the entry of exactly that offset (GMT+13,
// GMT+14, GMT+0530 and GMT+0630 included), else the nearest one (the
// eastern of two equally near).
int TimeZoneIndexForOffset(int utcOffsetMinutes);
// The offset of an entry, in minutes east of UTC.
int TimeZoneOffsetMinutes(int index);

// Stamps the record for a set of `page`: the 3G/4G page stamps the LAN
// extended block with code 128, every other page the basic block with 135;
// the stamped block gets "VidxSetInfo".
void StampForSet(DeviceParamRecord& record, Page page);

// The block as it goes out: a copy with the month's bit 7 set, which tells
// the camera to take the date and time. The record itself keeps the bit
// clear, so nothing stored or compared later carries it.
DevInfoBlock OutgoingBlock(const DevInfoBlock& block);

// True when a member the camera restarts for differs between the two
// blocks: the Wi-Fi settings, the time zone, the date and time, RTSP and
// the IR light control.
bool RestartRelevantChange(const DevInfoBlock& edited, const DevInfoBlock& original);

// The restart buttons: "Reboot" (2) and "Reset to defaults" (1). Returns
// the block to send (stamped for a set); the record's own restart byte
// stays 0. The month flag stays clear: a restart does not set the clock.
enum class RestartKind : uint8_t { kResetDefaults = 1, kReboot = 2 };
DevInfoBlock RestartBlock(const DevInfoBlock& block, RestartKind kind);

// The camera's web page as "Visit Web" and the pane's web box open it.
std::string CameraWebPageUrl(std::string_view hostAddress);

}  // namespace params
}  // namespace orbisight
