// The RF accessory list text: parsing arbitrary text, building it back and
// parsing that again must give the same list; accepted edits must survive
// the round trip.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "device/RfList.h"

using namespace orbisight;

namespace {

bool SameList(const RfList& a, const RfList& b) {
    if (a.Entries().size() != b.Entries().size()) {
        return false;
    }
    for (size_t i = 0; i < a.Entries().size(); ++i) {
        const auto& x = a.Entries()[i];
        const auto& y = b.Entries()[i];
        if (x.id != y.id || x.pairs.size() != y.pairs.size()) {
            return false;
        }
        for (size_t j = 0; j < x.pairs.size(); ++j) {
            if (x.pairs[j].key != y.pairs[j].key || x.pairs[j].value != y.pairs[j].value) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first part is the list, the rest an edit "key=value".
    size_t split = input.find('\n');
    std::string_view text = input.substr(0, split);
    std::string_view edit = split == std::string_view::npos ? "" : input.substr(split + 1);

    RfList list;
    list.Parse(text);
    for (const auto& entry : list.Entries()) {
        RfAccessoryTypeOf(entry.id);
    }
    RfGroupsInOrder(list);
    if (!list.Empty()) {
        size_t equals = edit.find('=');
        if (equals != std::string_view::npos) {
            std::string_view key = edit.substr(0, equals);
            std::string_view value = edit.substr(equals + 1);
            const std::string id = list.Entries()[0].id;
            if (list.SetPair(id, key, value) && list.Find(id)->Get(key) != value) {
                std::abort();
            }
        }
    }
    auto built = list.Build();
    if (!built) {
        return 0;
    }
    RfList again;
    again.Parse(*built);
    if (!SameList(list, again) || again.Build() != built) {
        std::abort();
    }
    return 0;
}
