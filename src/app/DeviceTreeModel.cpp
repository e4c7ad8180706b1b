#include "app/DeviceTreeModel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace orbisight::tree {

std::string DeviceText(const DeviceInfo& record, Branch branch) {
    std::string name = record.DisplayName();
    if (name.empty() && branch == Branch::kMy) {
        name = "MyCamera";
    }
    std::string_view id = record.Id();
    if (id.size() > 12) {
        id = id.substr(id.size() - 12);
    }
    return name + "(" + std::string(id) + ")";
}

std::string GroupText(const DeviceInfo& record, int online, int total) {
    return record.DisplayName() + "(" + std::to_string(online) + "/" + std::to_string(total) + ")";
}

std::string RootText(Branch branch, int online, int total) {
    const char* name = branch == Branch::kMy      ? "My cameras"
                       : branch == Branch::kLocal ? "Local cameras"
                                                  : "Public";
    char text[96];
    std::snprintf(text, sizeof text, "%s(%d/%d)", name, online, total);
    return text;
}

std::string InitialRootText(Branch branch) {
    switch (branch) {
        case Branch::kMy:
            return "My cameras(0/0)";
        case Branch::kLocal:
            return "Local cameras(0/0)";
        default:
            return "Public cameras(0/0)";
    }
}

bool SortsBefore(const DeviceInfo& a, const DeviceInfo& b) {
    bool ga = a.isGroup != 0;
    bool gb = b.isGroup != 0;
    if (ga != gb) {
        return ga;
    }
    if (ga) {
        return a.Name() < b.Name();
    }
    if (a.status != b.status) {
        return a.status > b.status;
    }
    if (a.Name() != b.Name()) {
        return a.Name() < b.Name();
    }
    return a.Id() < b.Id();
}

namespace {

struct Builder {
    Branch branch;
    std::map<int32_t, std::vector<const DeviceInfo*>> childrenOf;  // by parent group number
    std::set<const DeviceInfo*> placed;

    Node Make(const DeviceInfo* record) {
        placed.insert(record);
        Node node;
        node.record = record;
        if (!record->isGroup) {
            node.image = record->IsOnline() ? kImageOnline : kImageOffline;
            node.text = DeviceText(*record, branch);
            return node;
        }
        node.image = kImageGroup;
        auto it = childrenOf.find(record->groupNumber);
        if (it != childrenOf.end()) {
            for (const DeviceInfo* child : it->second) {
                if (placed.count(child)) {
                    continue;  // a loop of groups: shown where first reached
                }
                Node c = Make(child);
                if (child->isGroup) {
                    node.online += c.online;
                    node.total += c.total;
                } else {
                    node.online += child->IsOnline() ? 1 : 0;
                    node.total += 1;
                }
                node.children.push_back(std::move(c));
            }
        }
        node.text = GroupText(*record, node.online, node.total);
        return node;
    }
};

void SortNodes(std::vector<Node>& nodes) {
    std::stable_sort(nodes.begin(), nodes.end(), [](const Node& a, const Node& b) {
        return SortsBefore(*a.record, *b.record);
    });
    for (Node& n : nodes) {
        SortNodes(n.children);
    }
}

}  // namespace

BranchView BuildBranch(const std::vector<const DeviceInfo*>& records, Branch branch) {
    Builder b{branch, {}, {}};
    std::map<int32_t, const DeviceInfo*> groups;
    for (const DeviceInfo* r : records) {
        if (r->isGroup && r->groupNumber != 0) {
            groups.emplace(r->groupNumber, r);
        }
    }
    std::vector<const DeviceInfo*> top;
    for (const DeviceInfo* r : records) {
        bool hasParent = r->parentGroup != 0 && groups.count(r->parentGroup) &&
                         !(r->isGroup && r->groupNumber == r->parentGroup);
        if (hasParent) {
            b.childrenOf[r->parentGroup].push_back(r);
        } else {
            top.push_back(r);
        }
    }
    BranchView view;
    auto add = [&](const DeviceInfo* r) {
        Node n = b.Make(r);
        if (r->isGroup) {
            view.online += n.online;
            view.total += n.total;
        } else {
            view.online += r->IsOnline() ? 1 : 0;
            view.total += 1;
        }
        view.children.push_back(std::move(n));
    };
    for (const DeviceInfo* r : top) {
        add(r);
    }
    // Records inside a loop of groups were reached by nobody: show them at
    // the top level rather than lose them.
    for (const DeviceInfo* r : records) {
        if (!b.placed.count(r)) {
            add(r);
        }
    }
    SortNodes(view.children);
    view.rootText = RootText(branch, view.online, view.total);
    return view;
}

namespace {
void Collect(const Node& node, std::vector<const DeviceInfo*>& out) {
    if (!node.record->isGroup) {
        out.push_back(node.record);
        return;
    }
    for (const Node& c : node.children) {
        Collect(c, out);
    }
}
}  // namespace

std::vector<const DeviceInfo*> DevicesBelow(const Node& node) {
    std::vector<const DeviceInfo*> out;
    Collect(node, out);
    return out;
}

std::vector<const DeviceInfo*> DevicesBelow(const BranchView& branch) {
    std::vector<const DeviceInfo*> out;
    for (const Node& c : branch.children) {
        Collect(c, out);
    }
    return out;
}

bool MatchesSearch(const DeviceInfo& record, std::string_view text) {
    if (record.isGroup) {
        return false;
    }
    std::string needle = ToLowerAscii(text);
    std::string hay = ToLowerAscii(record.Id());
    hay += '\n';
    hay += ToLowerAscii(record.Name());
    hay += '\n';
    hay += ToLowerAscii(record.Tips());
    return hay.find(needle) != std::string::npos;
}

}  // namespace orbisight::tree
