#include "app/WallLayout.h"

#include <cstdio>

namespace orbisight {

int WallLayout::CustomGrid(int code) {
    if (code == 30) {
        return 3;
    }
    return IsCustomCode(code) ? 4 : 0;
}

const std::vector<WallLayout::Cell>& WallLayout::CustomCells(int code) {
    static const std::vector<Cell> kNone;
    static const std::vector<Cell> k30 = {{0, 0, 2}, {2, 0, 1}, {2, 1, 1},
                                          {2, 2, 1}, {0, 2, 1}, {1, 2, 1}};
    static const std::vector<Cell> k31 = {{0, 0, 2}, {2, 0, 2}, {0, 2, 2}, {2, 2, 1},
                                          {3, 2, 1}, {2, 3, 1}, {3, 3, 1}};
    static const std::vector<Cell> k32 = {{0, 0, 3}, {3, 0, 1}, {3, 1, 1}, {3, 2, 1},
                                          {3, 3, 1}, {2, 3, 1}, {1, 3, 1}, {0, 3, 1}};
    static const std::vector<Cell> k33 = {{0, 0, 2}, {0, 2, 2}, {2, 0, 1}, {3, 0, 1}, {2, 1, 1},
                                          {3, 1, 1}, {2, 2, 1}, {3, 2, 1}, {2, 3, 1}, {3, 3, 1}};
    static const std::vector<Cell> k34 = {{0, 0, 2}, {0, 2, 1}, {1, 2, 1}, {0, 3, 1}, {1, 3, 1},
                                          {2, 0, 1}, {3, 0, 1}, {2, 1, 1}, {3, 1, 1}, {2, 2, 1},
                                          {3, 2, 1}, {2, 3, 1}, {3, 3, 1}};
    switch (code) {
        case 30:
            return k30;
        case 31:
            return k31;
        case 32:
            return k32;
        case 33:
            return k33;
        case 34:
            return k34;
        default:
            return kNone;
    }
}

void WallLayout::Count(const InUse& inUse) {
    connected_ = static_cast<int>(inUse.count());
    int perPage = PanesPerPage();
    pageCount_ = (connected_ + perPage - 1) / perPage;
}

bool WallLayout::SetLayout(int code, bool forced, const InUse& inUse) {
    if (loopActive_ && !forced) {
        return false;
    }
    if (IsCustomCode(code)) {
        grid_ = CustomGrid(code);
        custom_ = code;
    } else {
        if (code < 1 || code > 16 || (code == grid_ && custom_ == 0)) {
            return false;
        }
        grid_ = code;
        custom_ = 0;
    }
    Count(inUse);
    Reapply();
    return true;
}

void WallLayout::Reapply() {
    if (selected_ >= 0) {
        page_ = selected_ / PanesPerPage();
    }
}

bool WallLayout::Page(PageCommand command, const InUse& inUse) {
    Count(inUse);
    if (loopActive_) {
        return false;
    }
    int page = page_;
    switch (command) {
        case PageCommand::kFirst:
            page = 0;
            break;
        case PageCommand::kPrevious:
            page = page_ - 1;
            break;
        case PageCommand::kNext:
            page = page_ + 1;
            break;
        case PageCommand::kLast:
            page = pageCount_ - 1;
            break;
    }
    if (page >= pageCount_) {
        page = 0;
    }
    if (page < 0) {
        page = pageCount_ - 1 < 0 ? 0 : pageCount_ - 1;
    }
    if (pageCount_ > 1 || page == 0) {
        page_ = page;
        Select(page * PanesPerPage());
        Reapply();
    }
    return true;
}

std::optional<int> WallLayout::TakeFreePane(const InUse& inUse, bool* layoutChanged) {
    if (layoutChanged) {
        *layoutChanged = false;
    }
    int slot = -1;
    for (int i = 0; i < kPaneCount; ++i) {
        if (!inUse[i]) {
            slot = i;
            break;
        }
    }
    if (slot < 0) {
        return std::nullopt;
    }
    if (!loopActive_) {
        bool plain = custom_ == 0;
        int target = 0;
        if (slot >= 25) {
            target = (plain && grid_ == 6) ? 0 : 6;
        } else if (slot >= 16) {
            target = (plain && grid_ == 5) ? 0 : 5;
        } else if (slot >= 9) {
            target = grid_ < 4 ? 4 : 0;
        } else if (slot >= 4) {
            target = grid_ < 3 ? 3 : 0;
        } else if (slot >= 1) {
            target = grid_ < 2 ? 2 : 0;
        }
        if (target != 0) {
            // The switch goes through the ordinary layout change, so the page
            // still follows the pane selected before the new one is taken.
            bool changed = SetLayout(target, true, inUse);
            if (layoutChanged) {
                *layoutChanged = changed;
            }
        }
    }
    Select(slot);
    return slot;
}

void WallLayout::ToggleFullScreen() {
    if (!fullScreen_) {
        savedGrid_ = grid_;
        savedCustom_ = custom_;
        grid_ = 1;
        custom_ = 0;
        fullScreen_ = true;
    } else {
        grid_ = savedGrid_;
        custom_ = savedCustom_;
        fullScreen_ = false;
    }
    Reapply();
}

void WallLayout::EnterWallFullScreen() {
    if (fullScreen_) {
        return;
    }
    savedGrid_ = grid_;
    savedCustom_ = custom_;
    fullScreen_ = true;
    Reapply();
}

std::array<int, 4> WallLayout::WallRect(int clientWidth, int clientHeight) const {
    if (fullScreen_) {
        return {0, 0, clientWidth, clientHeight};
    }
    int right = rightPanelHidden_ ? clientWidth - 3 : clientWidth - 223;
    return {kSidePanelWidth, kTitleHeight + kToolbarHeight, right, clientHeight - 3};
}

std::vector<PanePlacement> WallLayout::Placements(int clientWidth, int clientHeight) const {
    auto [left, top, right, bottom] = WallRect(clientWidth, clientHeight);
    std::vector<PanePlacement> out;
    int first = page_ * PanesPerPage();
    if (custom_ != 0) {
        int g = CustomGrid(custom_);
        int cw = (right - left) / g;
        int ch = (bottom - top) / g;
        const auto& cells = CustomCells(custom_);
        for (size_t i = 0; i < cells.size(); ++i) {
            int slot = first + static_cast<int>(i);
            if (slot >= kPaneCount) {
                break;
            }
            const Cell& cell = cells[i];
            out.push_back({slot,
                           {left + cell.column * cw, top + cell.row * ch, cell.span * cw - 1,
                            cell.span * ch - 1}});
        }
        return out;
    }
    int n = grid_;
    int cw = (right - left) / n;
    int ch = (bottom - top) / n;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            int slot = first + r * n + c;
            if (slot >= kPaneCount) {
                return out;
            }
            int x = left + c * cw;
            int y = top + r * ch;
            int xRight = (c == n - 1 && n > 1) ? right : x + cw - 1;
            int yBottom = (r == n - 1 && n > 1) ? bottom : y + ch - 1;
            out.push_back({slot, {x, y, xRight - x, yBottom - y}});
        }
    }
    return out;
}

std::string WallLayout::PagingStatus() const {
    char text[128];
    std::snprintf(text, sizeof text, ":  %d/%d Screen, connected %d videos, %d pic/screen",
                  page_ + 1, pageCount_, connected_, PanesPerPage());
    return text;
}

}  // namespace orbisight
