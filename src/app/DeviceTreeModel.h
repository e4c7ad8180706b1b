#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "account/DeviceInfo.h"

namespace orbisight {

// What the device tree shows, computed without widgets: item texts, images,
// counts and the order of children.
namespace tree {

enum class Branch { kMy, kLocal, kPublic };

// Item images of the tree's image list.
constexpr int kImageOnline = 1;
constexpr int kImageOffline = 2;
constexpr int kImageGroup = 8;

struct Node {
    const DeviceInfo* record = nullptr;
    std::string text;
    int image = kImageOffline;
    int online = 0;  // devices with status 2 below a group (groups not counted)
    int total = 0;   // devices below a group
    std::vector<Node> children;
};

struct BranchView {
    std::string rootText;
    int online = 0;
    int total = 0;
    std::vector<Node> children;
};

// "%s(%s)": the name ("MyCamera" for an unnamed camera of "My cameras") and
// the last 12 characters of the device ID.
std::string DeviceText(const DeviceInfo& record, Branch branch);
// "%s(%d/%d)"
std::string GroupText(const DeviceInfo& record, int online, int total);
// "My cameras(%d/%d)", "Local cameras(%d/%d)", "Public(%d/%d)"
std::string RootText(Branch branch, int online, int total);
// The texts before the first rebuild.
std::string InitialRootText(Branch branch);

// Children order: groups before devices; groups by name; devices by status
// (higher first), then name, then ID (byte order).
bool SortsBefore(const DeviceInfo& a, const DeviceInfo& b);

// Builds one branch from the records of a list. A record whose parent group
// is not in the list (or that would close a loop of groups) stands at the top
// level, so every record is shown exactly once.
BranchView BuildBranch(const std::vector<const DeviceInfo*>& records, Branch branch);

// Every device (not group) at or below a record, in tree order: what
// connecting a group or a root opens.
std::vector<const DeviceInfo*> DevicesBelow(const Node& node);
std::vector<const DeviceInfo*> DevicesBelow(const BranchView& branch);

// Search: the devices whose ID, name and tips contain the text, compared in
// lower case.
bool MatchesSearch(const DeviceInfo& record, std::string_view text);

}  // namespace tree
}  // namespace orbisight
