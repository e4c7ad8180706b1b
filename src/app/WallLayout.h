#pragma once

#include <array>
#include <bitset>
#include <optional>
#include <string>
#include <vector>

namespace orbisight {

// A pane's place in main-window client coordinates.
struct PaneBounds {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PaneBounds&) const = default;
};

struct PanePlacement {
    int slot = 0;
    PaneBounds rect;
};

// The arithmetic of the video wall, without widgets: the layout (an n x n
// grid or one of the five custom arrangements), the geometry of every pane,
// paging over the panes in use, the selected pane, full screen and the
// automatic growth of the layout. The widget side asks it where to put the
// panes and tells it which slots are in use.
class WallLayout {
  public:
    static constexpr int kPaneCount = 256;
    using InUse = std::bitset<kPaneCount>;

    // Frame constants of the main window.
    static constexpr int kTitleHeight = 36;
    static constexpr int kToolbarHeight = 60;
    static constexpr int kSidePanelWidth = 220;
    static constexpr int kMinWidth = 1024;
    static constexpr int kMinHeight = 640;

    // Layout codes: 1..16 for n x n, 30..34 for the custom arrangements. A
    // layout's command identifier is kLayoutCommandBase + code.
    static constexpr int kLayoutCommandBase = 0x2012;
    static constexpr int kFirstCustom = 30;
    static constexpr int kLastCustom = 34;

    struct Cell {
        int column;
        int row;
        int span;  // k for a pane covering k x k cells
    };
    // The cell grid size and the arrangement of a custom code, or an empty
    // arrangement for any other code.
    static int CustomGrid(int code);
    static const std::vector<Cell>& CustomCells(int code);
    static bool IsCustomCode(int code) { return code >= kFirstCustom && code <= kLastCustom; }

    enum class PageCommand { kFirst, kPrevious, kNext, kLast };

    // ---- state ----
    int GridSize() const { return grid_; }
    int CustomMode() const { return custom_; }
    // The code of the current layout: the custom code, else n.
    int LayoutCode() const { return custom_ != 0 ? custom_ : grid_; }
    int PanesPerPage() const { return grid_ * grid_; }  // the paging stride
    int CurrentPage() const { return page_; }
    int PageCount() const { return pageCount_; }
    int ConnectedCount() const { return connected_; }
    int Selected() const { return selected_; }
    bool FullScreen() const { return fullScreen_; }
    bool RightPanelHidden() const { return rightPanelHidden_; }
    bool LoopActive() const { return loopActive_; }

    void SetLoopActive(bool on) { loopActive_ = on; }
    void SetRightPanelHidden(bool hidden) { rightPanelHidden_ = hidden; }
    void Select(int slot) { selected_ = (slot >= 0 && slot < kPaneCount) ? slot : -1; }
    void ClearSelection() { selected_ = -1; }
    void SetCurrentPage(int page) { page_ = page; }

    // ---- operations ----
    // Counts the panes in use and the pages.
    void Count(const InUse& inUse);

    // Switches to a layout code. Returns false when refused: while loop play
    // runs (unless forced), for a grid code outside 1..16, or for the grid
    // already shown. On success the current page follows the selected pane.
    bool SetLayout(int code, bool forced, const InUse& inUse);

    // Recomputes the page from the selected pane (when one is selected).
    void Reapply();

    // A page command. Returns false when refused (loop play); otherwise the
    // current page and the selection have moved to the new page.
    bool Page(PageCommand command, const InUse& inUse);

    // The lowest free slot, growing the layout so that it is visible (unless
    // loop play runs); the slot is selected. nullopt when every slot is used.
    // layoutChanged tells whether the layout was switched.
    std::optional<int> TakeFreePane(const InUse& inUse, bool* layoutChanged = nullptr);

    // Full screen of one pane (double click): entering keeps the layout to
    // restore and shows one pane per page; leaving restores it.
    void ToggleFullScreen();
    // Full screen of the whole wall, keeping the layout.
    void EnterWallFullScreen();

    // ---- geometry ----
    // The wall's rectangle (left, top, right, bottom) for a client size.
    std::array<int, 4> WallRect(int clientWidth, int clientHeight) const;
    // Where the panes of the current page go.
    std::vector<PanePlacement> Placements(int clientWidth, int clientHeight) const;

    // ":  %d/%d Screen, connected %d videos, %d pic/screen"
    std::string PagingStatus() const;

  private:
    int grid_ = 2;
    int custom_ = 0;
    int page_ = 0;
    int pageCount_ = 1;
    int connected_ = 0;
    int selected_ = -1;
    bool fullScreen_ = false;
    int savedGrid_ = 2;
    int savedCustom_ = 0;
    bool rightPanelHidden_ = false;
    bool loopActive_ = false;
};

}  // namespace orbisight
