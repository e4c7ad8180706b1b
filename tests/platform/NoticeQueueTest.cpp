#include <gtest/gtest.h>

#include <thread>

#include "platform/Notice.h"

namespace orbisight {
namespace {

TEST(NoticeQueue, WaitForSkipsOtherNoticesAndKeepsThemInOrder) {
    NoticeQueue queue;
    queue.Post({notice::kSdFileList, 0, 0, {}, {}});
    queue.Post({notice::kParameters, 7, 3, {}, {}});
    queue.Post({notice::kRfList, 0, 0, "text", {}});

    Notice found;
    ASSERT_TRUE(queue.WaitFor(notice::kParameters, found, 0));
    EXPECT_EQ(found.wParam, 7u);
    EXPECT_EQ(found.lParam, 3);

    auto rest = queue.Drain();
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0].message, notice::kSdFileList);
    EXPECT_EQ(rest[1].text, "text");
}

TEST(NoticeQueue, WaitForWakesWhenAnotherThreadPosts) {
    NoticeQueue queue;
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        queue.Post({notice::kReplyFailed, 1, 0, {}, {}});
    });
    Notice found;
    EXPECT_TRUE(queue.WaitFor(notice::kReplyFailed, found, 2000));
    poster.join();
}

TEST(NoticeQueue, FullQueueDropsTheOldest) {
    NoticeQueue queue(2);
    for (uint32_t i = 1; i <= 3; ++i) {
        queue.Post({i, 0, 0, {}, {}});
    }
    auto all = queue.Drain();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].message, 2u);
    EXPECT_EQ(queue.Dropped(), 1u);
}

TEST(Notice, RegisteredNamesHaveFixedNumbers) {
    EXPECT_EQ(RegisteredMessage("HALVEX_XOMPWORKER_PC20110907094249"), notice::kAccountSession);
    EXPECT_EQ(RegisteredMessage("unknown"), 0u);
}

}  // namespace
}  // namespace orbisight
