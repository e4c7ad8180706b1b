#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "device/DevInfoBlock.h"
#include "device/DevInfoExt.h"
#include "device/DeviceParamMembers.h"
#include "device/DeviceParamTables.h"

namespace orbisight {
namespace {

const uint8_t* Bytes(const DevInfoBlock& block) {
    return reinterpret_cast<const uint8_t*>(&block);
}

TEST(DevInfoBlock, IntegersAreLittleEndianAtTheirOffsetsEvenWhenUnaligned) {
    DevInfoBlock block{};
    block.code = DevInfoBlock::kCodeSet;
    block.videoFileSize = 0x0B0F;
    block.stream1FrameRate = 2;
    block.snapshotTime2 = 0x01020304;
    block.recordSchedule[15] = 0xA1B2C3D4;
    const uint8_t* bytes = Bytes(block);
    EXPECT_EQ(bytes[0], 135);
    EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
    EXPECT_EQ(bytes[723], 0x0F);
    EXPECT_EQ(bytes[724], 0x0B);
    EXPECT_EQ(bytes[670], 2);
    EXPECT_EQ(bytes[748], 0x04);
    EXPECT_EQ(bytes[751], 0x01);
    EXPECT_EQ(bytes[1084], 0xD4);
    EXPECT_EQ(bytes[1087], 0xA1);
    EXPECT_EQ(static_cast<int>(block.videoFileSize), 0x0B0F);
}

TEST(DevInfoBlock, BitFieldsLeaveTheirNeighboursAlone) {
    DevInfoBlock block{};
    block.alarmInputFlags = 0xF0;
    block.SetInputTriggerEnabled(true);
    block.SetAlarmConditionTogether(true);
    EXPECT_EQ(block.alarmInputFlags, 0xF3);
    block.SetInputTriggerEnabled(false);
    EXPECT_EQ(block.alarmInputFlags, 0xF2);
    EXPECT_TRUE(block.AlarmConditionTogether());

    block.SetAlarmEmailEnabled(true);
    block.SetMailPictureInterval(25);
    EXPECT_EQ(block.alarmEmailFlags, (25 << 1) | 1);
    block.SetAlarmEmailEnabled(false);
    EXPECT_EQ(block.MailPictureInterval(), 25);

    // The GMT+08 entry (index 20) is stored as 20 + 128.
    block.SetTimeZoneIndex(20);
    EXPECT_EQ(block.timeZone, 148);
    EXPECT_EQ(block.TimeZoneIndex(), 20);

    block.month = 11;
    block.SetMonthSetFlag(true);
    EXPECT_EQ(block.month, 0x8B);
    EXPECT_EQ(block.Month(), 11);
    block.SetMonthSetFlag(false);
    EXPECT_EQ(block.month, 11);
}

TEST(DevInfoBlock, MotionZonesAreOneHexDigitPerRow) {
    DevInfoBlock block{};
    std::memcpy(block.motionZones, "0a?", 3);
    EXPECT_EQ(block.MotionZoneRow(1), 10);
    EXPECT_FALSE(block.MotionZoneCell(1, 0));
    EXPECT_TRUE(block.MotionZoneCell(1, 1));
    EXPECT_TRUE(block.MotionZoneCell(1, 3));
    EXPECT_EQ(block.MotionZoneRow(2), 0);  // not a digit: an empty row
    block.SetMotionZoneCell(1, 0, true);
    block.SetMotionZoneCell(0, 3, true);
    EXPECT_EQ(std::string(block.motionZones, 3), "8B?");  // written in upper case
    EXPECT_FALSE(block.MotionZoneCell(3, 0));
    EXPECT_FALSE(block.MotionZoneCell(0, 4));
}

TEST(DevInfoBlock, DeviceNameOf18BytesFitsAnd19AreRefused) {
    DevInfoBlock block{};
    EXPECT_TRUE(block.SetDeviceName("Front Door"));
    std::string eighteen =
        "K\xC3\xBC"
        "che 12345678901";  // 18 bytes of UTF-8
    ASSERT_EQ(eighteen.size(), 18u);
    EXPECT_TRUE(block.SetDeviceName(eighteen));
    EXPECT_EQ(block.DeviceName(), eighteen);
    EXPECT_FALSE(block.SetDeviceName(eighteen + "x"));
    EXPECT_EQ(block.DeviceName(), eighteen);
}

TEST(DevInfoBlock, TextsAreCutToTheirFieldAndStayTerminated) {
    DevInfoBlock block{};
    block.SetNewPassword(std::string(40, 'p'));
    EXPECT_EQ(block.NewPassword().size(), 15u);
    EXPECT_EQ(Bytes(block)[703], 0);
    EXPECT_EQ(Bytes(block)[704], 0);  // nothing spilled into the next bytes
    DevInfoExt ext{};
    ext.SetAlarmNumber(3, std::string(30, '9'));
    EXPECT_EQ(ext.AlarmNumber(3).size(), 19u);
    EXPECT_EQ(ext.AlarmNumber(4), "");
}

TEST(ParamMembers, CoverBothBlocksWithoutOverlapOrDuplicateNames) {
    std::set<std::string_view> names;
    std::set<std::pair<int, int>> basicBytes;
    std::set<int> extBytes;
    for (const auto& member : ParamMembers()) {
        EXPECT_TRUE(names.insert(member.name).second) << member.name;
        for (char c : member.name) {
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')
                << member.name;
        }
        size_t blockSize =
            member.block == ParamMember::Block::kBasic ? sizeof(DevInfoBlock) : sizeof(DevInfoExt);
        EXPECT_LE(member.offset + member.size, blockSize) << member.name;
        if (member.type == ParamMember::Type::kBits) {
            continue;  // several bit fields share one byte
        }
        for (int i = 0; i < member.size; ++i) {
            if (member.block == ParamMember::Block::kBasic) {
                EXPECT_TRUE(basicBytes.insert({member.offset + i, 0}).second) << member.name;
            } else {
                EXPECT_TRUE(extBytes.insert(member.offset + i).second) << member.name;
            }
        }
    }
    EXPECT_GE(names.size(), 85u);
    for (const char* name : {"device_name", "wifi_ssid", "resolution_code", "motion_zones",
                             "video_file_size", "time_zone", "record_schedule", "apn"}) {
        EXPECT_NE(FindParamMember(name), nullptr) << name;
    }
}

TEST(ParamMembers, EveryMemberReadsBackWhatWasWritten) {
    DevInfoBlock block{};
    DevInfoExt ext{};
    for (const auto& member : ParamMembers()) {
        std::string value;
        switch (member.type) {
            case ParamMember::Type::kInteger:
                value = member.size == 4 ? "-123456" : (member.size == 2 ? "65535" : "200");
                break;
            case ParamMember::Type::kBits:
                value = std::to_string((1 << member.count) - 1);
                break;
            case ParamMember::Type::kText:
                value = std::string(
                    std::min<int>(member.size - 1, member.maxBytes ? member.maxBytes : 99), 'T');
                break;
            case ParamMember::Type::kMac:
                value = "00:1A:2B:3C:4D:5E";
                break;
            case ParamMember::Type::kMotionZones:
                value = "F0A";
                break;
            case ParamMember::Type::kSchedule:
                value =
                    "00000001,00000002,00000003,00000004,00000005,00000006,00000007,"
                    "00000008,00000009,0000000A,0000000B,0000000C,0000000D,0000000E,"
                    "0000000F,FFFFFFFF";
                break;
        }
        std::string error;
        ASSERT_TRUE(SetParamText(member, block, ext, value, &error)) << error;
        EXPECT_EQ(GetParamText(member, block, ext), value) << member.name;
    }
    // The table writes the same bytes the typed members read.
    EXPECT_EQ(block.TimeZoneIndex(), 127);
    EXPECT_EQ(block.timeZone, 0xFF);
    EXPECT_EQ(static_cast<int>(block.videoFileSize), 65535);
    EXPECT_EQ(block.MotionZoneRow(2), 10);
    EXPECT_EQ(block.ScheduleWord(7, 1), 0xFFFFFFFFu);
    EXPECT_EQ(block.wiredMac[5], 0x5E);
    EXPECT_EQ(ext.Apn(), std::string(99, 'T'));
}

TEST(ParamMembers, RefusedValuesChangeNothing) {
    DevInfoBlock block{};
    DevInfoExt ext{};
    block.SetDeviceName("Garage");
    block.alarmDuration = 3;
    DevInfoBlock before = block;
    std::string error;
    struct Case {
        const char* member;
        const char* value;
    } cases[] = {{"alarm_duration", "256"},
                 {"alarm_duration", "-1"},
                 {"alarm_duration", "3x"},
                 {"alarm_duration", ""},
                 {"stream1_frame_rate", "65536"},
                 {"input_trigger_enabled", "2"},
                 {"time_zone", "128"},
                 {"device_name", "a name that is far too long"},
                 {"wired_mac", "00:1A:2B:3C:4D"},
                 {"motion_zones", "FG0"},
                 {"record_schedule", "1,2,3"},
                 {"year", "99999999999"}};
    for (const auto& c : cases) {
        EXPECT_FALSE(SetParamText(*FindParamMember(c.member), block, ext, c.value, &error))
            << c.member << "=" << c.value;
        EXPECT_NE(error.find(c.member), std::string::npos) << error;
    }
    EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0);
}

TEST(ParamTables, ResolutionCodesMatchTheirStreamItems) {
    EXPECT_EQ(params::ResolutionCodes().size(), 13u);
    EXPECT_EQ(params::ResolutionCodeForItems(0, 1), 7);
    EXPECT_EQ(params::ResolutionCodeForItems(3, 1), 12);
    EXPECT_EQ(params::ResolutionCodeForItems(1, 3), 9);
    EXPECT_FALSE(params::ResolutionCodeForItems(1, 0).has_value());  // no code: not saved
    EXPECT_FALSE(params::ResolutionCodeForItems(-1, -1).has_value());
    EXPECT_EQ(params::Stream2ItemsFor(8), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(params::Stream2ItemsFor(10), (std::vector<int>{2, 3}));
    EXPECT_EQ(params::Stream2ItemsFor(11), (std::vector<int>{1}));
    EXPECT_TRUE(params::Stream2ItemsFor(3).empty());
}

TEST(ParamTables, BitRateCheckCorrectsWhereTheRulesSay) {
    auto check = [](int code, int stream, int kbps) {
        return params::CheckBitRate(code, stream, kbps);
    };
    EXPECT_EQ(check(6, 1, 300).corrected, 500);
    EXPECT_EQ(check(6, 1, 20000).corrected, 12000);
    EXPECT_TRUE(check(6, 1, 500).valid);
    EXPECT_FALSE(check(6, 2, 50).valid);
    EXPECT_FALSE(check(6, 2, 50).corrected.has_value());
    EXPECT_EQ(check(7, 2, 40).corrected, 64);
    EXPECT_FALSE(check(7, 2, 200).valid);
    EXPECT_FALSE(check(7, 2, 200).corrected.has_value());  // fails but keeps its value
    EXPECT_EQ(check(7, 2, 300).corrected, 250);
    EXPECT_EQ(check(8, 2, 151).corrected, 150);
    EXPECT_EQ(check(9, 2, 250).corrected, 200);
    EXPECT_FALSE(check(9, 2, 70).corrected.has_value());
    EXPECT_EQ(check(12, 1, 90).corrected, 100);
    EXPECT_FALSE(check(12, 1, 1000).corrected.has_value());
    EXPECT_EQ(check(12, 1, 1600).corrected, 1500);
    EXPECT_EQ(check(11, 2, 300).corrected, 250);
    EXPECT_TRUE(check(3, 1, 1).valid);  // single-stream codes have no rule
}

TEST(ParamTables, ListsHaveTheirDocumentedEntries) {
    ASSERT_EQ(params::VideoFileSizes().size(), 10u);
    EXPECT_EQ(params::VideoFileSizes()[8].code, 11);
    EXPECT_EQ(params::VideoFileSizes()[8].label, "Continuous Record 3min");
    EXPECT_EQ(params::VideoFileSizeIndex(15), 9);
    EXPECT_FALSE(params::VideoFileSizeIndex(8).has_value());
    ASSERT_EQ(params::TimeZones().size(), 29u);
    EXPECT_EQ(params::TimeZones()[12].substr(0, 6), "GMT+00");
    EXPECT_EQ(params::TimeZones()[20].substr(0, 6), "GMT+08");
    EXPECT_EQ(params::TimeZoneIndexForBias(-480), 20);
    EXPECT_EQ(params::TimeZoneIndexForBias(300), 7);
    EXPECT_EQ(params::TimeZoneIndexForBias(-60 * 40), 28);
    const auto& intervals = params::MailPictureIntervals();
    ASSERT_EQ(intervals.size(), 26u);
    EXPECT_EQ(intervals[1], "30 Minutes");
    EXPECT_EQ(intervals[2], "1 Hour");
    EXPECT_EQ(intervals[25], "24 Hours");
}

}  // namespace
}  // namespace orbisight
