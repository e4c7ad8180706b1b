#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orbisight {

// One key/value pair of an RF accessory record.
struct RfPair {
    std::string key;
    std::string value;
};

// One paired accessory: its ID and its pairs in order (the ID pair included,
// so a parsed list builds back to the same text).
struct RfEntry {
    std::string id;
    std::vector<RfPair> pairs;

    // The value of key (exact comparison), or none.
    std::optional<std::string_view> Get(std::string_view key) const;
    std::string_view Name() const { return Get(RfKeys::kName).value_or(""); }
    // "status" is "on", in any letter case.
    bool Enabled() const;

    struct RfKeys {
        static constexpr std::string_view kId = "MYVELARFID";
        static constexpr std::string_view kName = "name";
        static constexpr std::string_view kStatus = "status";
    };
};

// The camera's RF accessory list. Its text form ("RfidInfo") is a sequence
// of records each terminated by "####"; a record is pairs "key:value"
// each terminated by ";". Unknown keys are kept and written back unchanged.
class RfList {
  public:
    static constexpr size_t kMaxTextBytes = 4095;

    // Replaces the contents from text. A record without "MYVELARFID" is
    // dropped; a second record of the same ID replaces the first's pairs.
    void Parse(std::string_view text);

    // The text to send: every pair "key:value;", "####" after each entry.
    // An empty list gives an empty text. None when the text would be longer
    // than kMaxTextBytes: the list is then not sent at all rather than cut
    // in the middle of a record.
    std::optional<std::string> Build() const;

    // Sets key to value in the entry with this ID (replacing in place, or
    // appending a new key). Refuses (false) an unknown ID, the ID key itself,
    // and texts that would break the format: ";" or "####" anywhere, ":" in
    // the key.
    bool SetPair(std::string_view id, std::string_view key, std::string_view value);
    bool Delete(std::string_view id);
    void Clear() { entries_.clear(); }

    const std::vector<RfEntry>& Entries() const { return entries_; }
    const RfEntry* Find(std::string_view id) const;
    bool Empty() const { return entries_.empty(); }

  private:
    std::vector<RfEntry> entries_;
};

// Accessory type by the first two characters of the ID.
struct RfAccessoryType {
    std::string_view prefix;     // "01", "02"...; empty for "Other"
    std::string_view group;      // the tree group: "Control", "Door sensor"...
    std::string_view pageTitle;  // empty for "Other"
};
const RfAccessoryType& RfAccessoryTypeOf(std::string_view id);
// The groups that occur in the list, in the order of first occurrence.
std::vector<std::string_view> RfGroupsInOrder(const RfList& list);

}  // namespace orbisight
