// The rows of the "Local Search" window.

#include <gtest/gtest.h>

#include <cstring>

#include "lan/LanSearchRows.h"

namespace orbisight {
namespace {

CamNetParam Record(const std::string& id, int32_t type, const std::string& address,
                   const std::string& name = "Porch") {
    CamNetParam r{};
    r.basic.code = 87;
    r.basic.SetDeviceId(id);
    r.basic.SetDeviceName(name);
    r.basic.SetFirmwareVersion("V3.2.1");
    CopyTextField(r.address, address);
    r.netType = type;
    return r;
}

TEST(LanSearchRows, AWiredAnswerDoesNotReplaceAWifiRow) {
    LanSearchRows rows;
    EXPECT_EQ(rows.ApplyBasic(Record("ORBI00000001", 1, "192.168.100.100")).change,
              LanSearchRows::Change::kInserted);
    auto result = rows.ApplyBasic(Record("orbi00000001", 0, "192.168.1.20", "Other"));
    EXPECT_EQ(result.change, LanSearchRows::Change::kKept);
    EXPECT_EQ(result.row, 0);
    ASSERT_EQ(rows.Rows().size(), 1u);
    EXPECT_EQ(rows.Rows()[0].Address(), "192.168.100.100");
    EXPECT_EQ(rows.Rows()[0].Name(), "Porch");
}

TEST(LanSearchRows, AnswersOfTheSameTypeOrWifiReplaceTheRow) {
    LanSearchRows rows;
    rows.ApplyBasic(Record("ORBI00000001", 0, "192.168.1.20"));
    EXPECT_EQ(rows.ApplyBasic(Record("ORBI00000001", 0, "192.168.1.30", "B")).change,
              LanSearchRows::Change::kReplaced);
    EXPECT_EQ(rows.Rows()[0].Address(), "192.168.1.30");
    EXPECT_EQ(rows.ApplyBasic(Record("ORBI00000001", 1, "192.168.1.31", "C")).change,
              LanSearchRows::Change::kReplaced);
    EXPECT_EQ(rows.Rows()[0].Name(), "C");
    EXPECT_EQ(rows.ApplyBasic(Record("ORBI00000002", 0, "192.168.1.40")).row, 1);
}

TEST(LanSearchRows, AnExtendedAnswerGoesToItsCamerasRowOnly) {
    LanSearchRows rows;
    rows.ApplyBasic(Record("ORBI00000001", 0, "192.168.1.20"));
    CamNetParam ext = Record("ORBI00000001", 0, "x");
    ext.extended = ext.basic;
    ext.extended.code = 88;
    EXPECT_EQ(rows.ApplyExtended(ext), 0);
    EXPECT_TRUE(rows.Rows()[0].HasExtended());
    EXPECT_EQ(rows.Rows()[0].Address(), "192.168.1.20");  // only the extended block
    CamNetParam unknown = Record("ORBI00000009", 0, "x");
    unknown.extended = unknown.basic;
    EXPECT_EQ(rows.ApplyExtended(unknown), -1);
    EXPECT_EQ(rows.Rows().size(), 1u);
}

TEST(LanSearchRows, ColumnsShowAddressNameIdTypeMacAndVersion) {
    CamNetParam r = Record("ORBI00000001", 1, "192.168.100.100", "Vorgarten \xC3\xBC");
    const uint8_t mac[6] = {0xAA, 0xBB, 0xCC, 0x01, 0x02, 0x03};
    std::memcpy(r.basic.wifiMac, mac, 6);
    auto columns = LanSearchRows::Columns(r);
    ASSERT_EQ(columns.size(), 6u);
    EXPECT_EQ(columns[0], "192.168.100.100");
    EXPECT_EQ(columns[1], "Vorgarten \xC3\xBC");
    EXPECT_EQ(columns[2], "ORBI00000001");
    EXPECT_EQ(columns[3], "WIFI");
    EXPECT_EQ(columns[4], "AA:BB:CC:01:02:03");
    EXPECT_EQ(columns[5], "V3.2.1");
}

}  // namespace
}  // namespace orbisight
