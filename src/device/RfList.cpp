#include "device/RfList.h"

#include <algorithm>

#include "platform/Text.h"

namespace orbisight {
namespace {

constexpr std::string_view kRecordEnd = "####";

// Sets key in a pair chain: an existing key keeps its place.
void SetInChain(std::vector<RfPair>& pairs, std::string_view key, std::string_view value) {
    for (auto& pair : pairs) {
        if (pair.key == key) {
            pair.value = value;
            return;
        }
    }
    pairs.push_back({std::string(key), std::string(value)});
}

bool BreaksFormat(std::string_view text) {
    return text.find(';') != text.npos || text.find(kRecordEnd) != text.npos;
}

constexpr RfAccessoryType kTypes[] = {
    {"01", "Control", "Control"},
    {"02", "Door sensor", "Door Bell:"},
    {"03", "PIR", "PIR Devices"},
    {"04", "Smoke control", "Smoke alarms"},
    {"10", "Smart plug", "smart plug"},
    {"21", "Sound and Light alarm", "Sound and Light alarm"},
    {"22", "Door bell alarm", "Door bell"},
    {"23", "IO alarm", "IO Alarm"},
};
constexpr RfAccessoryType kOther = {"", "Other", ""};

}  // namespace

std::optional<std::string_view> RfEntry::Get(std::string_view key) const {
    for (const auto& pair : pairs) {
        if (pair.key == key) {
            return std::string_view(pair.value);
        }
    }
    return std::nullopt;
}

bool RfEntry::Enabled() const {
    return EqualsNoCase(Get(RfKeys::kStatus).value_or(""), "on");
}

void RfList::Parse(std::string_view text) {
    entries_.clear();
    size_t start = 0;
    for (;;) {
        size_t end = text.find(kRecordEnd, start);
        if (end == std::string_view::npos) {
            break;  // text after the last "####" is ignored
        }
        std::string_view record = text.substr(start, end - start);
        start = end + kRecordEnd.size();

        std::vector<RfPair> chain;
        size_t pieceStart = 0;
        for (;;) {
            size_t semicolon = record.find(';', pieceStart);
            if (semicolon == std::string_view::npos) {
                break;  // text after the last ";" is ignored
            }
            std::string_view piece = record.substr(pieceStart, semicolon - pieceStart);
            pieceStart = semicolon + 1;
            size_t colon = piece.find(':');
            if (colon != std::string_view::npos) {
                SetInChain(chain, piece.substr(0, colon), piece.substr(colon + 1));
            }
        }
        auto id = std::find_if(chain.begin(), chain.end(),
                               [](const RfPair& p) { return p.key == RfEntry::RfKeys::kId; });
        if (id == chain.end()) {
            continue;
        }
        std::string entryId = id->value;
        auto existing = std::find_if(entries_.begin(), entries_.end(),
                                     [&](const RfEntry& e) { return e.id == entryId; });
        if (existing != entries_.end()) {
            existing->pairs = std::move(chain);
        } else {
            entries_.push_back({entryId, std::move(chain)});
        }
    }
}

std::optional<std::string> RfList::Build() const {
    std::string text;
    for (const auto& entry : entries_) {
        for (const auto& pair : entry.pairs) {
            text += pair.key;
            text += ':';
            text += pair.value;
            text += ';';
        }
        text += kRecordEnd;
    }
    if (text.size() > kMaxTextBytes) {
        return std::nullopt;
    }
    return text;
}

bool RfList::SetPair(std::string_view id, std::string_view key, std::string_view value) {
    if (key == RfEntry::RfKeys::kId || BreaksFormat(key) || BreaksFormat(value) ||
        key.find(':') != key.npos) {
        return false;
    }
    for (auto& entry : entries_) {
        if (entry.id == id) {
            SetInChain(entry.pairs, key, value);
            return true;
        }
    }
    return false;
}

bool RfList::Delete(std::string_view id) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const RfEntry& e) { return e.id == id; });
    if (it == entries_.end()) {
        return false;
    }
    entries_.erase(it);
    return true;
}

const RfEntry* RfList::Find(std::string_view id) const {
    for (const auto& entry : entries_) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

const RfAccessoryType& RfAccessoryTypeOf(std::string_view id) {
    for (const auto& type : kTypes) {
        if (id.substr(0, 2) == type.prefix) {
            return type;
        }
    }
    return kOther;
}

std::vector<std::string_view> RfGroupsInOrder(const RfList& list) {
    std::vector<std::string_view> groups;
    for (const auto& entry : list.Entries()) {
        std::string_view group = RfAccessoryTypeOf(entry.id).group;
        if (std::find(groups.begin(), groups.end(), group) == groups.end()) {
            groups.push_back(group);
        }
    }
    return groups;
}

}  // namespace orbisight
