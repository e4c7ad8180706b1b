#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "account/CXOMPPackageBuilder.h"
#include "account/CXOMPPackageParser.h"
#include "account/ListReplyHandler.h"

namespace orbisight {
namespace {

// The lists and state a session keeps, and a way to feed it messages.
class ListReplyHandlerTest : public ::testing::Test {
  protected:
    ListsInProgress Lists() { return {publicList_, myList_, state_}; }

    CXOMPPackageParser Parse(CXOMPPackageBuilder& builder) {
        std::string bytes(builder.getBuffer(), static_cast<size_t>(builder.getDataLen()));
        CXOMPPackageParser parser;
        EXPECT_TRUE(parser.parse(bytes.substr(4, bytes.size() - 4 - body_.size())));
        return parser;
    }
    // A reply with the given sections (in order) and optional body.
    ReplyActions Reply(const std::vector<std::pair<std::string, std::string>>& sections,
                       const std::string& body = {}) {
        CXOMPPackageBuilder builder;
        builder.setStatus(200, "OK");
        for (const auto& [name, value] : sections) {
            builder.addSection(name, value);
        }
        body_ = body;
        builder.setBody(body);
        CXOMPPackageParser parser = Parse(builder);
        ReplyActions actions;
        ListReplyHandler::HandleHeader(parser, Lists(), actions);
        ListReplyHandler::HandleBody(parser, body, Lists(), actions);
        return actions;
    }
    ReplyActions Notify(const std::string& resource,
                        const std::vector<std::pair<std::string, std::string>>& sections) {
        CXOMPPackageBuilder builder;
        builder.setHeader("notify " + resource, 1);
        for (const auto& [name, value] : sections) {
            builder.addSection(name, value);
        }
        body_.clear();
        CXOMPPackageParser parser = Parse(builder);
        ReplyActions actions;
        ListReplyHandler::HandleNotification(parser, Lists(), actions);
        return actions;
    }
    static std::vector<std::pair<std::string, std::string>> Devices(int first, int count) {
        std::vector<std::pair<std::string, std::string>> sections;
        for (int i = first; i < first + count; ++i) {
            sections.emplace_back("device-id", "D" + std::to_string(i));
        }
        return sections;
    }
    static int CountPosts(const ReplyActions& actions, uintptr_t code) {
        int n = 0;
        for (const auto& post : actions.posts) {
            n += post.code == code ? 1 : 0;
        }
        return n;
    }
    DeviceInfo* My(const std::string& id) { return FindDeviceById(myList_, id, IdMatch::kExact); }

    DeviceList publicList_;
    DeviceList myList_;
    ServerListState state_;
    std::string body_;
};

TEST_F(ListReplyHandlerTest, PagingOfATotalOf250InGroup7) {
    auto sections = Devices(0, 100);
    sections.insert(sections.begin(), {"total", "250"});
    sections.emplace_back("cseq", "2 [7] ");
    ReplyActions first = Reply(sections);
    const GroupPageInfo& page = state_.groupPages.at(7);
    EXPECT_EQ(page.pageCount, 3);
    EXPECT_EQ(page.nextPage, 1);
    EXPECT_EQ(page.received, 100);
    EXPECT_TRUE(first.nextPage);
    EXPECT_FALSE(first.groupComplete);
    EXPECT_EQ(state_.currentGroup, 7);
    EXPECT_EQ(myList_.size(), 100u);
    EXPECT_EQ(My("D5")->parentGroup, 7);

    // The second page carries no total: paging goes on.
    auto second = Devices(100, 100);
    second.emplace_back("cseq", "2 [7] ");
    EXPECT_TRUE(Reply(second).nextPage);
    EXPECT_EQ(state_.groupPages.at(7).received, 200);

    auto third = Devices(200, 50);
    third.emplace_back("cseq", "2 [7] ");
    ReplyActions last = Reply(third);
    EXPECT_TRUE(last.groupComplete);
    EXPECT_FALSE(last.nextPage);
    EXPECT_EQ(myList_.size(), 250u);

    // A total that arrives again starts the group's paging over.
    state_.groupPages.at(7).nextPage = 3;
    Reply({{"total", "250"}, {"cseq", "2 [7]"}});
    EXPECT_EQ(state_.groupPages.at(7).nextPage, 1);
    EXPECT_EQ(GroupPageInfo::PagesFor(99), 1);
    EXPECT_EQ(GroupPageInfo::PagesFor(100), 2);
}

TEST_F(ListReplyHandlerTest, EntriesKnownBeforeTheirPageStillCountAndAreNotDuplicated) {
    // A status reply created D0..D9 before the list came.
    Reply({{"cseq", "5"}},
          "<dev-status><dev id=\"D0\" status=\"2\" url=\"u\"/><dev id=\"D9\" status=\"0\"/>"
          "</dev-status>");
    ASSERT_EQ(myList_.size(), 2u);
    auto sections = Devices(0, 10);
    sections.insert(sections.begin(), {"total", "10"});
    sections.emplace_back("group-id", "42");
    sections.emplace_back("cseq", "2 [0]");
    ReplyActions actions = Reply(sections);
    EXPECT_EQ(myList_.size(), 11u);
    EXPECT_TRUE(actions.groupComplete);
    EXPECT_EQ(My("42")->isGroup, 1);
    EXPECT_EQ(My("42")->groupNumber, 42);

    // A reply for a group without a page entry asks for nothing.
    ReplyActions unknown = Reply({{"device-id", "X"}, {"cseq", "2 [99]"}});
    EXPECT_FALSE(unknown.groupComplete || unknown.nextPage);
    // ... unless the refresh flag says the list is complete anyway.
    state_.refresh = true;
    auto refreshed = Devices(0, 3);
    refreshed.emplace_back("cseq", "2 [0]");
    state_.groupPages[0].received = 0;
    EXPECT_TRUE(Reply(refreshed).groupComplete);
    EXPECT_FALSE(state_.refresh);
}

TEST_F(ListReplyHandlerTest, DevInfoBodyWith120DevicesCountsEachOnceAndPostsTheEndOnce) {
    std::string body = "<dev-info count=\"120\">";
    for (int i = 0; i < 120; ++i) {
        body += "<dev id=\"D" + std::to_string(i) + "\"><name>Cam " + std::to_string(i) +
                "</name><type>3</type><group>5</group><url>ssp://10.0.0.1:5552</url>"
                "<hversion>H</hversion><sversion>S</sversion><tips>t&amp;t</tips>"
                "<remark>r</remark></dev>";
    }
    body += "</dev-info>";
    ReplyActions actions = Reply({{"total", "120"}, {"cseq", "3 [dev-info]"}}, body);
    EXPECT_EQ(CountPosts(actions, 7), 120);
    EXPECT_EQ(CountPosts(actions, 4), 1);
    EXPECT_EQ(actions.posts.back().code, 4u);
    EXPECT_EQ(state_.counted, 120);
    EXPECT_EQ(state_.expectedTotal, 120);
    EXPECT_EQ(state_.devInfoCounter, 120);
    DeviceInfo* cam = My("D7");
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->Name(), "Cam 7");
    EXPECT_EQ(cam->type, 3);
    EXPECT_EQ(cam->parentGroup, 5);
    EXPECT_EQ(cam->Tips(), "t&t");
    EXPECT_EQ(cam->Url(), "ssp://10.0.0.1:5552");
    EXPECT_EQ(cam->HardwareVersion(), "H");
    EXPECT_EQ(cam->local, 0);
}

TEST_F(ListReplyHandlerTest, GroupsAndDevicesInAnyOrderGiveTheSameLists) {
    const std::string mixed =
        "<dev-info count=\"4\">"
        "<dev id=\"D1\"><name>Porch</name><group>9</group></dev>"
        "<group id=\"9\" name=\"Home\" parent=\"0\"/>"
        "<dev id=\"D2\"><name>Yard</name><group>10</group></dev>"
        "<group id=\"10\" name=\"Garden\" parent=\"9\"/>"
        "<other id=\"X\"/>"
        "</dev-info>";
    ReplyActions actions = Reply({{"total", "4"}, {"cseq", "2000"}}, mixed);
    EXPECT_EQ(CountPosts(actions, 7), 4);
    EXPECT_EQ(state_.counted, 4);
    ASSERT_EQ(myList_.size(), 4u);
    EXPECT_EQ(My("9")->isGroup, 1);
    EXPECT_EQ(My("9")->Name(), "Home");
    EXPECT_EQ(My("10")->parentGroup, 9);
    EXPECT_EQ(My("10")->groupNumber, 10);
    EXPECT_EQ(My("D1")->isGroup, 0);
    EXPECT_EQ(My("D2")->parentGroup, 10);
    EXPECT_EQ(My("X"), nullptr);

    // Not XML at all: nothing changes.
    ReplyActions garbage = Reply({{"cseq", "3 [dev-info]"}}, "<dev-info><dev id=");
    EXPECT_TRUE(garbage.posts.empty());
    EXPECT_EQ(myList_.size(), 4u);
}

TEST_F(ListReplyHandlerTest, StatusOutOfRangeIsOfflineInABodyAndAsSentInANotification) {
    auto shared = NewDeviceInfo();
    shared->SetId("P");
    publicList_.push_back(std::move(shared));
    ReplyActions body =
        Reply({{"cseq", "5"}},
              "<dev-status><dev id=\"A\" status=\"3\" url=\"a\"/><dev id=\"B\" status=\"-1\"/>"
              "<dev id=\"C\" status=\"2\"/><dev id=\"P\" status=\"1\" url=\"p\"/>"
              "<dev status=\"2\"/><dev id=\"D\"/></dev-status>");
    EXPECT_TRUE(body.statusReceived);
    EXPECT_EQ(My("A")->status, 0);
    EXPECT_EQ(My("A")->Url(), "a");
    EXPECT_EQ(My("B")->status, 0);
    EXPECT_EQ(My("C")->status, 2);
    EXPECT_EQ(My("D")->status, 0);  // no status attribute
    EXPECT_EQ(publicList_[0]->status, 1);
    EXPECT_EQ(publicList_[0]->Url(), "p");
    EXPECT_EQ(myList_.size(), 5u);
    EXPECT_EQ(myList_[0]->Id(), "C");  // sorted: on-line first

    ReplyActions note =
        Notify("dev-status", {{"device-id", "A"}, {"status", "3"}, {"data-url", "new"}});
    EXPECT_EQ(My("A")->status, 3);
    EXPECT_EQ(My("A")->Url(), "new");
    ASSERT_EQ(note.posts.size(), 1u);
    EXPECT_EQ(note.posts[0].code, 4u);
    EXPECT_EQ(note.posts[0].value, 2);
    EXPECT_EQ(note.posts[0].text, "A");
    auto copy = std::static_pointer_cast<DeviceInfo>(note.posts[0].object);
    EXPECT_EQ(copy->status, 3);

    note = Notify("DEV-STATUS", {{"device-id", "P"}, {"status", "-1"}});
    EXPECT_EQ(publicList_[0]->status, -1);
    EXPECT_EQ(note.posts.size(), 2u);  // the public and the my record
}

TEST_F(ListReplyHandlerTest, AServerCannotGrowTheListsWithoutBound) {
    std::string body = "<dev-status>";
    const size_t sent = ListReplyHandler::kMaxServerEntries + 20;
    for (size_t i = 0; i < sent; ++i) {
        body += "<dev id=\"S" + std::to_string(i) + "\" status=\"0\"/>";
    }
    body += "</dev-status>";
    Reply({{"cseq", "5"}}, body);
    EXPECT_EQ(myList_.size(), ListReplyHandler::kMaxServerEntries);
    // Known records are still updated.
    Notify("dev-status", {{"device-id", "S5"}, {"status", "2"}});
    EXPECT_EQ(My("S5")->status, 2);
    Notify("dev-status", {{"device-id", "NEW"}, {"status", "2"}});
    EXPECT_EQ(My("NEW"), nullptr);
}

TEST_F(ListReplyHandlerTest, NotificationsFillTheAlarmListAndAskForDetails) {
    ReplyActions alarm =
        Notify("alarm", {{"device-id", "CAM1"}, {"title", "Alarm"}, {"message", "Motion"}});
    std::vector<AlarmMessage> alarms = state_.alarms.Messages();
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0].DeviceId(), "CAM1");
    EXPECT_EQ(alarms[0].Message(), "Motion");
    EXPECT_EQ(alarms[0].ReceiveTime().size(), 19u);  // "DD-MM-YYYY hh:mm:ss"
    ASSERT_EQ(alarm.posts.size(), 1u);
    EXPECT_EQ(alarm.posts[0].code, 5u);
    EXPECT_NE(alarm.posts[0].object, nullptr);

    ReplyActions info = Notify("dev-info", {{"device-id", "CAM1"}});
    ASSERT_EQ(info.requests.size(), 2u);
    EXPECT_EQ(info.requests[0].resource, "dev-info");
    EXPECT_EQ(info.requests[0].sections.back().second, "3 [dev-info]");
    EXPECT_EQ(info.requests[1].resource, "dev-status");
    EXPECT_EQ(info.requests[1].sections.back().second, "5 [dev-status]");

    EXPECT_TRUE(Notify("something", {{"device-id", "CAM1"}, {"status", "2"}}).posts.empty());
    EXPECT_TRUE(myList_.empty());
}

TEST_F(ListReplyHandlerTest, TwoPassSortOfBACWithStatus202) {
    const std::pair<const char*, int> entries[] = {{"B", 2}, {"A", 0}, {"C", 2}};
    for (const auto& [name, status] : entries) {
        auto record = NewDeviceInfo();
        record->SetName(name);
        record->status = status;
        myList_.push_back(std::move(record));
    }
    ListReplyHandler::SortByNameThenStatus(myList_);
    std::string order;
    for (const auto& record : myList_) {
        order += record->Name();
    }
    EXPECT_EQ(order, "BCA");

    // Names compare without regard to case; empty names do not move by name.
    myList_.clear();
    for (const char* name : {"delta", "", "Alpha", "charlie"}) {
        auto record = NewDeviceInfo();
        record->SetName(name);
        myList_.push_back(std::move(record));
    }
    ListReplyHandler::SortByNameThenStatus(myList_);
    EXPECT_EQ(myList_[0]->Name(), "Alpha");
    EXPECT_EQ(myList_[1]->Name(), "");
    EXPECT_EQ(myList_[2]->Name(), "charlie");
    EXPECT_EQ(myList_[3]->Name(), "delta");
}

TEST_F(ListReplyHandlerTest, VersionsAndPublicListReplies) {
    Reply({{"pub-version", "4"}, {"dev-version", "9"}});
    EXPECT_EQ(state_.publicVersion, 4);
    EXPECT_EQ(state_.deviceVersion, 9);
    Reply({{"pub-version", "5"}, {"dev-version", "10"}});
    EXPECT_EQ(state_.publicVersion, 4);  // kept once both are known

    auto sections = Devices(0, 60);
    sections.emplace_back("device-id", "D0");  // listed twice
    sections.emplace_back("cseq", "1 [0]");
    ReplyActions actions = Reply(sections);
    EXPECT_EQ(publicList_.size(), 60u);
    EXPECT_TRUE(myList_.empty());
    // dev-info and dev-status for the 60 public entries, 50 a message.
    ASSERT_EQ(actions.requests.size(), 4u);
    EXPECT_EQ(actions.requests[0].sections.size(), 51u);
    EXPECT_EQ(actions.requests[1].sections.size(), 11u);
    EXPECT_EQ(actions.requests[2].resource, "dev-status");
    EXPECT_EQ(actions.requests[3].sections.back().second, "5 [dev-status]");

    // A public camera that is also the account's own is an entry of my list
    // too, counted toward its group's total like any other.
    auto mine = Devices(58, 4);  // D58, D59 public; D60, D61 not
    mine.insert(mine.begin(), {"total", "4"});
    mine.emplace_back("cseq", "2 [3]");
    ReplyActions own = Reply(mine);
    ASSERT_EQ(myList_.size(), 4u);
    EXPECT_NE(My("D58"), nullptr);
    EXPECT_NE(My("D59"), nullptr);
    EXPECT_EQ(My("D59")->parentGroup, 3);
    EXPECT_EQ(state_.groupPages[3].received, 4);
    EXPECT_TRUE(own.groupComplete);
    EXPECT_EQ(publicList_.size(), 60u);
}

TEST(ListCseq, SequenceAndGroupAreReadLikeScanf) {
    int32_t sequence = 0;
    int32_t group = 0;
    ListReplyHandler::ParseListCseq("2 [7] ", sequence, group);
    EXPECT_EQ(sequence, 2);
    EXPECT_EQ(group, 7);
    ListReplyHandler::ParseListCseq("2 [dev-list]", sequence, group);
    EXPECT_EQ(sequence, 2);
    EXPECT_EQ(group, 0);
    ListReplyHandler::ParseListCseq("1[12]", sequence, group);
    EXPECT_EQ(group, 12);
    ListReplyHandler::ParseListCseq("", sequence, group);
    EXPECT_EQ(sequence, 0);
    EXPECT_EQ(group, 0);
}

}  // namespace
}  // namespace orbisight
