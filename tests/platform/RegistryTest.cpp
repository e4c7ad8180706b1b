#include <gtest/gtest.h>
#include <sys/stat.h>

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

}  // namespace
}  // namespace orbisight
