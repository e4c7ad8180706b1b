#include "media/PictureStretch.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace orbisight {
namespace {

// The source index a target index shows, for n target pixels over m source
// pixels: floor((2i + 1) * m / 2n), in 64 bits.
int SourceIndex(int i, int m, int n) {
    return static_cast<int>((static_cast<int64_t>(2 * static_cast<int64_t>(i) + 1) * m) /
                            (2 * static_cast<int64_t>(n)));
}

uint32_t* Row(const PixelBuffer& buffer, int y) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(buffer.pixels) +
                                       static_cast<ptrdiff_t>(y) * buffer.strideBytes);
}

}  // namespace

bool StretchNearest(const uint32_t* source, int sourceWidth, int sourceHeight,
                    int sourceStrideBytes, const PixelBuffer& target, const PixelRect& area,
                    const PixelRect& clip) {
    if (source == nullptr || target.pixels == nullptr || sourceWidth <= 0 || sourceHeight <= 0 ||
        sourceStrideBytes < static_cast<int64_t>(sourceWidth) * 4 ||
        target.strideBytes < static_cast<int64_t>(target.width) * 4 || area.Empty() ||
        area.left < 0 || area.top < 0 ||
        area.left + static_cast<int64_t>(area.width) > target.width ||
        area.top + static_cast<int64_t>(area.height) > target.height) {
        return false;
    }
    // The part to write: the clip inside the area.
    int left = std::max(area.left, clip.left);
    int top = std::max(area.top, clip.top);
    int right = static_cast<int>(std::min<int64_t>(area.left + static_cast<int64_t>(area.width),
                                                   clip.left + static_cast<int64_t>(clip.width)));
    int bottom = static_cast<int>(std::min<int64_t>(area.top + static_cast<int64_t>(area.height),
                                                    clip.top + static_cast<int64_t>(clip.height)));
    if (right <= left || bottom <= top) {
        return true;  // nothing of it to write
    }
    int columns = right - left;
    std::vector<int> sourceColumn(static_cast<size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        sourceColumn[static_cast<size_t>(i)] =
            SourceIndex(left - area.left + i, sourceWidth, area.width);
    }
    const size_t rowBytes = static_cast<size_t>(columns) * 4;
    int previousSourceRow = -1;
    const uint32_t* previousRow = nullptr;
    for (int y = top; y < bottom; ++y) {
        int sourceRow = SourceIndex(y - area.top, sourceHeight, area.height);
        uint32_t* out = Row(target, y) + left;
        if (sourceRow == previousSourceRow) {
            std::memcpy(out, previousRow, rowBytes);
        } else {
            const uint32_t* in = reinterpret_cast<const uint32_t*>(
                reinterpret_cast<const uint8_t*>(source) +
                static_cast<ptrdiff_t>(sourceRow) * sourceStrideBytes);
            const int* index = sourceColumn.data();
            for (int i = 0; i < columns; ++i) {
                out[i] = in[index[i]];
            }
        }
        previousSourceRow = sourceRow;
        previousRow = out;
    }
    return true;
}

}  // namespace orbisight
