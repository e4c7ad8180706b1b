// The LAN datagrams: what the client accepts from the network, what it sends.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "lan/LanDatagram.h"

namespace orbisight {
namespace {

DevInfoBlock Answer(int32_t code, const std::string& id) {
    DevInfoBlock block{};
    block.code = code;
    block.SetCommandName("VidxGet");
    block.SetDeviceName("Porch");
    block.SetDeviceId(id);
    block.SetWiredIp("192.168.1.20");
    block.SetWifiIp("192.168.1.21");
    return block;
}

std::vector<uint8_t> Bytes(const DevInfoBlock& block, size_t size = sizeof(DevInfoBlock)) {
    std::vector<uint8_t> bytes(size, 0);
    if (size > 0) {
        std::memcpy(bytes.data(), &block, std::min(size, sizeof block));
    }
    return bytes;
}

TEST(LanDatagram, OnlyExactly1088BytesAreAnAnswer) {
    DevInfoBlock block = Answer(87, "ORBI00000001");
    for (size_t size : {size_t{0}, size_t{1087}, size_t{1089}, size_t{2196}}) {
        auto bytes = Bytes(block, size);
        EXPECT_FALSE(lan::ParseAnswer(bytes.data(), bytes.size())) << size;
    }
    auto bytes = Bytes(block);
    auto answer = lan::ParseAnswer(bytes.data(), bytes.size());
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->kind, lan::AnswerKind::kBasic);
    EXPECT_EQ(answer->block.DeviceId(), "ORBI00000001");
    EXPECT_FALSE(lan::ParseAnswer(nullptr, 1088));
}

TEST(LanDatagram, OnlyCodes87And88AreAnswers) {
    for (int32_t code : {0, 86, 89, 128, 129, 135, -87}) {
        auto bytes = Bytes(Answer(code, "ORBI00000001"));
        EXPECT_FALSE(lan::ParseAnswer(bytes.data(), bytes.size())) << code;
    }
    auto bytes = Bytes(Answer(88, "ORBI00000001"));
    auto answer = lan::ParseAnswer(bytes.data(), bytes.size());
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->kind, lan::AnswerKind::kExtended);
}

TEST(LanDatagram, TheDeviceIdMustBeExactlyTwelveCharacters) {
    for (const char* id : {"", "ORBI0000001", "ORBI000000001", "ORBI00000001X"}) {
        auto bytes = Bytes(Answer(87, id));
        EXPECT_FALSE(lan::ParseAnswer(bytes.data(), bytes.size())) << id;
    }
    auto bytes = Bytes(Answer(87, "orbi00000001"));
    EXPECT_TRUE(lan::ParseAnswer(bytes.data(), bytes.size()));
}

TEST(LanDatagram, AnIdWithoutTerminatorIsNeverReadPastItsField) {
    DevInfoBlock block = Answer(87, "ORBI00000001");
    std::memset(block.deviceId, 'A', sizeof block.deviceId);  // 64 characters, no NUL
    auto bytes = Bytes(block);
    EXPECT_FALSE(lan::ParseAnswer(bytes.data(), bytes.size()));
    // Twelve characters and then garbage in the rest of the field is still
    // twelve characters: the text ends at its terminator.
    block = Answer(87, "ORBI00000001");
    std::memset(block.deviceId + 13, 'Z', sizeof block.deviceId - 13);
    bytes = Bytes(block);
    EXPECT_TRUE(lan::ParseAnswer(bytes.data(), bytes.size()));
}

TEST(LanDatagram, NetworkTypeAndAddressFollowTheSender) {
    DevInfoBlock block = Answer(87, "ORBI00000001");
    CamNetParam wifi = lan::RecordFromAnswer(block, "192.168.1.21");
    EXPECT_EQ(wifi.netType, CamNetParam::kWifi);
    EXPECT_EQ(wifi.Address(), "192.168.1.21");
    CamNetParam wired = lan::RecordFromAnswer(block, "192.168.1.20");
    EXPECT_EQ(wired.netType, CamNetParam::kWired);
    EXPECT_EQ(wired.Address(), "192.168.1.20");
    // The camera's own access point address means Wi-Fi, whatever its fields say.
    CamNetParam ap = lan::RecordFromAnswer(block, "192.168.100.100");
    EXPECT_EQ(ap.netType, CamNetParam::kWifi);
    EXPECT_EQ(ap.Address(), "192.168.100.100");
    EXPECT_STREQ(ap.NetTypeText(), "WIFI");
    // A sender matching neither field: wired, at the wired address.
    CamNetParam other = lan::RecordFromAnswer(block, "10.0.0.7");
    EXPECT_EQ(other.netType, CamNetParam::kWired);
    EXPECT_EQ(other.Address(), "192.168.1.20");
    EXPECT_STREQ(other.NetTypeText(), "LAN");
    // A camera with an empty Wi-Fi address does not match an empty sender.
    block.SetWifiIp("");
    CamNetParam empty = lan::RecordFromAnswer(block, "");
    EXPECT_EQ(empty.netType, CamNetParam::kWired);
}

TEST(LanDatagram, TheMacShownIsTheOneOfTheNetworkInUse) {
    DevInfoBlock block = Answer(87, "ORBI00000001");
    const uint8_t wired[6] = {0x02, 0x0B, 0xA0, 0x01, 0xFF, 0x10};
    const uint8_t wifi[6] = {0x02, 0x0B, 0xA0, 0x01, 0xFF, 0x11};
    std::memcpy(block.wiredMac, wired, 6);
    std::memcpy(block.wifiMac, wifi, 6);
    EXPECT_EQ(lan::RecordFromAnswer(block, "192.168.1.20").MacText(), "02:0B:A0:01:FF:10");
    EXPECT_EQ(lan::RecordFromAnswer(block, "192.168.1.21").MacText(), "02:0B:A0:01:FF:11");
}

TEST(LanDatagram, SearchReplyAndSetsAreStampedAsTheCamerasExpect) {
    DevInfoBlock search = lan::BuildSearch();
    EXPECT_EQ(search.code, 86);
    EXPECT_EQ(search.CommandName(), "VidxGet");
    const auto* bytes = reinterpret_cast<const uint8_t*>(&search);
    for (size_t i = 28; i < sizeof search; ++i) {
        ASSERT_EQ(bytes[i], 0) << i;
    }

    DevInfoBlock answer = Answer(87, "ORBI00000001");
    DevInfoBlock reply = lan::Build3gReply(answer);
    EXPECT_EQ(reply.code, 129);
    EXPECT_STREQ(reply.marker, "3G");
    EXPECT_EQ(std::memcmp(reinterpret_cast<const uint8_t*>(&reply) + 76,
                          reinterpret_cast<const uint8_t*>(&answer) + 76, sizeof answer - 76),
              0);

    DevInfoBlock set = lan::BuildSet(answer);
    EXPECT_EQ(set.code, 135);
    EXPECT_EQ(set.CommandName(), "VidxSetInfo");
    EXPECT_EQ(set.DeviceId(), "ORBI00000001");

    // The 3G set: the settings at offset 352 of the extended block, code 128.
    DevInfoBlock extended = Answer(88, "ORBI00000001");
    DevInfoExt ext{};
    ext.SetApn("internet");
    ext.SetAlarmNumber(3, "5550100");
    DevInfoBlock extSet = lan::BuildExtendedSet(extended, ext);
    EXPECT_EQ(extSet.code, 128);
    EXPECT_EQ(extSet.CommandName(), "VidxSetInfo");
    EXPECT_EQ(std::memcmp(reinterpret_cast<const uint8_t*>(&extSet) + 352, &ext, sizeof ext), 0);
    EXPECT_EQ(extSet.DeviceId(), "ORBI00000001");  // the ID ends where the settings begin
    CamNetParam record{};
    record.extended = extSet;
    EXPECT_EQ(record.Extended().Apn(), "internet");
}

TEST(LanDatagram, DottedIpv4IsFourNumbersUpTo255) {
    for (const char* good : {"0.0.0.0", "127.0.0.1", "255.255.255.255", "192.168.100.100"}) {
        EXPECT_TRUE(lan::IsDottedIpv4(good)) << good;
    }
    for (const char* bad : {"", "256.0.0.1", "1.2.3", "1.2.3.4.5", "1..2.3", "1.2.3.4.", " 1.2.3.4",
                            "1.2.3.a", "0001.2.3.4", "cam.local", "1.2.3.-4"}) {
        EXPECT_FALSE(lan::IsDottedIpv4(bad)) << bad;
    }
}

}  // namespace
}  // namespace orbisight
