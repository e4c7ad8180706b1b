#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "account/DeviceInfo.h"

namespace orbisight {
namespace {

TEST(DeviceInfo, IdOf127CharactersFitsAndThe128thIsCut) {
    auto record = NewDeviceInfo();
    std::string id(127, 'A');
    record->SetId(id);
    EXPECT_EQ(record->Id(), id);
    record->SetId(id + "B");
    EXPECT_EQ(record->Id(), id);
    EXPECT_EQ(record->id[127], '\0');
}

TEST(DeviceInfo, SettersDoNotSpillIntoTheNextField) {
    auto record = NewDeviceInfo();
    record->SetName("camera");
    record->SetId(std::string(300, 'x'));
    EXPECT_EQ(record->Name(), "camera");
}

TEST(DeviceInfo, CopyIsAWholeByteCopy) {
    auto record = NewDeviceInfo();
    record->type = 3;
    record->kind = DeviceInfo::kKindLocalUtf8;
    record->SetName(
        "K\xC3\xBC"
        "che");
    record->SetPassword("secret");
    auto copy = CopyDeviceInfo(*record);
    EXPECT_EQ(std::memcmp(copy.get(), record.get(), sizeof(DeviceInfo)), 0);
    EXPECT_NE(copy.get(), record.get());
}

TEST(DeviceInfo, LookupByIdExactOrIgnoringCase) {
    DeviceList list;
    list.push_back(NewDeviceInfo());
    list.back()->SetId("abc123");
    list.push_back(nullptr);
    list.push_back(NewDeviceInfo());
    list.back()->SetId("XYZ789");
    EXPECT_EQ(FindDeviceById(list, "XYZ789", IdMatch::kExact), list[2].get());
    EXPECT_EQ(FindDeviceById(list, "xyz789", IdMatch::kExact), nullptr);
    EXPECT_EQ(FindDeviceById(list, "xyz789", IdMatch::kIgnoreCase), list[2].get());
    EXPECT_EQ(FindDeviceById(list, "none", IdMatch::kIgnoreCase), nullptr);
}

}  // namespace
}  // namespace orbisight
