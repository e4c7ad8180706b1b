#include "account/ListReplyHandler.h"

#include <tinyxml2.h>

#include <climits>
#include <utility>

#include "account/CXOMPPackageParser.h"
#include "platform/Text.h"

namespace orbisight {
namespace {

using tinyxml2::XMLElement;

constexpr size_t kMaxResourceBytes = 255;

// Session message codes.
constexpr uintptr_t kListsChanged = 4;
constexpr uintptr_t kAlarm = 5;
constexpr uintptr_t kEntryCounted = 7;

// lParam of a code-4 notice that carries a record copy.
constexpr intptr_t kPublicRecord = 1;
constexpr intptr_t kMyRecord = 2;

int CompareNoCase(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = static_cast<unsigned char>(a[i]);
        int cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') {
            ca += 'a' - 'A';
        }
        if (cb >= 'A' && cb <= 'Z') {
            cb += 'a' - 'A';
        }
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The record with this ID, created when missing; nullptr when the list is
// full (a server cannot make the client hold more than kMaxServerEntries).
DeviceInfo* FindOrCreate(DeviceList& list, std::string_view id) {
    if (DeviceInfo* record = FindDeviceById(list, id, IdMatch::kExact)) {
        return record;
    }
    if (list.size() >= ListReplyHandler::kMaxServerEntries) {
        return nullptr;
    }
    list.push_back(NewDeviceInfo());
    list.back()->SetId(id);
    return list.back().get();
}

// The text of a child element, or nullptr when the child is missing. An
// empty element reads as "".
const char* ChildText(const XMLElement& parent, const char* name) {
    const XMLElement* child = parent.FirstChildElement(name);
    if (child == nullptr) {
        return nullptr;
    }
    const char* text = child->GetText();
    return text ? text : "";
}

void Post(ReplyActions& out, uintptr_t code, intptr_t value, std::string text = {},
          std::shared_ptr<void> object = nullptr) {
    out.posts.push_back({code, value, std::move(text), std::move(object)});
}

// One more device-information entry: progress while a total is known.
void CountEntry(ServerListState& state, ReplyActions& out) {
    ++state.counted;
    if (state.expectedTotal > 0) {
        Post(out, kEntryCounted, 0);
    }
}

void ApplyDeviceChildren(const XMLElement& dev, DeviceInfo& record) {
    if (const char* name = ChildText(dev, "name")) {
        record.SetName(name);
    }
    if (const char* type = ChildText(dev, "type")) {
        record.type = ParseDecimal(type);
    }
    if (const char* version = ChildText(dev, "hversion")) {
        record.SetHardwareVersion(version);
    }
    if (const char* version = ChildText(dev, "sversion")) {
        record.SetSoftwareVersion(version);
    }
    if (const char* group = ChildText(dev, "group")) {
        record.parentGroup = ParseDecimal(group);
    }
    if (const char* tips = ChildText(dev, "tips")) {
        record.SetTips(tips);
    }
    if (const char* url = ChildText(dev, "url")) {
        record.SetUrl(url);
    }
    record.local = 0;
    record.isGroup = 0;
}

void HandleDeviceInformation(const XMLElement& root, ListsInProgress lists, ReplyActions& out) {
    ServerListState& state = lists.state;
    for (const XMLElement* group = root.FirstChildElement("group"); group != nullptr;
         group = group->NextSiblingElement("group")) {
        const char* id = group->Attribute("id");
        if (id != nullptr && *id != '\0') {
            if (DeviceInfo* record = FindOrCreate(lists.myList, id)) {
                if (const char* name = group->Attribute("name")) {
                    record->SetName(name);
                }
                record->isGroup = 1;
                record->groupNumber = ParseDecimal(id);
                if (const char* parent = group->Attribute("parent")) {
                    record->parentGroup = ParseDecimal(parent);
                }
            }
        }
        CountEntry(state, out);
    }
    for (const XMLElement* dev = root.FirstChildElement("dev"); dev != nullptr;
         dev = dev->NextSiblingElement("dev")) {
        const char* id = dev->Attribute("id");
        if (id != nullptr && *id != '\0') {
            if (DeviceInfo* shared = FindDeviceById(lists.publicList, id, IdMatch::kExact)) {
                ApplyDeviceChildren(*dev, *shared);
            }
            if (DeviceInfo* record = FindOrCreate(lists.myList, id)) {
                ApplyDeviceChildren(*dev, *record);
                ++state.devInfoCounter;
            }
        }
        CountEntry(state, out);
    }
    if (state.counted >= state.expectedTotal) {
        Post(out, kListsChanged, 0);
    }
}

void HandleUserInformation(const XMLElement& root, ServerListState& state) {
    state.userInfoReceived = true;
    for (const XMLElement* user = root.FirstChildElement("user"); user != nullptr;
         user = user->NextSiblingElement("user")) {
        const char* name = user->Attribute("usrname");
        if (name == nullptr) {
            continue;
        }
        for (auto& info : state.users) {
            if (!EqualsNoCase(info.UserName(), name)) {
                continue;
            }
            if (const char* display = ChildText(*user, "name")) {
                info.SetDisplayName(display);
            }
            if (const char* type = ChildText(*user, "type")) {
                info.accountType = ParseDecimal(type);
            }
        }
    }
}

void HandleDeviceStatus(const XMLElement& root, ListsInProgress lists, ReplyActions& out) {
    for (const XMLElement* dev = root.FirstChildElement("dev"); dev != nullptr;
         dev = dev->NextSiblingElement("dev")) {
        const char* id = dev->Attribute("id");
        if (id == nullptr || *id == '\0') {
            continue;
        }
        const char* statusText = dev->Attribute("status");
        int32_t status = ListReplyHandler::ClampStatus(ParseDecimal(statusText ? statusText : ""));
        const char* url = dev->Attribute("url");
        auto apply = [&](DeviceInfo& record) {
            record.status = status;
            if (url != nullptr) {
                record.SetUrl(url);
            }
        };
        if (DeviceInfo* shared = FindDeviceById(lists.publicList, id, IdMatch::kExact)) {
            apply(*shared);
        }
        if (DeviceInfo* record = FindOrCreate(lists.myList, id)) {
            apply(*record);
        }
    }
    out.statusReceived = true;
    ListReplyHandler::SortByNameThenStatus(lists.publicList);
    ListReplyHandler::SortByNameThenStatus(lists.myList);
    // The tree shows on-line states, so it must hear about new ones.
    Post(out, kListsChanged, 0);
}

}  // namespace

void ListReplyHandler::ParseListCseq(std::string_view cseq, int32_t& sequence, int32_t& group) {
    sequence = ParseDecimal(cseq);
    group = 0;
    size_t p = 0;
    while (p < cseq.size() && (cseq[p] == ' ' || cseq[p] == '\t')) {
        ++p;
    }
    if (p < cseq.size() && (cseq[p] == '+' || cseq[p] == '-')) {
        ++p;
    }
    size_t digits = p;
    while (p < cseq.size() && cseq[p] >= '0' && cseq[p] <= '9') {
        ++p;
    }
    if (p == digits) {
        return;
    }
    while (p < cseq.size() && (cseq[p] == ' ' || cseq[p] == '\t')) {
        ++p;
    }
    if (p >= cseq.size() || cseq[p] != '[') {
        return;
    }
    std::string_view rest = cseq.substr(p + 1);
    size_t q = 0;
    while (q < rest.size() && (rest[q] == ' ' || rest[q] == '\t')) {
        ++q;
    }
    if (q < rest.size() && (rest[q] == '+' || rest[q] == '-')) {
        ++q;
    }
    if (q < rest.size() && rest[q] >= '0' && rest[q] <= '9') {
        group = ParseDecimal(rest);
    }
}

void ListReplyHandler::HandleHeader(const CXOMPPackageParser& header, ListsInProgress lists,
                                    ReplyActions& out) {
    ServerListState& state = lists.state;
    int cseq = header.getIntegerSectionWithDefault("cseq", 0);
    if (cseq == 0) {
        if (state.publicVersion == 0 || state.deviceVersion == 0) {
            state.publicVersion = header.getIntegerSectionWithDefault("pub-version", 0);
            state.deviceVersion = header.getIntegerSectionWithDefault("dev-version", 0);
        }
        return;
    }
    if (cseq != 1 && cseq != 2) {
        return;
    }
    int32_t sequence = 0;
    int32_t group = 0;
    ParseListCseq(header.section("cseq"), sequence, group);

    for (size_t index = 0; index < header.sectionCount(); ++index) {
        auto [sectionName, sectionValue] = header.sectionAt(index);
        if (sectionName == "total") {
            int32_t total = ParseDecimal(sectionValue);
            GroupPageInfo& page = state.groupPages[group];
            page.groupId = group;
            // A total starts the group's listing anew.
            page.received = 0;
            page.total = total;
            page.pageCount = GroupPageInfo::PagesFor(total);
            page.nextPage = 1;
            state.listTotal = total;
            state.listReceived = 0;
            continue;
        }
        bool isGroup = EqualsNoCase(sectionName, "group-id");
        if (!isGroup && !EqualsNoCase(sectionName, "device-id")) {
            continue;
        }
        if (sectionValue.empty()) {
            continue;
        }
        bool known = FindDeviceById(lists.myList, sectionValue, IdMatch::kExact) != nullptr;
        if (known && sequence != 1) {
            // Status and information replies create records too, so an entry
            // may be known before its page arrives. It still counts toward
            // the group's total, or the list would never be complete.
            ++state.listReceived;
            if (auto page = state.groupPages.find(group); page != state.groupPages.end()) {
                ++page->second.received;
            }
            continue;
        }
        // A public entry listed twice would otherwise be added twice. A
        // camera that is public and also the account's own belongs in both
        // lists: the public list does not keep it out of my list.
        if (known || (sequence == 1 &&
                      FindDeviceById(lists.publicList, sectionValue, IdMatch::kExact) != nullptr)) {
            continue;
        }
        DeviceList& target = sequence == 1 ? lists.publicList : lists.myList;
        if (target.size() >= kMaxServerEntries) {
            continue;
        }
        auto record = NewDeviceInfo();
        record->SetId(sectionValue);
        record->isGroup = isGroup ? 1 : 0;
        record->parentGroup = group;
        if (isGroup) {
            record->groupNumber = ParseDecimal(sectionValue);
        }
        state.currentGroup = group;
        if (sequence == 1) {
            lists.publicList.push_back(std::move(record));
        } else {
            lists.myList.push_back(std::move(record));
            ++state.listReceived;
            if (auto page = state.groupPages.find(group); page != state.groupPages.end()) {
                ++page->second.received;
            }
        }
    }

    if (sequence == 1) {
        std::vector<std::string> ids;
        for (const auto& record : lists.publicList) {
            ids.emplace_back(record->Id());
        }
        for (auto& request : requests::PublicInfoBatches(ids)) {
            out.requests.push_back(std::move(request));
        }
        for (auto& request : requests::PublicStatusBatches(ids)) {
            out.requests.push_back(std::move(request));
        }
        return;
    }
    auto page = state.groupPages.find(group);
    if (page == state.groupPages.end()) {
        return;
    }
    if (page->second.received >= page->second.total || state.refresh) {
        state.listTotal = 0;
        state.listReceived = 0;
        state.refresh = false;
        out.groupComplete = true;
    } else {
        out.nextPage = true;
    }
}

void ListReplyHandler::HandleBody(const CXOMPPackageParser& header, std::string_view body,
                                  ListsInProgress lists, ReplyActions& out) {
    if (body.empty()) {
        return;
    }
    tinyxml2::XMLDocument document;
    if (document.Parse(body.data(), body.size()) != tinyxml2::XML_SUCCESS) {
        return;
    }
    ServerListState& state = lists.state;
    int total = header.getIntegerSectionWithDefault("total", 0);
    if (total > 0) {
        state.expectedTotal = total;
        state.counted = 0;
    }
    int cseq = header.getIntegerSectionWithDefault("cseq", 0);
    if (cseq == 3 || cseq == 2000) {
        if (const XMLElement* root = document.FirstChildElement("dev-info")) {
            HandleDeviceInformation(*root, lists, out);
        }
    } else if (cseq == 4) {
        if (const XMLElement* root = document.FirstChildElement("usr-info")) {
            HandleUserInformation(*root, state);
        }
    } else if (cseq == 5) {
        if (const XMLElement* root = document.FirstChildElement("dev-status")) {
            HandleDeviceStatus(*root, lists, out);
        }
    }
}

void ListReplyHandler::HandleNotification(const CXOMPPackageParser& header, ListsInProgress lists,
                                          ReplyActions& out) {
    std::string_view resource = header.resourceName();
    resource = resource.substr(0, Utf8PrefixLength(resource, kMaxResourceBytes));
    std::string id(header.section("device-id"));
    if (StartsWithNoCase(resource, "alarm")) {
        auto alarm = std::make_shared<AlarmMessage>(
            MakeAlarmMessage(id, header.section("title"), header.section("message")));
        lists.state.alarms.Append(*alarm);
        Post(out, kAlarm, 1, id, alarm);
        return;
    }
    if (StartsWithNoCase(resource, "dev-info")) {
        if (!id.empty()) {
            out.requests.push_back(requests::OneDeviceInfo(id));
            out.requests.push_back(requests::OneDeviceStatus(id));
        }
        return;
    }
    if (!EqualsNoCase(resource, "dev-status") || id.empty()) {
        return;
    }
    int32_t status = header.getIntegerSectionWithDefault("status", 0);
    bool hasUrl = false;
    std::string_view url = header.section("data-url", &hasUrl);
    auto apply = [&](DeviceInfo& record, intptr_t which) {
        record.status = status;
        if (hasUrl) {
            record.SetUrl(url);
        }
        Post(out, kListsChanged, which, id, std::make_shared<DeviceInfo>(record));
    };
    if (DeviceInfo* shared = FindDeviceById(lists.publicList, id, IdMatch::kExact)) {
        apply(*shared, kPublicRecord);
    }
    if (DeviceInfo* record = FindOrCreate(lists.myList, id)) {
        apply(*record, kMyRecord);
    }
}

void ListReplyHandler::SortByNameThenStatus(DeviceList& list) {
    const size_t n = list.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            std::string_view a = list[i]->Name();
            std::string_view b = list[j]->Name();
            if (!a.empty() && !b.empty() && CompareNoCase(b, a) < 0) {
                std::swap(list[i], list[j]);
            }
        }
    }
    for (size_t i = 0; i + 1 < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            if (list[i]->status < list[j]->status) {
                std::swap(list[i], list[j]);
            }
        }
    }
}

}  // namespace orbisight
