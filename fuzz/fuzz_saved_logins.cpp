// Saved logins as they are read back from the settings store, on arbitrary
// bytes: the input is a sequence of at most 8 values, each a 16-bit
// little-endian length and that many bytes. Every record read must have a
// user name and texts that end inside their fields, its auto-connect list
// must stay within 500 IDs of at most 31 bytes, and the list must survive
// being reordered.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "account/SavedLogins.h"

using namespace orbisight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Nothing below reads or writes the store itself.
    SavedLogins logins(Registry("/nonexistent/registry"));
    // At most 8 values an input: the store is read value by value, and many
    // tiny values would only spend the time on zero-filling records.
    size_t pos = 0;
    for (int values = 0; values < 8 && pos + 2 <= size; ++values) {
        size_t length = data[pos] | (data[pos + 1] << 8);
        pos += 2;
        length = std::min(length, size - pos);
        std::vector<uint8_t> value(data + pos, data + pos + length);
        pos += length;

        auto record = SavedLogins::FromValue(value);
        if (!record) {
            continue;
        }
        if (record->UserName().empty() || record->UserName().size() >= sizeof record->userName ||
            record->Password().size() >= sizeof record->password) {
            std::abort();
        }
        std::vector<std::string> ids = record->AutoConnectIds();
        if (ids.size() > static_cast<size_t>(UserLoginInfo::kMaxAutoConnectDevices)) {
            std::abort();
        }
        for (const auto& id : ids) {
            if (id.size() >= UserLoginInfo::kAutoConnectIdBytes) {
                std::abort();
            }
        }
        // Written back, the list reads the same.
        UserLoginInfo copy = *record;
        copy.SetAutoConnectIds(ids);
        if (copy.AutoConnectIds() != ids) {
            std::abort();
        }
        logins.SetInUse(&logins.Add(*record));
    }
    size_t count = logins.Count();
    logins.Use(count - 1);
    logins.Use(1);
    logins.Use(count);
    if (logins.Count() != count || (count > 0 && logins.InUse() == nullptr) ||
        logins.At(count) != nullptr) {
        std::abort();
    }
    for (size_t i = 0; i < count; ++i) {
        if (logins.At(i)->UserName().empty()) {
            std::abort();
        }
    }
    return 0;
}
