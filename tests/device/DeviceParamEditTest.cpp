#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/DeviceParamEdit.h"
#include "device/DeviceParamTables.h"

namespace orbisight {
namespace {

using namespace params;

TEST(DeviceParamEdit, NameLengthCountsUtf8BytesUpTo18) {
    EXPECT_TRUE(DeviceNameFits(std::string(18, 'a')));
    EXPECT_FALSE(DeviceNameFits(std::string(19, 'a')));
    // Nine two-byte letters are 18 bytes though only nine characters; one
    // more ASCII letter is a byte too many.
    std::string nine = "ééééééééé";
    ASSERT_EQ(nine.size(), 18u);
    EXPECT_TRUE(DeviceNameFits(nine));
    EXPECT_FALSE(DeviceNameFits(nine + "x"));
    EXPECT_FALSE(DeviceNameFits("前门摄像机外面的"));  // 8 characters, 24 bytes
}

TEST(DeviceParamEdit, NewPasswordOnlyWhenGivenAndRepeatedExactly) {
    DevInfoBlock block{};
    block.SetNewPassword("old");
    EXPECT_EQ(ApplyNewPassword(block, "", "something"), PasswordChange::kNone);
    EXPECT_EQ(block.passwordChange, 0);
    EXPECT_EQ(block.NewPassword(), "old");

    EXPECT_EQ(ApplyNewPassword(block, "secret", "Secret"), PasswordChange::kMismatch);
    EXPECT_EQ(block.passwordChange, 0);
    EXPECT_EQ(block.NewPassword(), "old");

    // The field holds 15 bytes and the terminator: 16 would be cut.
    EXPECT_EQ(ApplyNewPassword(block, std::string(16, 'p'), std::string(16, 'p')),
              PasswordChange::kTooLong);
    EXPECT_EQ(block.passwordChange, 0);
    EXPECT_EQ(ApplyNewPassword(block, std::string(15, 'p'), std::string(15, 'p')),
              PasswordChange::kApplied);
    EXPECT_EQ(block.NewPassword(), std::string(15, 'p'));

    EXPECT_EQ(ApplyNewPassword(block, "secret", "secret"), PasswordChange::kApplied);
    EXPECT_EQ(block.passwordChange, 1);
    EXPECT_EQ(block.NewPassword(), "secret");
}

TEST(DeviceParamEdit, BitRatesAreCorrectedKeptOrRefusedAtTheRangeEdges) {
    struct Case {
        int code;
        int stream;
        const char* typed;
        bool refused;
        int kbps;
    };
    const Case cases[] = {
        // Stream 1 of the 720P codes: 500..12000, corrected both ways.
        {6, 1, "300", false, 500},
        {6, 1, "499", false, 500},
        {6, 1, "500", false, 500},
        {6, 1, "12000", false, 12000},
        {6, 1, "12001", false, 12000},
        // Stream 1 of code 12: 351..1500 fail but are kept, above 1500 cut.
        {12, 1, "99", false, 100},
        {12, 1, "350", false, 350},
        {12, 1, "351", false, 351},
        {12, 1, "1500", false, 1500},
        {12, 1, "1501", false, 1500},
        // Stream 2 of code 6: below 100 has no correction and is refused.
        {6, 2, "99", true, 0},
        {6, 2, "100", false, 100},
        {6, 2, "1501", false, 1500},
        // Stream 2 of code 9: below 80 refused.
        {9, 2, "79", true, 0},
        {9, 2, "80", false, 80},
        {9, 2, "201", false, 200},
        // Stream 2 of the small codes: 151..250 kept, above cut, below raised.
        {7, 2, "63", false, 64},
        {7, 2, "150", false, 150},
        {7, 2, "151", false, 151},
        {11, 2, "250", false, 250},
        {12, 2, "251", false, 250},
        {8, 2, "151", false, 150},
        // Single-stream codes have no rule; text that is no number is refused.
        {3, 1, "7", false, 7},
        {6, 1, "", true, 0},
        {6, 1, "12x", true, 0},
        {6, 2, "-5", true, 0},
    };
    for (const Case& c : cases) {
        BitRateOutcome outcome = ResolveBitRate(c.code, c.stream, c.typed);
        SCOPED_TRACE(std::to_string(c.code) + "/" + std::to_string(c.stream) + " " + c.typed);
        EXPECT_EQ(outcome.refused, c.refused);
        if (!c.refused) {
            EXPECT_EQ(outcome.kbps, c.kbps);
        }
    }
    EXPECT_EQ(StreamFrameTitle(6, 1), "Stream1: 500~12000Kbps");
    EXPECT_EQ(StreamFrameTitle(9, 2), "Stream2: 80~200Kbps");
    EXPECT_EQ(StreamFrameTitle(2, 2), "Stream2: ");
    EXPECT_NE(BitRateRefusalText(6, 2, "99").find("100 to 1500"), std::string::npos);
}

TEST(DeviceParamEdit, FetchPicksTheZoneOfTheComputersOffset) {
    EXPECT_EQ(TimeZoneIndexForOffset(0), 12);
    EXPECT_EQ(TimeZoneIndexForOffset(8 * 60), 20);
    EXPECT_EQ(TimeZoneIndexForOffset(-5 * 60), 7);
    EXPECT_EQ(TimeZoneIndexForOffset(-12 * 60), 0);
    EXPECT_EQ(TimeZoneIndexForOffset(12 * 60), 24);
    // The entries the plain hour arithmetic misses.
    EXPECT_EQ(TimeZoneIndexForOffset(13 * 60), 27);
    EXPECT_EQ(TimeZoneIndexForOffset(14 * 60), 28);
    EXPECT_EQ(TimeZoneIndexForOffset(5 * 60 + 30), 26);
    EXPECT_EQ(TimeZoneIndexForOffset(6 * 60 + 30), 25);
    // No entry of its own: the nearest, the eastern of two equally near.
    EXPECT_EQ(TimeZoneIndexForOffset(5 * 60 + 45), 18);  // +05:30 and +06 equally near
    EXPECT_EQ(TimeZoneIndexForOffset(5 * 60 + 40), 26);
    EXPECT_EQ(TimeZoneIndexForOffset(-3 * 60 - 30), 9);
    EXPECT_EQ(TimeZoneIndexForOffset(-11 * 60 - 30), 1);
    for (int i = 0; i < static_cast<int>(TimeZones().size()); ++i) {
        EXPECT_EQ(TimeZoneIndexForOffset(TimeZoneOffsetMinutes(i)), i) << TimeZones()[i];
    }
}

TEST(DeviceParamEdit, StampingMarksTheBlockThePageSends) {
    DeviceParamRecord record{};
    record.basic.code = DevInfoBlock::kCodeBasicAnswer;
    record.lanExtended.code = DevInfoBlock::kCodeExtendedAnswer;
    StampForSet(record, Page::k3g);
    EXPECT_EQ(record.lanExtended.code, DevInfoBlock::kCodeSetExtended);
    EXPECT_EQ(record.lanExtended.CommandName(), "VidxSetInfo");
    EXPECT_EQ(record.basic.code, DevInfoBlock::kCodeBasicAnswer);
    EXPECT_EQ(record.basic.CommandName(), "");
    for (Page page : {Page::kLan, Page::kWifi, Page::kMisc, Page::kSystemInfo}) {
        DeviceParamRecord other{};
        StampForSet(other, page);
        EXPECT_EQ(other.basic.code, DevInfoBlock::kCodeSet);
        EXPECT_EQ(other.basic.CommandName(), "VidxSetInfo");
        EXPECT_EQ(other.lanExtended.code, 0);
    }
}

TEST(DeviceParamEdit, OnlyTheOutgoingCopyCarriesTheMonthFlag) {
    DevInfoBlock block{};
    block.SetMonth(11);
    DevInfoBlock out = OutgoingBlock(block);
    EXPECT_TRUE(out.MonthSetFlag());
    EXPECT_EQ(out.Month(), 11);
    EXPECT_FALSE(block.MonthSetFlag());

    DevInfoBlock reboot = RestartBlock(block, RestartKind::kReboot);
    EXPECT_EQ(reboot.restartCommand, 2);
    EXPECT_EQ(reboot.code, DevInfoBlock::kCodeSet);
    EXPECT_FALSE(reboot.MonthSetFlag());
    EXPECT_EQ(RestartBlock(block, RestartKind::kResetDefaults).restartCommand, 1);
    EXPECT_EQ(block.restartCommand, 0);
}

TEST(DeviceParamEdit, ExtendedSettingsSitAt352OfTheLanAnswer) {
    DevInfoBlock lan{};
    std::memset(&lan, 0x5A, sizeof lan);
    DevInfoExt ext{};
    ext.SetApn("internet");
    ext.SetAlarmNumber(3, "5551234");
    PutExtIntoLanBlock(lan, ext);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&lan);
    EXPECT_EQ(bytes[351], 0x5A);
    EXPECT_EQ(std::memcmp(bytes + 352 + 80, "internet", 9), 0);
    EXPECT_EQ(bytes[352 + 292], 0x5A);
    DevInfoExt back = ExtFromLanBlock(lan);
    EXPECT_EQ(back.Apn(), "internet");
    EXPECT_EQ(back.AlarmNumber(3), "5551234");
}

TEST(DeviceParamEdit, RestartRelevantMembersAreTheNetworkClockAndVideoControls) {
    DevInfoBlock original{};
    DevInfoBlock edited = original;
    edited.SetFtpServer("ftp.example");
    edited.alarmSound = 1;
    EXPECT_FALSE(RestartRelevantChange(edited, original));
    auto changed = [&](auto change) {
        DevInfoBlock copy = original;
        change(copy);
        return RestartRelevantChange(copy, original);
    };
    EXPECT_TRUE(changed([](DevInfoBlock& b) { b.SetWifiSsid("net"); }));
    EXPECT_TRUE(changed([](DevInfoBlock& b) { b.SetTimeZoneIndex(20); }));
    EXPECT_TRUE(changed([](DevInfoBlock& b) { b.minute = 5; }));
    EXPECT_TRUE(changed([](DevInfoBlock& b) { b.rtspEnabled = 1; }));
    EXPECT_TRUE(changed([](DevInfoBlock& b) { b.irControl = 2; }));
    // The month's flag alone is no change of the date.
    EXPECT_FALSE(changed([](DevInfoBlock& b) { b.SetMonthSetFlag(true); }));
}

TEST(DeviceParamEdit, WebPageOfTheCamerasHost) {
    EXPECT_EQ(CameraWebPageUrl("192.168.1.20"), "http://192.168.1.20/sd/ipnc/");
    EXPECT_EQ(CameraWebPageUrl("cam.example:8080"), "http://cam.example:8080/sd/ipnc/");
}

}  // namespace
}  // namespace orbisight
