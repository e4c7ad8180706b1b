#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "account/ListFetchThreads.h"
#include "platform/Clock.h"
#include "tests/account/TempFolder.h"

namespace orbisight {
namespace {

// The fetch threads against a "my" list filled by the test; sent requests
// are recorded, and a status request is answered at once.
class ListFetchThreadsTest : public ::testing::Test {
  protected:
    ListFetchThreadsTest() : lists_(folder_.Path() / "LocalDevInfos.dat") {
        timings_ = AccountTimings::Fast();
        timings_.groupQuietMs = 50;
        timings_.devInfoPacingMs = 5;
    }

    std::unique_ptr<ListFetchThreads> Start(bool answerStatus = true) {
        auto fetch = std::make_unique<ListFetchThreads>(
            lists_, state_,
            [this, answerStatus](const AccountRequest& request) {
                {
                    std::lock_guard lock(sentMutex_);
                    sent_.push_back(request);
                }
                if (onSend_) {
                    onSend_(request);
                }
                if (answerStatus && request.resource == "dev-status") {
                    fetch_->StatusReceived();
                }
                return true;
            },
            timings_);
        fetch_ = fetch.get();
        return fetch;
    }
    void AddEntries(int groups, int devices) {
        lists_.Edit(DeviceListKind::kMy, [&](DeviceList& my) {
            for (int i = 0; i < groups; ++i) {
                auto record = NewDeviceInfo();
                record->SetId(std::to_string(1000 + i));
                record->isGroup = 1;
                my.push_back(std::move(record));
            }
            for (int i = 0; i < devices; ++i) {
                auto record = NewDeviceInfo();
                record->SetId("DEV" + std::to_string(i));
                my.push_back(std::move(record));
            }
        });
    }
    std::vector<AccountRequest> Sent(const std::string& resource) {
        std::lock_guard lock(sentMutex_);
        std::vector<AccountRequest> matching;
        for (const auto& request : sent_) {
            if (request.resource == resource) {
                matching.push_back(request);
            }
        }
        return matching;
    }
    static int Count(const AccountRequest& request, const std::string& name) {
        int n = 0;
        for (const auto& section : request.sections) {
            n += section.first == name ? 1 : 0;
        }
        return n;
    }

    test::TempFolder folder_;
    SessionLists lists_;
    ServerListState state_;
    AccountTimings timings_;
    ListFetchThreads* fetch_ = nullptr;
    std::mutex sentMutex_;
    std::vector<AccountRequest> sent_;
    std::function<void(const AccountRequest&)> onSend_;  // set before Start
};

TEST_F(ListFetchThreadsTest, SixtyGroupsAndTenDevicesGoOutInBatchesOfFifty) {
    AddEntries(60, 10);
    auto fetch = Start();
    fetch->GroupComplete();
    ASSERT_TRUE(fetch->WaitComplete(10000));

    auto info = Sent("dev-info");
    ASSERT_EQ(info.size(), 2u);
    EXPECT_EQ(Count(info[0], "group-id"), 50);
    EXPECT_EQ(Count(info[1], "group-id"), 10);
    EXPECT_EQ(Count(info[1], "device-id"), 10);
    EXPECT_EQ(info[0].sections.back(),
              (std::pair<std::string, std::string>{"cseq", "3 [dev-info]"}));

    // Groups count toward a status batch but add no section.
    auto status = Sent("dev-status");
    ASSERT_EQ(status.size(), 2u);
    EXPECT_EQ(Count(status[0], "device-id"), 0);
    EXPECT_EQ(Count(status[1], "device-id"), 10);
    EXPECT_EQ(status[0].sections.back().second, "5");
    std::lock_guard lock(lists_.Mutex());
    EXPECT_EQ(state_.devStatusCounter, 70);
}

TEST_F(ListFetchThreadsTest, AListSortedAgainMidWalkHasEveryEntryAskedForExactlyOnce) {
    // Every status reply sorts the list again (and device information may
    // arrive meanwhile): here each request turns the list round and the
    // list grows by one device while the walks run.
    AddEntries(2, 128);
    int added = 0;
    onSend_ = [&](const AccountRequest&) {
        lists_.Edit(DeviceListKind::kMy, [&](DeviceList& my) {
            std::reverse(my.begin(), my.end());
            if (added++ == 0) {
                auto record = NewDeviceInfo();
                record->SetId("LATE");
                my.push_back(std::move(record));
            }
        });
    };
    auto fetch = Start();
    fetch->GroupComplete();
    ASSERT_TRUE(fetch->WaitComplete(10000));

    for (const char* resource : {"dev-info", "dev-status"}) {
        std::map<std::string, int> asked;
        for (const auto& request : Sent(resource)) {
            for (const auto& [name, value] : request.sections) {
                if (name == "device-id" || name == "group-id") {
                    ++asked[value];
                }
            }
        }
        size_t expected = std::string(resource) == "dev-info" ? 131u : 129u;  // no groups
        EXPECT_EQ(asked.size(), expected) << resource;
        for (const auto& [id, times] : asked) {
            EXPECT_EQ(times, 1) << resource << " " << id;
        }
        EXPECT_EQ(asked.count("LATE"), 1u) << resource;
    }
    std::lock_guard lock(lists_.Mutex());
    EXPECT_EQ(state_.devStatusCounter, 131);
}

TEST_F(ListFetchThreadsTest, PagerAsksForEachDuePageOnceAndWaitsForTheNextSignal) {
    auto fetch = Start();
    {
        std::lock_guard lock(lists_.Mutex());
        state_.currentGroup = 7;
        state_.groupPages[7] = {7, 100, 250, GroupPageInfo::PagesFor(250), 1};
    }
    fetch->NextPage();  // starts the pager: page 1
    for (int i = 0; i < 200 && Sent("dev-list").size() < 1; ++i) {
        SleepMs(5);
    }
    SleepMs(50);
    ASSERT_EQ(Sent("dev-list").size(), 1u);
    fetch->NextPage();  // the next reply: page 2
    for (int i = 0; i < 200 && Sent("dev-list").size() < 2; ++i) {
        SleepMs(5);
    }
    fetch->NextPage();  // no page 3
    SleepMs(50);
    auto pages = Sent("dev-list");
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].sections[0], (std::pair<std::string, std::string>{"group-id", "7"}));
    EXPECT_EQ(pages[0].sections[1].second, "1");
    EXPECT_EQ(pages[1].sections[1].second, "2");
    EXPECT_EQ(pages[1].sections[2].second, "2 [7] ");
}

TEST_F(ListFetchThreadsTest, EndingTheSessionStopsAWalkWaitingForStatus) {
    AddEntries(0, 120);
    timings_.statusReplyWaitMs = 60000;  // no answer comes
    auto fetch = Start(false);
    fetch->GroupComplete();
    for (int i = 0; i < 400 && Sent("dev-status").empty(); ++i) {
        SleepMs(5);
    }
    ASSERT_EQ(Sent("dev-status").size(), 1u);
    EXPECT_TRUE(fetch->Busy());
    lists_.ClearServerLists();
    fetch->EndSession();
    for (int i = 0; i < 400 && fetch->Busy(); ++i) {
        SleepMs(5);
    }
    EXPECT_FALSE(fetch->Busy());
    EXPECT_FALSE(fetch->WaitComplete(10));  // ended, not completed
    EXPECT_EQ(Sent("dev-status").size(), 1u);
}

}  // namespace
}  // namespace orbisight
