#include "lan/LanSearchRows.h"

#include "platform/Text.h"

namespace orbisight {

int LanSearchRows::Find(std::string_view deviceId) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (EqualsNoCase(rows_[i].Id(), deviceId)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

LanSearchRows::Result LanSearchRows::ApplyBasic(const CamNetParam& answer) {
    int row = Find(answer.Id());
    if (row < 0) {
        rows_.push_back(answer);
        return {Change::kInserted, static_cast<int>(rows_.size()) - 1};
    }
    CamNetParam& stored = rows_[static_cast<size_t>(row)];
    if (answer.netType == stored.netType || answer.netType == CamNetParam::kWifi) {
        stored = answer;
        return {Change::kReplaced, row};
    }
    return {Change::kKept, row};
}

int LanSearchRows::ApplyExtended(const CamNetParam& record) {
    int row = Find(record.extended.DeviceId());
    if (row >= 0) {
        rows_[static_cast<size_t>(row)].extended = record.extended;
    }
    return row;
}

std::vector<std::string> LanSearchRows::Columns(const CamNetParam& row) {
    return {std::string(row.Address()), std::string(row.Name()), std::string(row.Id()),
            row.NetTypeText(),          row.MacText(),           std::string(row.Version())};
}

}  // namespace orbisight
