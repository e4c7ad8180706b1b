// The session's alarm history: keys that stay with their alarm, the cap on
// kept alarms at its exact edge, and deletes from the window while the
// session's thread appends (run it under TSan too).

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "account/AlarmList.h"
#include "account/ServerListState.h"

namespace orbisight {
namespace {

AlarmMessage Alarm(const std::string& id, const std::string& title = "Motion") {
    return MakeAlarmMessage(id, title, "content");
}

std::vector<std::string> Ids(const AlarmList& list) {
    std::vector<std::string> ids;
    for (const AlarmEntry& e : list.Snapshot()) {
        ids.emplace_back(e.message.DeviceId());
    }
    return ids;
}

TEST(AlarmList, KeysFollowTheirAlarmThroughDeletesAndClear) {
    AlarmList list;
    uint64_t a = list.Append(Alarm("A"));
    uint64_t b = list.Append(Alarm("B"));
    uint64_t c = list.Append(Alarm("C"));
    EXPECT_EQ(Ids(list), (std::vector<std::string>{"A", "B", "C"})) << "oldest first";

    // Deleting B leaves C under its own key: a row that names C by key
    // still finds C, not whatever moved into B's position.
    ASSERT_TRUE(list.Remove(b));
    EXPECT_FALSE(list.Remove(b)) << "a second delete of the same row finds nothing";
    ASSERT_TRUE(list.Find(c).has_value());
    EXPECT_EQ(list.Find(c)->message.DeviceId(), "C");
    EXPECT_EQ(Ids(list), (std::vector<std::string>{"A", "C"}));

    uint64_t version = list.Version();
    EXPECT_EQ(list.Clear(), 2u);
    EXPECT_NE(list.Version(), version);
    EXPECT_FALSE(list.Remove(a));
    EXPECT_FALSE(list.Find(c).has_value());

    // After a clear a new alarm is the only one, with a key never used.
    uint64_t d = list.Append(Alarm("D"));
    EXPECT_GT(d, c);
    EXPECT_EQ(Ids(list), (std::vector<std::string>{"D"}));
}

// The session keeps the last 10000: the 10000th alarm keeps the first, the
// 10001st drops it. A row still naming the dropped alarm deletes nothing.
TEST(AlarmList, SessionKeepsTheLastTenThousandAlarms) {
    ServerListState state;
    AlarmList& list = state.alarms;
    ASSERT_EQ(list.Capacity(), 10000u);
    uint64_t first = 0;
    uint64_t last = 0;
    for (int i = 0; i < 10000; ++i) {
        last = list.Append(Alarm("CAM" + std::to_string(i)));
        if (i == 0) {
            first = last;
        }
    }
    EXPECT_EQ(list.Size(), 10000u);
    EXPECT_TRUE(list.Find(first).has_value()) << "the 10000th alarm drops nothing";

    uint64_t next = list.Append(Alarm("CAM10000"));
    EXPECT_EQ(list.Size(), 10000u);
    EXPECT_FALSE(list.Find(first).has_value()) << "the 10001st drops the oldest";
    std::vector<AlarmEntry> kept = list.Snapshot();
    EXPECT_EQ(kept.front().message.DeviceId(), "CAM1");
    EXPECT_EQ(kept.back().key, next);

    EXPECT_FALSE(list.Remove(first));
    EXPECT_EQ(list.Size(), 10000u) << "a stale row deletes nothing else";
    EXPECT_TRUE(list.Remove(last));
    EXPECT_EQ(list.Size(), 9999u);
}

TEST(AlarmList, FieldsAreCutWithoutSplittingACharacter) {
    // 85 three-byte characters are 255 bytes: the content field (256 with
    // its terminator) takes all of them; one more is left out whole.
    std::string content;
    for (int i = 0; i < 86; ++i) {
        content += "\xE8\xAD\xA6";  // one CJK character
    }
    AlarmMessage m = MakeAlarmMessage("CAM1", "Alarm", content);
    EXPECT_EQ(m.Message().size(), 255u);
    content += "x";
    m = MakeAlarmMessage("CAM1", "Alarm", "x" + content);
    EXPECT_EQ(m.Message().size(), 253u) << "x plus 84 whole characters";
}

// The window deletes rows and clears the list while the session's thread
// appends: every alarm is deleted at most once, the cap holds and the keys
// stay in order at every moment.
TEST(AlarmList, WindowDeletesWhileTheSessionAppends) {
    AlarmList list(500);
    constexpr int kAppends = 20000;
    std::atomic<bool> done{false};
    std::thread session([&] {
        for (int i = 0; i < kAppends; ++i) {
            list.Append(Alarm("CAM" + std::to_string(i % 7)));
        }
        done = true;
    });

    std::set<uint64_t> deleted;
    size_t cleared = 0;
    int rounds = 0;
    bool ordered = true;
    bool capped = true;
    while (!done || rounds < 10) {
        std::vector<AlarmEntry> rows = list.Snapshot();
        capped = capped && rows.size() <= 500;
        for (size_t i = 1; i < rows.size(); ++i) {
            ordered = ordered && rows[i - 1].key < rows[i].key;
        }
        // Delete every third row of what the window shows, newest first.
        for (size_t i = rows.size(); i-- > 0;) {
            if (i % 3 == 0 && list.Remove(rows[i].key)) {
                EXPECT_TRUE(deleted.insert(rows[i].key).second) << "deleted twice";
            }
        }
        if (++rounds % 25 == 0) {
            cleared += list.Clear();
        }
    }
    session.join();
    EXPECT_TRUE(ordered);
    EXPECT_TRUE(capped);
    size_t remaining = list.Size();
    EXPECT_LE(remaining, 500u);
    EXPECT_LE(deleted.size() + cleared + remaining, static_cast<size_t>(kAppends));
    // The next key follows every one handed out: none was given twice.
    EXPECT_EQ(list.Append(Alarm("LAST")), static_cast<uint64_t>(kAppends) + 1);
}

}  // namespace
}  // namespace orbisight
