#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "account/LocalDeviceStore.h"
#include "account/SessionLists.h"
#include "platform/Files.h"
#include "tests/account/TempFolder.h"

namespace orbisight {
namespace {

class LocalDeviceStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { SetNextLocalGroupNumber(kFirstLocalGroupNumber); }
    std::filesystem::path File() const { return folder_.Path() / LocalDeviceStore::kFileName; }
    std::vector<uint8_t> FileBytes() const {
        std::vector<uint8_t> bytes;
        ReadWholeFile(File(), bytes);
        return bytes;
    }
    static int32_t Int32At(const std::vector<uint8_t>& bytes, size_t offset) {
        int32_t value = 0;
        std::memcpy(&value, bytes.data() + offset, 4);
        return value;
    }
    void WriteRaw(const std::vector<uint8_t>& bytes) {
        std::ofstream out(File(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    const DeviceInfo* Named(const DeviceList& list, std::string_view name) {
        for (const auto& record : list) {
            if (record->Name() == name) {
                return record.get();
            }
        }
        return nullptr;
    }

    test::TempFolder folder_;
};

TEST_F(LocalDeviceStoreTest, FreshInstallationNumbersGroupsFrom100AndSavesTheCounter) {
    SessionLists lists(File());
    EXPECT_FALSE(lists.LoadLocal().opened);
    EXPECT_EQ(lists.Size(DeviceListKind::kLocal), 0u);

    EXPECT_EQ(lists.AddLocalGroup("Home", 0), 0);
    EXPECT_EQ(lists.AddLocalGroup("Office", 0), 0);
    auto groups = lists.Snapshot(DeviceListKind::kLocal);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].groupNumber, 100);
    EXPECT_EQ(groups[1].groupNumber, 101);
    EXPECT_EQ(groups[0].isGroup, 1);
    EXPECT_EQ(groups[0].local, 1);

    auto bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 8 + 2 * sizeof(DeviceInfo));
    EXPECT_EQ(Int32At(bytes, 0), 102);
    EXPECT_EQ(Int32At(bytes, 4), 2);
}

TEST_F(LocalDeviceStoreTest, FileWrittenByUsIsReadBackByteForByte) {
    SessionLists lists(File());
    lists.AddLocalGroup("Garden", 0);
    lists.AddLocalDevice("ORBI00000001", "10.1.2.3",
                         "K\xC3\xBC"
                         "che",
                         "pw", 100);
    lists.AddLocalDevice("ORBI00000002", "", "", "", 0);
    // Loading clears the run-time fields, so compare against a file written
    // with them cleared.
    lists.ClearLocalStatus();
    ASSERT_TRUE(lists.SaveLocal());
    auto first = FileBytes();

    SetNextLocalGroupNumber(kFirstLocalGroupNumber);
    SessionLists again(File());
    auto report = again.LoadLocal();
    EXPECT_TRUE(report.opened);
    EXPECT_FALSE(report.truncated);
    EXPECT_EQ(report.read, 3);
    EXPECT_EQ(NextLocalGroupNumber(), 101);
    ASSERT_TRUE(again.SaveLocal());
    EXPECT_EQ(FileBytes(), first);

    auto device = again.Find(DeviceListKind::kLocal, "ORBI00000001", IdMatch::kExact);
    ASSERT_TRUE(device.has_value());
    EXPECT_EQ(device->Name(),
              "K\xC3\xBC"
              "che");
    EXPECT_EQ(device->Url(), "ssp://10.1.2.3:5552");
    EXPECT_EQ(device->HostAddress(), "10.1.2.3");
    EXPECT_EQ(device->User(), "admin");
    EXPECT_EQ(device->kind, DeviceInfo::kKindLocalUtf8);
    EXPECT_EQ(device->parentGroup, 100);
}

TEST_F(LocalDeviceStoreTest, LoadClearsConnectedAndStatusFromAnEarlierRun) {
    LocalDeviceStore store(File());
    auto& device = store.AddDevice("ID1", "1.2.3.4", "cam", "", 0);
    device.connected = 1;
    device.status = 2;
    device.treeItem = 77;
    ASSERT_TRUE(store.Save());

    LocalDeviceStore again(File());
    again.Load();
    ASSERT_EQ(again.List().size(), 1u);
    EXPECT_EQ(again.List()[0]->connected, 0);
    EXPECT_EQ(again.List()[0]->status, 0);
    EXPECT_EQ(again.List()[0]->local, 1);
}

TEST_F(LocalDeviceStoreTest, ShortOrAbsurdFilesAreReadUpToTheLastWholeRecord) {
    LocalDeviceStore store(File());
    store.AddDevice("A", "", "a", "", 0);
    store.AddDevice("B", "", "b", "", 0);
    store.AddDevice("C", "", "c", "", 0);
    auto image = store.Encode();

    struct Case {
        const char* what;
        int32_t count;
        size_t cutBytes;  // removed from the end
        size_t expected;
        bool truncated;
    };
    const Case cases[] = {
        {"exact", 3, 0, 3, false},
        {"absurd count", 1000000000, 0, 3, true},
        {"negative count", -5, 0, 0, true},
        {"count below the records", 2, 0, 2, false},
        {"last record cut in the middle", 3, 100, 2, true},
        {"only a partial record", 1, 2 * sizeof(DeviceInfo) + 1, 0, true},
    };
    for (const auto& c : cases) {
        auto bytes = image;
        std::memcpy(bytes.data() + 4, &c.count, 4);
        bytes.resize(bytes.size() - c.cutBytes);
        WriteRaw(bytes);
        LocalDeviceStore loaded(File());
        auto report = loaded.Load();
        EXPECT_EQ(loaded.List().size(), c.expected) << c.what;
        EXPECT_EQ(report.truncated, c.truncated) << c.what;
    }

    // Shorter than the header: unreadable, the counter keeps its value.
    SetNextLocalGroupNumber(345);
    WriteRaw({1, 2, 3});
    LocalDeviceStore tiny(File());
    EXPECT_FALSE(tiny.Load().opened);
    EXPECT_TRUE(tiny.List().empty());
    EXPECT_EQ(NextLocalGroupNumber(), 345);
}

TEST_F(LocalDeviceStoreTest, TextsWithoutTerminatorInTheFileAreCutInsideTheirField) {
    LocalDeviceStore store(File());
    store.AddDevice("A", "", "a", "", 0);
    auto bytes = store.Encode();
    auto* record = reinterpret_cast<DeviceInfo*>(bytes.data() + 8);
    std::memset(record->name, 'N', sizeof record->name);
    std::memset(record->id, 'I', sizeof record->id);
    WriteRaw(bytes);

    LocalDeviceStore loaded(File());
    loaded.Load();
    ASSERT_EQ(loaded.List().size(), 1u);
    EXPECT_EQ(loaded.List()[0]->Name().size(), 127u);
    EXPECT_EQ(loaded.List()[0]->Id().size(), 127u);
}

TEST_F(LocalDeviceStoreTest, DeletingAGroupOrphansItsGroupsAndMovesItsDevicesUp) {
    SessionLists lists(File());
    lists.AddLocalGroup("Outer", 0);    // 100
    lists.AddLocalGroup("Inner", 100);  // 101
    lists.AddLocalGroup("Deep", 101);   // 102
    lists.AddLocalDevice("D", "1.1.1.1", "D", "", 100);
    lists.AddLocalDevice("E", "1.1.1.2", "E", "", 102);
    lists.AddLocalDevice("F", "1.1.1.3", "F", "", 0);

    LocalEntryRef outer{true, 100, ""};
    EXPECT_EQ(lists.DeleteLocalEntry(outer), 1);
    auto now = lists.Snapshot(DeviceListKind::kLocal);
    DeviceList view;
    for (auto& r : now) {
        view.push_back(CopyDeviceInfo(r));
    }
    EXPECT_EQ(Named(view, "Outer"), nullptr);
    ASSERT_NE(Named(view, "Inner"), nullptr);
    EXPECT_EQ(Named(view, "Inner")->orphan, 1);  // stays until the next load
    EXPECT_EQ(Named(view, "Deep")->orphan, 1);
    EXPECT_EQ(Named(view, "D")->parentGroup, 0);
    EXPECT_EQ(Named(view, "E")->parentGroup, 0);
    EXPECT_EQ(Named(view, "F")->parentGroup, 0);

    SessionLists restarted(File());
    auto report = restarted.LoadLocal();
    EXPECT_EQ(report.dropped, 2);
    auto names = restarted.Snapshot(DeviceListKind::kLocal);
    ASSERT_EQ(names.size(), 3u);
    for (auto& r : names) {
        EXPECT_EQ(r.isGroup, 0);
        EXPECT_EQ(r.parentGroup, 0);
    }
    EXPECT_EQ(lists.DeleteLocalEntry(outer), 0);  // already gone
}

TEST_F(LocalDeviceStoreTest, DeletingAGroupInAParentLoopEnds) {
    LocalDeviceStore store(File());
    store.AddGroup("A", 101);  // 100, parent 101
    store.AddGroup("B", 100);  // 101, parent 100
    store.AddGroup("C", 101);  // 102
    EXPECT_TRUE(store.DeleteEntry({true, 100, ""}));
    ASSERT_EQ(store.List().size(), 2u);
    EXPECT_EQ(store.List()[0]->orphan, 1);
    EXPECT_EQ(store.List()[1]->orphan, 1);
}

TEST_F(LocalDeviceStoreTest, AddingADeviceUpdatesTheEntryWithTheSameIdInAnyCase) {
    LocalDeviceStore store(File());
    store.AddDevice("orbi00000001", "10.0.0.1", "Porch", "one", 0);
    auto& again = store.AddDevice("ORBI00000001", "", "", "", 5);
    ASSERT_EQ(store.List().size(), 1u);
    EXPECT_EQ(&again, store.List()[0].get());
    EXPECT_EQ(again.Id(), "ORBI00000001");
    EXPECT_EQ(again.Name(), "IPCam");  // no name given: the default name
    EXPECT_EQ(again.Password(), "");
    EXPECT_EQ(again.parentGroup, 0);  // an update keeps the parent
    // No host given: the default address list, the old host address stays.
    EXPECT_EQ(again.Url(), "ssp://192.168.20.38:5552");
    EXPECT_EQ(again.status, DeviceInfo::kStatusOnline);

    auto& withPort = store.AddDevice("X", "127.0.0.1:6001", "", "", 0);
    EXPECT_EQ(withPort.Url(), "ssp://127.0.0.1:6001");
}

TEST_F(LocalDeviceStoreTest, AGroupNameIsRefusedOnlyBesideAGroupOfTheSameNameAndParent) {
    LocalDeviceStore store(File());
    EXPECT_EQ(store.AddGroup("Home", 0), 0);
    EXPECT_EQ(store.AddGroup("HOME", 0), 1);
    EXPECT_EQ(store.AddGroup("Home", 100), 0);
    store.AddDevice("Home", "", "Home", "", 0);  // a device of that name does not count
    EXPECT_EQ(store.AddGroup("Garage", 0), 0);
    EXPECT_EQ(store.List().size(), 4u);
}

TEST_F(LocalDeviceStoreTest, CounterStaysAboveStoredGroups) {
    LocalDeviceStore store(File());
    store.AddGroup("A", 0);
    store.AddGroup("B", 0);  // 101
    auto bytes = store.Encode();
    int32_t stale = 50;
    std::memcpy(bytes.data(), &stale, 4);
    WriteRaw(bytes);
    SessionLists lists(File());
    lists.LoadLocal();
    EXPECT_EQ(NextLocalGroupNumber(), 102);
    lists.AddLocalGroup("C", 0);
    EXPECT_EQ(lists.Snapshot(DeviceListKind::kLocal).back().groupNumber, 102);
}

// Counters a damaged file may hold: none of them may number a group 0 (the
// top level), hand out a stored group's number again or run past INT32_MAX.
TEST_F(LocalDeviceStoreTest, DamagedCountersNeverGiveATakenOrTopLevelNumberNorOverflow) {
    auto header = [](int32_t counter) {
        std::vector<uint8_t> bytes(LocalDeviceStore::kHeaderBytes, 0);
        std::memcpy(bytes.data(), &counter, 4);
        return bytes;
    };
    struct Case {
        int32_t stored;
        int32_t loaded;
    };
    // 1 is the lowest counter kept; 0 and below start over at 100.
    for (Case c : {Case{1, 1}, Case{0, 100}, Case{-7, 100}, Case{INT32_MIN, 100}}) {
        auto bytes = header(c.stored);
        LocalDeviceStore store(File());
        LocalDeviceStore::Decode(bytes.data(), bytes.size(), store.List());
        EXPECT_EQ(NextLocalGroupNumber(), c.loaded) << c.stored;
        ASSERT_EQ(store.AddGroup("G", 0), 0);
        EXPECT_EQ(store.List().back()->groupNumber, c.loaded);
    }

    // INT32_MAX - 1 is the last number handed out; at INT32_MAX a group is
    // refused and the counter stays.
    auto bytes = header(INT32_MAX - 1);
    LocalDeviceStore store(File());
    LocalDeviceStore::Decode(bytes.data(), bytes.size(), store.List());
    ASSERT_EQ(store.AddGroup("Last", 0), 0);
    EXPECT_EQ(store.List().back()->groupNumber, INT32_MAX - 1);
    EXPECT_EQ(NextLocalGroupNumber(), INT32_MAX);
    EXPECT_EQ(store.AddGroup("One too many", 0), 1);
    EXPECT_EQ(store.List().size(), 1u);
    EXPECT_EQ(NextLocalGroupNumber(), INT32_MAX);

    // A stored group numbered INT32_MAX beside a stale counter: no number is
    // left, so nothing may reuse the stale counter's value (group 5 here).
    SetNextLocalGroupNumber(5);
    LocalDeviceStore groups(File());
    groups.AddGroup("Five", 0);
    SetNextLocalGroupNumber(INT32_MAX - 1);
    groups.AddGroup("Top", 0);  // INT32_MAX - 1
    groups.List().back()->groupNumber = INT32_MAX;
    auto image = groups.Encode();
    int32_t stale = 5;
    std::memcpy(image.data(), &stale, 4);
    LocalDeviceStore loaded(File());
    LocalDeviceStore::Decode(image.data(), image.size(), loaded.List());
    EXPECT_EQ(NextLocalGroupNumber(), INT32_MAX);
    EXPECT_EQ(loaded.AddGroup("Six", 0), 1);
    EXPECT_EQ(loaded.List().size(), 2u);
}

TEST_F(LocalDeviceStoreTest, EmptyingTheListDeletesTheFile) {
    SessionLists lists(File());
    lists.AddLocalDevice("A", "", "", "", 0);
    ASSERT_TRUE(std::filesystem::exists(File()));
    lists.EmptyLocal();
    EXPECT_FALSE(std::filesystem::exists(File()));
    EXPECT_EQ(lists.Size(DeviceListKind::kLocal), 0u);
}

}  // namespace
}  // namespace orbisight
