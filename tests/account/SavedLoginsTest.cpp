#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "account/SavedLogins.h"
#include "tests/account/TempFolder.h"

namespace orbisight {
namespace {

class SavedLoginsTest : public ::testing::Test {
  protected:
    Registry Store() const { return Registry(folder_.Path() / "registry"); }
    test::TempFolder folder_;
};

TEST_F(SavedLoginsTest, RecordsRoundTripAsWholeDwordValuesMostRecentFirst) {
    SavedLogins logins(Store());
    logins.Load();
    EXPECT_EQ(logins.Count(), 0u);
    auto& first = logins.Add("alice", "secret");
    first.autoLogin = 1;
    first.autoConnect = 1;
    first.loopSlideMinutes = 3;
    first.SetAutoConnectIds({"ORBI00000001", "ORBI00000002"});
    logins.Add("bob", "");
    ASSERT_TRUE(logins.Save());

    auto raw = Store().ReadValue(SavedLogins::kKeyPath, "OrbisightUser00");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, RegistryType::kDword);
    EXPECT_EQ(raw->data.size(), sizeof(UserLoginInfo));

    SavedLogins again(Store());
    again.Load();
    ASSERT_EQ(again.Count(), 2u);
    EXPECT_EQ(again.At(0)->UserName(), "bob");
    const UserLoginInfo* alice = again.At(1);
    EXPECT_EQ(alice->UserName(), "alice");
    EXPECT_EQ(alice->Password(), "secret");
    EXPECT_EQ(alice->autoLogin, 1);
    EXPECT_EQ(alice->loopSlideMinutes, 3);
    EXPECT_EQ(alice->AutoConnectIds(), (std::vector<std::string>{"ORBI00000001", "ORBI00000002"}));
    EXPECT_EQ(std::memcmp(alice, logins.At(1), sizeof(UserLoginInfo)), 0);
    EXPECT_EQ(again.At(2), nullptr);
}

TEST_F(SavedLoginsTest, TwoHundredAndOneAreWrittenButOnlyTwoHundredReadBack) {
    SavedLogins logins(Store());
    for (int i = 200; i >= 0; --i) {
        logins.Add("user" + std::to_string(i), "");
    }
    ASSERT_TRUE(logins.Save());
    EXPECT_EQ(SavedLogins::ValueName(7), "OrbisightUser07");
    EXPECT_TRUE(Store().ReadValue(SavedLogins::kKeyPath, "OrbisightUser200").has_value());

    SavedLogins again(Store());
    again.Load();
    ASSERT_EQ(again.Count(), 200u);
    EXPECT_EQ(again.At(0)->UserName(), "user0");
    EXPECT_EQ(again.At(199)->UserName(), "user199");

    // A shorter list deletes the values it no longer uses.
    ASSERT_TRUE(again.Remove(0));
    EXPECT_FALSE(Store().ReadValue(SavedLogins::kKeyPath, "OrbisightUser199").has_value());
    SavedLogins third(Store());
    third.Load();
    ASSERT_EQ(third.Count(), 199u);
    EXPECT_EQ(third.At(0)->UserName(), "user1");
}

TEST_F(SavedLoginsTest, EmptyNamesAndOversizedValuesAreSkippedAndTextsAreBounded) {
    Registry store = Store();
    UserLoginInfo record{};
    store.WriteValue(SavedLogins::kKeyPath, "OrbisightUser00", RegistryType::kDword, &record,
                     sizeof record);  // empty user name
    std::vector<uint8_t> big(sizeof(UserLoginInfo) + 1, 'x');
    store.WriteValue(SavedLogins::kKeyPath, "OrbisightUser01", RegistryType::kDword, big.data(),
                     big.size());
    std::memset(&record, 'A', sizeof record);  // no terminators at all
    record.autoConnectCount = 100000;
    store.WriteValue(SavedLogins::kKeyPath, "OrbisightUser02", RegistryType::kDword, &record,
                     sizeof record);
    const char shortName[] = "\0\0\0\0carol";  // a short value: the rest is zero
    store.WriteValue(SavedLogins::kKeyPath, "OrbisightUser03", RegistryType::kDword, shortName,
                     sizeof shortName);

    SavedLogins logins(store);
    logins.Load();
    ASSERT_EQ(logins.Count(), 2u);
    EXPECT_EQ(logins.At(0)->UserName(), std::string(31, 'A'));
    EXPECT_EQ(logins.At(0)->Password(), std::string(59, 'A'));
    EXPECT_EQ(logins.At(0)->AutoConnectIds().size(), 500u);
    EXPECT_EQ(logins.At(0)->AutoConnectIds()[0], std::string(31, 'A'));
    EXPECT_EQ(logins.At(1)->UserName(), "carol");
}

TEST_F(SavedLoginsTest, UseAddAndRemoveKeepTheOrderAndTheRecordInUse) {
    SavedLogins logins(Store());
    logins.Add("c", "");
    logins.Add("b", "");
    logins.Add("a", std::string(80, 'p'));
    EXPECT_EQ(logins.At(0)->Password().size(), 59u);  // cut to the field

    UserLoginInfo* c = logins.At(2);
    logins.SetInUse(c);
    logins.Use(2);
    EXPECT_EQ(logins.At(0), c);
    EXPECT_EQ(logins.InUse(), c);  // records do not move in memory
    logins.Use(0);
    logins.Use(17);
    EXPECT_EQ(logins.At(0)->UserName(), "c");

    logins.Add("a", "dup");  // duplicates are allowed
    EXPECT_EQ(logins.Count(), 4u);

    EXPECT_TRUE(logins.Remove(1));  // the record in use
    EXPECT_EQ(logins.InUse(), nullptr);
    EXPECT_FALSE(logins.Remove(10));

    SavedLogins again(Store());
    again.Load();
    ASSERT_EQ(again.Count(), 3u);
    EXPECT_EQ(again.At(0)->Password(), "dup");
}

TEST_F(SavedLoginsTest, ReloadKeepsTheRecordInUseByName) {
    SavedLogins logins(Store());
    logins.Add("b", "");
    logins.SetInUse(&logins.Add("a", ""));
    logins.Save();
    logins.Load();
    ASSERT_NE(logins.InUse(), nullptr);
    EXPECT_EQ(logins.InUse()->UserName(), "a");
    EXPECT_EQ(logins.InUse(), logins.At(0));
}

TEST_F(SavedLoginsTest, AFailedSaveKeepsEveryStoredLogin) {
    SavedLogins logins(Store());
    for (const char* name : {"carol", "bob", "alice"}) {
        logins.Add(name, "pw");
    }
    ASSERT_TRUE(logins.Save());

    // The second of the three writes fails: nothing of the save may stay.
    logins.Add("dave", "");
    logins.Store().FailWritesAfter(1);
    EXPECT_FALSE(logins.Save());
    // Removing an entry stores the list too, and reports the failure.
    logins.Store().FailWritesAfter(0);
    EXPECT_FALSE(logins.Remove(3));
    SavedLogins stored(Store());
    stored.Load();
    ASSERT_EQ(stored.Count(), 3u);
    EXPECT_EQ(stored.At(0)->UserName(), "alice");
    EXPECT_EQ(stored.At(2)->UserName(), "carol");

    logins.Store().FailWritesAfter(-1);
    ASSERT_TRUE(logins.Save());
    stored.Load();
    ASSERT_EQ(stored.Count(), 3u);
    EXPECT_EQ(stored.At(0)->UserName(), "dave");

    // A store that cannot be created at all (its folder's parent is a
    // file): a failure, reported.
    std::ofstream(folder_.Path() / "plain") << "x";
    SavedLogins nowhere(Registry(folder_.Path() / "plain" / "registry"));
    nowhere.Add("erin", "");
    EXPECT_FALSE(nowhere.Save());
}

}  // namespace
}  // namespace orbisight
