#include "app/DeviceTreeModel.h"

#include <gtest/gtest.h>

namespace orbisight {
namespace {
using namespace tree;

std::unique_ptr<DeviceInfo> Device(const char* id, const char* name, int status, int parent = 0) {
    auto d = NewDeviceInfo();
    d->SetId(id);
    d->SetName(name);
    d->status = status;
    d->parentGroup = parent;
    return d;
}

std::unique_ptr<DeviceInfo> Group(const char* name, int number, int parent = 0) {
    auto g = NewDeviceInfo();
    g->isGroup = 1;
    g->SetName(name);
    g->groupNumber = number;
    g->parentGroup = parent;
    return g;
}

std::vector<const DeviceInfo*> View(const DeviceList& list) {
    std::vector<const DeviceInfo*> out;
    for (const auto& r : list) {
        out.push_back(r.get());
    }
    return out;
}

TEST(DeviceTreeTexts, DeviceItemTexts) {
    auto unnamed = Device("ORBI000000000001", "", 2);
    EXPECT_EQ(DeviceText(*unnamed, Branch::kMy), "MyCamera(000000000001)");
    EXPECT_EQ(DeviceText(*unnamed, Branch::kLocal), "(000000000001)");
    auto shortId = Device("AB12", "Door", 0);
    EXPECT_EQ(DeviceText(*shortId, Branch::kLocal), "Door(AB12)");
    auto utf8 = Device("ORBI00000001", "Caméra d’entrée", 0);
    utf8->kind = DeviceInfo::kKindLocalUtf8;
    EXPECT_EQ(DeviceText(*utf8, Branch::kLocal), "Caméra d’entrée(ORBI00000001)");
    EXPECT_EQ(InitialRootText(Branch::kPublic), "Public cameras(0/0)");
    EXPECT_EQ(RootText(Branch::kPublic, 1, 3), "Public(1/3)");
}

TEST(DeviceTreeBuild, CountsSortOrderAndImages) {
    DeviceList list;
    list.push_back(Device("ID-C", "Porch", 0));
    list.push_back(Group("Zeta", 101));
    list.push_back(Device("ID-B", "Attic", 2, 100));
    list.push_back(Group("Alpha", 100));
    list.push_back(Device("ID-A", "Attic", 2, 100));
    list.push_back(Device("ID-D", "Yard", 2));
    list.push_back(Device("ID-E", "Garage", 0, 101));
    list.push_back(Group("Inner", 102, 100));
    list.push_back(Device("ID-F", "Shed", 2, 102));

    BranchView view = BuildBranch(View(list), Branch::kLocal);
    EXPECT_EQ(view.rootText, "Local cameras(4/6)");
    ASSERT_EQ(view.children.size(), 4u);
    EXPECT_EQ(view.children[0].text, "Alpha(3/3)");
    EXPECT_EQ(view.children[0].image, kImageGroup);
    EXPECT_EQ(view.children[1].text, "Zeta(0/1)");
    EXPECT_EQ(view.children[2].text, "Yard(ID-D)") << "online devices before offline";
    EXPECT_EQ(view.children[2].image, kImageOnline);
    EXPECT_EQ(view.children[3].text, "Porch(ID-C)");
    EXPECT_EQ(view.children[3].image, kImageOffline);

    const Node& alpha = view.children[0];
    ASSERT_EQ(alpha.children.size(), 3u);
    EXPECT_EQ(alpha.children[0].text, "Inner(1/1)") << "groups first";
    EXPECT_EQ(alpha.children[1].text, "Attic(ID-A)") << "same status and name: by ID";
    EXPECT_EQ(alpha.children[2].text, "Attic(ID-B)");

    auto devices = DevicesBelow(alpha);
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0]->Id(), "ID-F");
    EXPECT_EQ(DevicesBelow(view).size(), 6u);
}

TEST(DeviceTreeBuild, OrphansAndLoopsStayVisibleExactlyOnce) {
    DeviceList list;
    list.push_back(Group("Left behind", 101, 100));  // parent 100 was deleted
    list.push_back(Device("ID-1", "Cam", 2, 101));
    list.push_back(Group("A", 200, 201));  // A and B are each other's parent
    list.push_back(Group("B", 201, 200));
    list.push_back(Device("ID-2", "Cam2", 0, 200));
    list.push_back(Group("Self", 300, 300));

    BranchView view = BuildBranch(View(list), Branch::kLocal);
    size_t shown = 0;
    std::function<void(const Node&)> walk = [&](const Node& n) {
        ++shown;
        for (const Node& c : n.children) {
            walk(c);
        }
    };
    for (const Node& n : view.children) {
        walk(n);
    }
    EXPECT_EQ(shown, list.size());
    EXPECT_EQ(view.total, 2);
    EXPECT_EQ(view.online, 1);
}

TEST(DeviceTreeSearch, MatchesIdNameAndTipsInLowerCase) {
    auto d = Device("ORBI00000007", "Front Gate", 2);
    d->SetTips("Near the MAILBOX");
    EXPECT_TRUE(MatchesSearch(*d, "gate"));
    EXPECT_TRUE(MatchesSearch(*d, "orbi0000"));
    EXPECT_TRUE(MatchesSearch(*d, "mailbox"));
    EXPECT_FALSE(MatchesSearch(*d, "07front")) << "fields are not run together";
    auto g = Group("Gate group", 100);
    EXPECT_FALSE(MatchesSearch(*g, "gate")) << "groups are not search hits";
}

}  // namespace
}  // namespace orbisight
