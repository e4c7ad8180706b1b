#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "device/CommandAddress.h"
#include "device/RfList.h"
#include "device/SdFileList.h"

namespace orbisight {
namespace {

TEST(SdList, SkipsTheLeadAndEntriesWithoutACommaOrClosingBar) {
    EXPECT_TRUE(ParseSdList("no bars at all,1", SdListKind::kFiles).empty());
    auto items = ParseSdList("x|a,1|b|c,3", SdListKind::kFiles);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Name(), "a");
    EXPECT_EQ(items[0].value, 1u);
    // The part before the first bar is skipped even when it looks like an entry.
    items = ParseSdList("z,9|20141108,3|20141109,0|", SdListKind::kDirectories);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].Name(), "20141109");
    EXPECT_EQ(items[1].ShortName(), "");  // directory lists carry no short name
    EXPECT_FALSE(items[1].IsFile());
}

TEST(SdList, FileEntriesGetShortNameSizeAndKind) {
    auto items = ParseSdList("3|20141108093000.264,4000000000|2014110809,12|0123456789,5|",
                             SdListKind::kFiles);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].ShortName(), "20141108");
    EXPECT_TRUE(items[0].IsFile());
    EXPECT_EQ(items[0].value, 4000000000u);  // sizes are unsigned
    EXPECT_FALSE(items[1].IsFile());         // 10 characters: an hour directory
    EXPECT_FALSE(items[2].IsFile());
}

TEST(SdList, NamesOf64CharactersOrMoreAreRejected) {
    std::string ok(63, 'n');
    std::string tooLong(64, 'n');
    auto items = ParseSdList("2|" + ok + ",1|" + tooLong + ",2|", SdListKind::kFiles);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Name(), ok);
}

TEST(SdList, TimeWindowIsInclusiveAndOpenWhenStartIsNotBeforeEnd) {
    EXPECT_TRUE(InSdTimeWindow("20141108093000.264", "120000", "120000"));
    EXPECT_TRUE(InSdTimeWindow("20141108093000.264", "130000", "080000"));
    EXPECT_TRUE(InSdTimeWindow("20141108093000.264", "093000", "100000"));
    EXPECT_TRUE(InSdTimeWindow("20141108093000.264", "080000", "093000"));
    EXPECT_FALSE(InSdTimeWindow("20141108093001.264", "080000", "093000"));
    EXPECT_FALSE(InSdTimeWindow("short", "080000", "093000"));
}

class DownloadPathTest : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove_all(root_); }
    std::filesystem::path root_ =
        std::filesystem::temp_directory_path() / ("sdpath-" + std::to_string(::getpid()));
};

TEST_F(DownloadPathTest, BuildsTheDeviceAndDayFoldersAndCreatesThem) {
    auto path = SdDownloadPath(root_, "Front Door", "ORBI00000001", "20141108093000.H264", true);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, root_ / "Front Door(ORBI00000001)" / "2014-11-08" /
                         "Front Door(ORBI00000001)_2014-11-08-09-30-00.h264");
    EXPECT_TRUE(std::filesystem::is_directory(path->parent_path()));
}

TEST_F(DownloadPathTest, PartsFromTheCameraCannotLeaveTheRecordFolder) {
    auto path = SdDownloadPath(root_, "../../x", "a/b", "2014/1108093000.../../../etc", false);
    ASSERT_TRUE(path.has_value());
    auto relative = path->lexically_relative(root_);
    EXPECT_EQ(std::distance(relative.begin(), relative.end()), 3) << relative;
    for (const auto& part : relative) {
        EXPECT_NE(part, "..") << relative;
    }
    EXPECT_EQ(relative.begin()->string(), ".._.._x(a_b)");
    std::string error;
    EXPECT_FALSE(SdDownloadPath(root_, "n", "i", "2014110809", false, &error).has_value());
    EXPECT_NE(error.find("2014110809"), std::string::npos);
}

TEST(RfListText, ASecondRecordOfTheSameIdReplacesThePairs) {
    RfList list;
    list.Parse(
        "MYVELARFID:0211;name:Door;status:on;####"
        "MYVELARFID:0211;name:Back door;####");
    ASSERT_EQ(list.Entries().size(), 1u);
    EXPECT_EQ(list.Entries()[0].Name(), "Back door");
    EXPECT_FALSE(list.Entries()[0].Get("status").has_value());
}

TEST(RfListText, AKeySetTwiceKeepsItsFirstPlace) {
    RfList list;
    list.Parse("name:A;MYVELARFID:0301;name:B;####");
    ASSERT_EQ(list.Entries().size(), 1u);
    const auto& pairs = list.Entries()[0].pairs;
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].key, "name");
    EXPECT_EQ(pairs[0].value, "B");
}

TEST(RfListText, DropsWhatIsNotARecordOrAPair) {
    RfList list;
    list.Parse(
        "name:orphan;####"                               // no ID: dropped
        "MYVELARFID:0401;junk;time:12:30;tail####"       // piece without ":", text after ";"
        "MYVELARFID:0501;name:after the last marker;");  // no closing "####"
    ASSERT_EQ(list.Entries().size(), 1u);
    const auto& entry = list.Entries()[0];
    EXPECT_EQ(entry.id, "0401");
    EXPECT_EQ(entry.Get("time"), "12:30");  // split at the first ":"
    EXPECT_EQ(entry.pairs.size(), 2u);
}

TEST(RfListText, BuildingAParsedListReproducesTheText) {
    std::string text =
        "MYVELARFID:0101;name:Remote;status:on;battery:90;####"
        "MYVELARFID:2301;name:IO;status:off;####";
    RfList list;
    list.Parse(text);
    EXPECT_EQ(list.Build(), text);
    list.Parse("");
    EXPECT_EQ(list.Build(), "");
}

TEST(RfListText, EditsKeepTheFormatIntact) {
    RfList list;
    list.Parse("MYVELARFID:0101;name:Remote;####MYVELARFID:0301;name:Hall;####");
    EXPECT_TRUE(list.SetPair("0101", "name",
                             "Remote \xE2\x84\x96"
                             "1"));
    EXPECT_TRUE(list.SetPair("0101", "status", "off"));
    EXPECT_FALSE(list.SetPair("0101", "name", "a;b"));
    EXPECT_FALSE(list.SetPair("0101", "name", "x####y"));
    EXPECT_FALSE(list.SetPair("0101", "na:me", "x"));
    EXPECT_FALSE(list.SetPair("0101", "MYVELARFID", "0999"));
    EXPECT_FALSE(list.SetPair("9999", "name", "x"));
    EXPECT_EQ(list.Build(),
              "MYVELARFID:0101;name:Remote \xE2\x84\x96"
              "1;status:off;####MYVELARFID:0301;name:Hall;####");
    EXPECT_TRUE(list.Delete("0301"));
    EXPECT_FALSE(list.Delete("0301"));
    EXPECT_EQ(list.Entries().size(), 1u);
    list.Clear();
    EXPECT_EQ(list.Build(), "");  // saving after "Clear all" sends an empty list
}

TEST(RfListText, ATextBeyond4095BytesIsNotBuiltAtAll) {
    RfList list;
    std::string text;
    for (int i = 0; i < 100; ++i) {
        text += "MYVELARFID:03" + std::to_string(100 + i) + ";name:sensor number " +
                std::to_string(i) + ";####";
    }
    list.Parse(text);
    ASSERT_GT(text.size(), RfList::kMaxTextBytes);
    EXPECT_FALSE(list.Build().has_value());
    while (list.Build() == std::nullopt) {
        list.Delete(list.Entries().back().id);
    }
    EXPECT_LE(list.Build()->size(), RfList::kMaxTextBytes);
}

TEST(RfListText, TheLongestListSentIs4095Bytes) {
    // One record padded so that the text is exactly the limit, then one more.
    const std::string head = "MYVELARFID:0101;name:";
    const std::string tail = ";####";
    std::string name(RfList::kMaxTextBytes - head.size() - tail.size(), 'n');
    RfList list;
    list.Parse(head + name + tail);
    ASSERT_TRUE(list.Build().has_value());
    EXPECT_EQ(list.Build()->size(), RfList::kMaxTextBytes);
    list.Parse(head + name + "n" + tail);
    EXPECT_FALSE(list.Build().has_value());
}

TEST(RfListText, AccessoryTypesGroupByIdPrefix) {
    EXPECT_EQ(RfAccessoryTypeOf("0211").group, "Door sensor");
    EXPECT_EQ(RfAccessoryTypeOf("0211").pageTitle, "Door Bell:");
    EXPECT_EQ(RfAccessoryTypeOf("1001").pageTitle, "smart plug");
    EXPECT_EQ(RfAccessoryTypeOf("0501").group, "Other");
    EXPECT_EQ(RfAccessoryTypeOf("0501").pageTitle, "");
    EXPECT_EQ(RfAccessoryTypeOf("2").group, "Other");
    RfList list;
    list.Parse("MYVELARFID:0302;####MYVELARFID:0101;####MYVELARFID:0303;####MYVELARFID:77;####");
    EXPECT_EQ(RfGroupsInOrder(list), (std::vector<std::string_view>{"PIR", "Control", "Other"}));
    EXPECT_FALSE(list.Entries()[0].Enabled());
    list.SetPair("0302", "status", "ON");
    EXPECT_TRUE(list.Entries()[0].Enabled());
}

TEST(CommandAddressText, TakesTheFirstEntryHostAndPort) {
    auto address = ParseCommandAddress("ssp://10.0.0.5:5552;ddns://cam.example:80");
    EXPECT_EQ(address.host, "10.0.0.5");
    EXPECT_EQ(address.port, 5552);
    address = ParseCommandAddress("127.0.0.1:6001");
    EXPECT_EQ(address.host, "127.0.0.1");
    EXPECT_EQ(address.port, 6001);
}

TEST(CommandAddressText, NoPortOrABadOneIsUnusable) {
    auto address = ParseCommandAddress("ssp://10.0.0.5");
    EXPECT_EQ(address.host, "");
    EXPECT_FALSE(address.HasPort());
    EXPECT_FALSE(ParseCommandAddress("ssp://h:70000").HasPort());  // would wrap to 4464
    EXPECT_FALSE(ParseCommandAddress("ssp://h:-5").HasPort());
    EXPECT_FALSE(ParseCommandAddress("ddns://h:5552").HasPort());  // "//h:5552" has no number
    EXPECT_FALSE(ParseCommandAddress("").HasPort());
}

}  // namespace
}  // namespace orbisight
