#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/Registry.h"

namespace orbisight {
namespace {

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("registry-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
    }
    void TearDown() override { std::filesystem::remove_all(root_); }
    std::filesystem::path root_;
};

TEST_F(RegistryTest, ValuesRoundTripWithTheirTypes) {
    Registry registry(root_);
    const std::string key = "Software\\Orbisight\\Settings";
    std::vector<uint8_t> blob(1768);
    for (size_t i = 0; i < blob.size(); ++i) {
        blob[i] = static_cast<uint8_t>(i * 7);
    }
    ASSERT_TRUE(registry.WriteValue(key, "OrbisightExpert", RegistryType::kBinary, blob.data(),
                                    blob.size()));
    ASSERT_TRUE(registry.WriteDword(key, "Count", 42));
    ASSERT_TRUE(registry.WriteString(key, "Name/with\\odd:chars", "hello"));

    Registry again(root_);
    auto value = again.ReadValue(key, "OrbisightExpert");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, RegistryType::kBinary);
    EXPECT_EQ(value->data, blob);
    EXPECT_EQ(again.ReadDword(key, "Count"), 42u);
    EXPECT_EQ(again.ReadString(key, "Name/with\\odd:chars"), "hello");
    EXPECT_FALSE(again.ReadDword(key, "OrbisightExpert").has_value());  // wrong type

    auto names = again.ValueNames(key);
    EXPECT_EQ(names.size(), 3u);
}

TEST_F(RegistryTest, CreateKeyMakesMissingLevelsAndFilesArePrivate) {
    Registry registry(root_);
    EXPECT_FALSE(registry.KeyExists("A/B/C"));
    ASSERT_TRUE(registry.CreateKey("A\\B\\C"));
    EXPECT_TRUE(registry.KeyExists("A/B"));
    EXPECT_TRUE(registry.KeyExists("A/B/C"));

    ASSERT_TRUE(registry.WriteString("A/B/C", "secret", "pwd"));
    bool found = false;
    for (auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
        if (entry.is_regular_file()) {
            struct stat info {};
            ASSERT_EQ(::stat(entry.path().c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0600u) << entry.path();
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(RegistryTest, DeleteValueAndKey) {
    Registry registry(root_);
    ASSERT_TRUE(registry.WriteDword("K", "v", 1));
    EXPECT_TRUE(registry.DeleteValue("K", "v"));
    EXPECT_FALSE(registry.ReadValue("K", "v").has_value());
    EXPECT_FALSE(registry.DeleteValue("K", "v"));
    ASSERT_TRUE(registry.WriteDword("K/Sub", "v", 1));
    EXPECT_TRUE(registry.DeleteKey("K"));
    EXPECT_FALSE(registry.KeyExists("K/Sub"));
}

TEST_F(RegistryTest, ValueAndSubKeyOfTheSameNameCoexist) {
    Registry registry(root_);
    ASSERT_TRUE(registry.WriteDword("K", "Same", 5));
    ASSERT_TRUE(registry.WriteDword("K/Same", "inner", 6));
    EXPECT_EQ(registry.ReadDword("K", "Same"), 5u);
    EXPECT_EQ(registry.ReadDword("K/Same", "inner"), 6u);
}

TEST_F(RegistryTest, ReplaceValuesIsOneStepThatAFailedWriteLeavesUndone) {
    Registry registry(root_);
    const std::string key = "Software\\Orbisight\\Logins";
    ASSERT_TRUE(registry.WriteDword(key, "A", 1));
    ASSERT_TRUE(registry.WriteDword(key, "B", 2));
    ASSERT_TRUE(registry.WriteDword(key, "Other", 9));
    ASSERT_TRUE(registry.WriteDword(key + "\\Sub", "A", 5));
    auto dword = [](uint32_t v) {
        return RegistryValue{RegistryType::kDword,
                             {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}};
    };

    // A and B give way to B and C; values not named stay.
    ASSERT_TRUE(registry.ReplaceValues(key, {"A", "B"}, {{"B", dword(20)}, {"C", dword(30)}}));
    EXPECT_FALSE(registry.ReadDword(key, "A").has_value());
    EXPECT_EQ(registry.ReadDword(key, "B"), 20u);
    EXPECT_EQ(registry.ReadDword(key, "C"), 30u);
    EXPECT_EQ(registry.ReadDword(key, "Other"), 9u);
    EXPECT_EQ(registry.ReadDword(key + "\\Sub", "A"), 5u) << "sub-keys untouched";
    auto names = registry.ValueNames(key);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"B", "C", "Other"}));

    // The second new value fails to be written: every value is as before,
    // and no half-written set is left beside them.
    registry.FailWritesAfter(1);
    EXPECT_FALSE(registry.ReplaceValues(key, {"B", "C"}, {{"B", dword(200)}, {"D", dword(400)}}));
    EXPECT_EQ(registry.ReadDword(key, "B"), 20u);
    EXPECT_EQ(registry.ReadDword(key, "C"), 30u);
    EXPECT_FALSE(registry.ReadDword(key, "D").has_value());
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(root_ / "Software" / "Orbisight" / "Logins")) {
        ++entries;
    }
    EXPECT_EQ(entries, 2u) << "the values and the sub-key only";

    // Removing everything leaves an empty key; a key that did not exist is
    // created.
    registry.FailWritesAfter(-1);
    ASSERT_TRUE(registry.ReplaceValues(key, {"B", "C", "Other"}, {}));
    EXPECT_TRUE(registry.ValueNames(key).empty());
    ASSERT_TRUE(registry.ReplaceValues("Fresh", {}, {{"X", dword(7)}}));
    EXPECT_EQ(registry.ReadDword("Fresh", "X"), 7u);
}

}  // namespace
}  // namespace orbisight
