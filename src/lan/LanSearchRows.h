#pragma once

#include <string>
#include <vector>

#include "lan/LanDatagram.h"

namespace orbisight {

// The rows of the "Local Search" window: one copy of a LAN record per
// camera, in the order the cameras first answered. Kept apart from the
// widget so its rules are tested without a screen.
class LanSearchRows {
  public:
    enum class Change {
        kInserted,  // a new row
        kReplaced,  // the row now holds the new answer
        kKept,      // a wired answer for a row found on Wi-Fi: the row stays
    };
    struct Result {
        Change change;
        int row;
    };

    // A basic answer (notice 13330, wParam 0). A known camera's row takes
    // the new answer when its network type is the row's or Wi-Fi.
    Result ApplyBasic(const CamNetParam& answer);
    // An extended answer (wParam 1): stored in the camera's row; the row's
    // index, or -1 when the camera has no row.
    int ApplyExtended(const CamNetParam& record);
    void Clear() { rows_.clear(); }

    const std::vector<CamNetParam>& Rows() const { return rows_; }
    int Find(std::string_view deviceId) const;

    // The texts of a row's columns: "Dev IP", "Dev Name", "Dev ID",
    // "Net Type", "MAC", "Version".
    static std::vector<std::string> Columns(const CamNetParam& row);

  private:
    std::vector<CamNetParam> rows_;
};

}  // namespace orbisight
