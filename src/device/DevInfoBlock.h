#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "device/LittleEndian.h"
#include "platform/Text.h"

namespace orbisight {

// The camera's settings block (network, video, alarm, recording, time and
// identity), 1088 bytes. It is the "DevInfo" value of the command channel's
// get and set requests and the whole payload of a LAN datagram. Integers are
// little-endian; texts are NUL-terminated in their fields. Bytes not named
// here mean nothing to the client and are carried unchanged.
struct DevInfoBlock {
    // Values of `code`.
    static constexpr int32_t kCodeSearch = 86;
    static constexpr int32_t kCodeBasicAnswer = 87;
    static constexpr int32_t kCodeExtendedAnswer = 88;
    static constexpr int32_t kCodeSetExtended = 128;
    static constexpr int32_t kCode3g = 129;
    static constexpr int32_t kCodeSet = 135;
    static constexpr size_t kMaxDeviceNameBytes = 18;
    static constexpr uint8_t kSdCardPresent = 3;
    static constexpr uint8_t kMonthSetFlag = 0x80;
    static constexpr uint8_t kTimeZoneWrittenFlag = 0x80;
    static constexpr int kMotionRows = 3;
    static constexpr int kMotionColumns = 4;
    static constexpr int kSchedulePlans = 8;

    LeInt32 code;                  // 0
    char commandName[24];          // 4: "VidxGet", "VidxSetInfo"
    char deviceName[24];           // 28: UTF-8, at most 18 bytes
    char marker[24];               // 52: "3G" in code 129
    char wiredIp[16];              // 76
    char wiredMask[16];            // 92
    char wiredGateway[16];         // 108
    uint8_t reserved124[16];       //
    uint8_t wiredMac[6];           // 140
    uint8_t reserved146[2];        //
    uint8_t wifiMac[6];            // 148
    uint8_t reserved154[2];        //
    LeInt32 wiredDhcp;             // 156
    uint8_t reserved160[12];       //
    char wiredDns[16];             // 172
    uint8_t reserved188[44];       //
    char devicePassword[16];       // 232
    char firmwareVersion[40];      // 248
    char deviceId[64];             // 288
    LeInt32 wifiDhcp;              // 352
    LeInt32 wifiClientMode;        // 356
    LeInt32 wifiSecurity;          // 360: 0 WEP, 1 WPA-PSK, 2 WPA2-PSK, 3 NONE
    char wifiIp[16];               // 364
    uint8_t reserved380[4];        //
    char wifiSsid[128];            // 384
    char wifiKey[64];              // 512
    uint8_t reserved576[4];        //
    char wifiMask[16];             // 580
    char wifiGateway[16];          // 596
    char wifiDns[16];              // 612
    uint8_t reserved628[16];       //
    LeInt32 supportedResolutions;  // 644: bit mask over the codes 0..12
    LeInt32 resolutionCode;        // 648
    LeInt32 mirror;                // 652
    LeInt32 flip;                  // 656
    uint8_t reserved660[4];        //
    LeInt32 stream1BitRate;        // 664: Kbps
    uint8_t reserved668[2];        //
    LeUInt16 stream1FrameRate;     // 670: index into "30", "24", "15", "8"
    LeInt32 stream2BitRate;        // 672: Kbps
    uint8_t reserved676[2];        //
    LeUInt16 stream2FrameRate;     // 678: index into "15", "8", "5", "3"
    LeInt32 mainsFrequency;        // 680: 0 60 Hz, 1 50 Hz
    LeInt32 passwordChange;        // 684: 1 when newPassword is to be applied
    char newPassword[16];          // 688
    uint8_t reserved704[4];        //
    LeInt32 audioEnabled;          // 708
    uint8_t alarmInputFlags;       // 712: bit 0 input trigger, bit 1 "Together"
    uint8_t inputTriggerType;      // 713: 1 "ON", 0 "NC"
    uint8_t ioOutputEnabled;       // 714
    uint8_t ioOutputType;          // 715: 1 "ON", 0 "NC"
    uint8_t alertOn;               // 716
    uint8_t motorType;             // 717: motor type / RS485 baud rate index
    LeUInt16 snapshotInterval;     // 718: minutes, 0 off
    uint8_t audioType;             // 720
    uint8_t storePosition;         // 721
    uint8_t storedStream;          // 722
    LeUInt16 videoFileSize;        // 723: video file size code (unaligned)
    uint8_t reserved725[12];       //
    uint8_t rtspEnabled;           // 737
    uint8_t reserved738[3];        //
    uint8_t irControl;             // 741: 0 Auto, 1 Open, 2 Close
    uint8_t reserved742[2];        //
    LeInt32 snapshotTime1;         // 744: seconds after midnight, 0 off
    LeInt32 snapshotTime2;         // 748
    uint8_t reserved752[6];        //
    uint8_t alarmSound;            // 758
    uint8_t alarmDuration;         // 759: index into the alarm durations
    uint8_t alarmToFtp;            // 760
    uint8_t alarmToSd;             // 761
    uint8_t uploadServerKind;      // 762: 1 when saved from the FTP page
    char ftpServer[37];            // 763
    char ftpUser[16];              // 800
    char ftpPassword[16];          // 816
    LeInt32 ftpPort;               // 832
    char boundUser[100];           // 836: account the camera is bound to
    char alarmEmail[64];           // 936
    uint8_t motionDetection;       // 1000
    uint8_t reserved1001;          //
    uint8_t motionSensitivity;     // 1002: 0 High, 1 Mid, 2 Low
    uint8_t reserved1003;          //
    char motionZones[3];           // 1004: one hex digit per grid row
    uint8_t reserved1007;          //
    uint8_t restartCommand;        // 1008: 0 none, 1 reset to defaults, 2 reboot
    uint8_t alarmEmailFlags;       // 1009: bit 0 e-mail on, bits 1..7 picture interval
    uint8_t emailAttachment;       // 1010: 0 AVI, 1 JPEG, 2 NONE
    uint8_t timeZone;              // 1011: bits 0..6 index, bit 7 written by the client
    LeInt32 year;                  // 1012
    uint8_t month;                 // 1016: bit 7 set while a set is sent
    uint8_t day;                   // 1017
    uint8_t hour;                  // 1018
    uint8_t minute;                // 1019
    uint8_t second;                // 1020
    uint8_t sdCardState;           // 1021: 3 when a card is present
    uint8_t scheduledToFtp;        // 1022
    uint8_t scheduledToSd;         // 1023
    LeUInt32 recordSchedule[16];   // 1024: eight plans of two words

    // Texts.
    std::string_view CommandName() const { return FieldText(commandName); }
    std::string_view DeviceName() const { return FieldText(deviceName); }
    std::string_view Marker() const { return FieldText(marker); }
    std::string_view WiredIp() const { return FieldText(wiredIp); }
    std::string_view WiredMask() const { return FieldText(wiredMask); }
    std::string_view WiredGateway() const { return FieldText(wiredGateway); }
    std::string_view WiredDns() const { return FieldText(wiredDns); }
    std::string_view DevicePassword() const { return FieldText(devicePassword); }
    std::string_view FirmwareVersion() const { return FieldText(firmwareVersion); }
    std::string_view DeviceId() const { return FieldText(deviceId); }
    std::string_view WifiIp() const { return FieldText(wifiIp); }
    std::string_view WifiSsid() const { return FieldText(wifiSsid); }
    std::string_view WifiKey() const { return FieldText(wifiKey); }
    std::string_view WifiMask() const { return FieldText(wifiMask); }
    std::string_view WifiGateway() const { return FieldText(wifiGateway); }
    std::string_view WifiDns() const { return FieldText(wifiDns); }
    std::string_view NewPassword() const { return FieldText(newPassword); }
    std::string_view FtpServer() const { return FieldText(ftpServer); }
    std::string_view FtpUser() const { return FieldText(ftpUser); }
    std::string_view FtpPassword() const { return FieldText(ftpPassword); }
    std::string_view BoundUser() const { return FieldText(boundUser); }
    std::string_view AlarmEmail() const { return FieldText(alarmEmail); }

    // Setters cut the text to its field less one byte on a UTF-8 boundary.
    void SetCommandName(std::string_view text) { CopyTextField(commandName, text); }
    // False (and nothing stored) for a name of more than 18 UTF-8 bytes.
    bool SetDeviceName(std::string_view text);
    void SetMarker(std::string_view text) { CopyTextField(marker, text); }
    void SetWiredIp(std::string_view text) { CopyTextField(wiredIp, text); }
    void SetWiredMask(std::string_view text) { CopyTextField(wiredMask, text); }
    void SetWiredGateway(std::string_view text) { CopyTextField(wiredGateway, text); }
    void SetWiredDns(std::string_view text) { CopyTextField(wiredDns, text); }
    void SetDevicePassword(std::string_view text) { CopyTextField(devicePassword, text); }
    void SetFirmwareVersion(std::string_view text) { CopyTextField(firmwareVersion, text); }
    void SetDeviceId(std::string_view text) { CopyTextField(deviceId, text); }
    void SetWifiIp(std::string_view text) { CopyTextField(wifiIp, text); }
    void SetWifiSsid(std::string_view text) { CopyTextField(wifiSsid, text); }
    void SetWifiKey(std::string_view text) { CopyTextField(wifiKey, text); }
    void SetWifiMask(std::string_view text) { CopyTextField(wifiMask, text); }
    void SetWifiGateway(std::string_view text) { CopyTextField(wifiGateway, text); }
    void SetWifiDns(std::string_view text) { CopyTextField(wifiDns, text); }
    void SetNewPassword(std::string_view text) { CopyTextField(newPassword, text); }
    void SetFtpServer(std::string_view text) { CopyTextField(ftpServer, text); }
    void SetFtpUser(std::string_view text) { CopyTextField(ftpUser, text); }
    void SetFtpPassword(std::string_view text) { CopyTextField(ftpPassword, text); }
    void SetBoundUser(std::string_view text) { CopyTextField(boundUser, text); }
    void SetAlarmEmail(std::string_view text) { CopyTextField(alarmEmail, text); }

    // Bit fields.
    bool InputTriggerEnabled() const { return (alarmInputFlags & 0x01) != 0; }
    void SetInputTriggerEnabled(bool on) { SetBit(alarmInputFlags, 0, on); }
    bool AlarmConditionTogether() const { return (alarmInputFlags & 0x02) != 0; }
    void SetAlarmConditionTogether(bool on) { SetBit(alarmInputFlags, 1, on); }
    bool AlarmEmailEnabled() const { return (alarmEmailFlags & 0x01) != 0; }
    void SetAlarmEmailEnabled(bool on) { SetBit(alarmEmailFlags, 0, on); }
    int MailPictureInterval() const { return alarmEmailFlags >> 1; }
    void SetMailPictureInterval(int index) {
        alarmEmailFlags = static_cast<uint8_t>((alarmEmailFlags & 0x01) | ((index & 0x7F) << 1));
    }
    int TimeZoneIndex() const { return timeZone & 0x7F; }
    // Stores the index with bit 7 set, as the client always writes it.
    void SetTimeZoneIndex(int index) {
        timeZone = static_cast<uint8_t>((index & 0x7F) | kTimeZoneWrittenFlag);
    }
    int Month() const { return month & 0x7F; }
    void SetMonth(int value) {
        month = static_cast<uint8_t>((month & kMonthSetFlag) | (value & 0x7F));
    }
    bool MonthSetFlag() const { return (month & kMonthSetFlag) != 0; }
    void SetMonthSetFlag(bool on) { SetBit(month, 7, on); }
    bool SdCardPresent() const { return sdCardState == kSdCardPresent; }

    // Motion zones: row 0..2, column 0..3; bit 0 of a row's digit is its
    // first cell. A byte that is not a hex digit reads as an empty row.
    int MotionZoneRow(int row) const;
    void SetMotionZoneRow(int row, int cells);
    bool MotionZoneCell(int row, int column) const;
    void SetMotionZoneCell(int row, int column, bool on);

    // Record schedule: plan 0..7, word 0..1.
    uint32_t ScheduleWord(int plan, int word) const;
    void SetScheduleWord(int plan, int word, uint32_t value);

    // Stamps the block as the client does before a set: the given code and
    // the command name "VidxSetInfo".
    void StampForSet(int32_t setCode = kCodeSet);

  private:
    static void SetBit(uint8_t& byte, int bit, bool on) {
        byte = static_cast<uint8_t>(on ? (byte | (1u << bit)) : (byte & ~(1u << bit)));
    }
};

static_assert(sizeof(DevInfoBlock) == 1088);
static_assert(std::is_trivially_copyable_v<DevInfoBlock>);
static_assert(std::is_standard_layout_v<DevInfoBlock>);
static_assert(offsetof(DevInfoBlock, code) == 0);
static_assert(offsetof(DevInfoBlock, commandName) == 4);
static_assert(offsetof(DevInfoBlock, deviceName) == 28);
static_assert(offsetof(DevInfoBlock, marker) == 52);
static_assert(offsetof(DevInfoBlock, wiredIp) == 76);
static_assert(offsetof(DevInfoBlock, wiredMask) == 92);
static_assert(offsetof(DevInfoBlock, wiredGateway) == 108);
static_assert(offsetof(DevInfoBlock, wiredMac) == 140);
static_assert(offsetof(DevInfoBlock, wifiMac) == 148);
static_assert(offsetof(DevInfoBlock, wiredDhcp) == 156);
static_assert(offsetof(DevInfoBlock, wiredDns) == 172);
static_assert(offsetof(DevInfoBlock, devicePassword) == 232);
static_assert(offsetof(DevInfoBlock, firmwareVersion) == 248);
static_assert(offsetof(DevInfoBlock, deviceId) == 288);
static_assert(offsetof(DevInfoBlock, wifiDhcp) == 352);
static_assert(offsetof(DevInfoBlock, wifiClientMode) == 356);
static_assert(offsetof(DevInfoBlock, wifiSecurity) == 360);
static_assert(offsetof(DevInfoBlock, wifiIp) == 364);
static_assert(offsetof(DevInfoBlock, wifiSsid) == 384);
static_assert(offsetof(DevInfoBlock, wifiKey) == 512);
static_assert(offsetof(DevInfoBlock, wifiMask) == 580);
static_assert(offsetof(DevInfoBlock, wifiGateway) == 596);
static_assert(offsetof(DevInfoBlock, wifiDns) == 612);
static_assert(offsetof(DevInfoBlock, supportedResolutions) == 644);
static_assert(offsetof(DevInfoBlock, resolutionCode) == 648);
static_assert(offsetof(DevInfoBlock, mirror) == 652);
static_assert(offsetof(DevInfoBlock, flip) == 656);
static_assert(offsetof(DevInfoBlock, stream1BitRate) == 664);
static_assert(offsetof(DevInfoBlock, stream1FrameRate) == 670);
static_assert(offsetof(DevInfoBlock, stream2BitRate) == 672);
static_assert(offsetof(DevInfoBlock, stream2FrameRate) == 678);
static_assert(offsetof(DevInfoBlock, mainsFrequency) == 680);
static_assert(offsetof(DevInfoBlock, passwordChange) == 684);
static_assert(offsetof(DevInfoBlock, newPassword) == 688);
static_assert(offsetof(DevInfoBlock, audioEnabled) == 708);
static_assert(offsetof(DevInfoBlock, alarmInputFlags) == 712);
static_assert(offsetof(DevInfoBlock, inputTriggerType) == 713);
static_assert(offsetof(DevInfoBlock, ioOutputEnabled) == 714);
static_assert(offsetof(DevInfoBlock, ioOutputType) == 715);
static_assert(offsetof(DevInfoBlock, alertOn) == 716);
static_assert(offsetof(DevInfoBlock, motorType) == 717);
static_assert(offsetof(DevInfoBlock, snapshotInterval) == 718);
static_assert(offsetof(DevInfoBlock, audioType) == 720);
static_assert(offsetof(DevInfoBlock, storePosition) == 721);
static_assert(offsetof(DevInfoBlock, storedStream) == 722);
static_assert(offsetof(DevInfoBlock, videoFileSize) == 723);
static_assert(offsetof(DevInfoBlock, rtspEnabled) == 737);
static_assert(offsetof(DevInfoBlock, irControl) == 741);
static_assert(offsetof(DevInfoBlock, snapshotTime1) == 744);
static_assert(offsetof(DevInfoBlock, snapshotTime2) == 748);
static_assert(offsetof(DevInfoBlock, alarmSound) == 758);
static_assert(offsetof(DevInfoBlock, alarmDuration) == 759);
static_assert(offsetof(DevInfoBlock, alarmToFtp) == 760);
static_assert(offsetof(DevInfoBlock, alarmToSd) == 761);
static_assert(offsetof(DevInfoBlock, uploadServerKind) == 762);
static_assert(offsetof(DevInfoBlock, ftpServer) == 763);
static_assert(offsetof(DevInfoBlock, ftpUser) == 800);
static_assert(offsetof(DevInfoBlock, ftpPassword) == 816);
static_assert(offsetof(DevInfoBlock, ftpPort) == 832);
static_assert(offsetof(DevInfoBlock, boundUser) == 836);
static_assert(offsetof(DevInfoBlock, alarmEmail) == 936);
static_assert(offsetof(DevInfoBlock, motionDetection) == 1000);
static_assert(offsetof(DevInfoBlock, motionSensitivity) == 1002);
static_assert(offsetof(DevInfoBlock, motionZones) == 1004);
static_assert(offsetof(DevInfoBlock, restartCommand) == 1008);
static_assert(offsetof(DevInfoBlock, alarmEmailFlags) == 1009);
static_assert(offsetof(DevInfoBlock, emailAttachment) == 1010);
static_assert(offsetof(DevInfoBlock, timeZone) == 1011);
static_assert(offsetof(DevInfoBlock, year) == 1012);
static_assert(offsetof(DevInfoBlock, month) == 1016);
static_assert(offsetof(DevInfoBlock, day) == 1017);
static_assert(offsetof(DevInfoBlock, hour) == 1018);
static_assert(offsetof(DevInfoBlock, minute) == 1019);
static_assert(offsetof(DevInfoBlock, second) == 1020);
static_assert(offsetof(DevInfoBlock, sdCardState) == 1021);
static_assert(offsetof(DevInfoBlock, scheduledToFtp) == 1022);
static_assert(offsetof(DevInfoBlock, scheduledToSd) == 1023);
static_assert(offsetof(DevInfoBlock, recordSchedule) == 1024);

}  // namespace orbisight
