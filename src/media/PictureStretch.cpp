#include "media/PictureStretch.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "media/CpuFeatures.h"

#if defined(__x86_64__) || defined(__i386__)
#define ORBISIGHT_STRETCH_X86 1
#include <tmmintrin.h>
#endif

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

// A row grown to the target's width four pixels at a time: each group of
// four target pixels shows source pixels from one 16-byte window (true
// whenever the picture grows, the only case a group is planned for), picked
// with pshufb. Groups whose window would end past the source row are left
// to the plain loop.
struct RowPlan {
    std::vector<int> base;       // per group: the window's first source pixel
    std::vector<uint8_t> masks;  // per group: 16 shuffle indices
    int groups = 0;              // groups from the left that use the window
};

RowPlan PlanRow(const std::vector<int>& sourceColumn, int sourceWidth) {
    RowPlan plan;
    size_t count = sourceColumn.size() / 4;
    plan.base.resize(count);
    plan.masks.resize(count * 16);
    for (size_t g = 0; g < count; ++g) {
        int base = sourceColumn[g * 4];
        if (base + 4 > sourceWidth) {
            break;
        }
        bool fits = true;
        for (size_t j = 0; j < 4; ++j) {
            int k = sourceColumn[g * 4 + j] - base;
            if (k < 0 || k > 3) {
                fits = false;
                break;
            }
            for (int b = 0; b < 4; ++b) {
                plan.masks[g * 16 + j * 4 + static_cast<size_t>(b)] =
                    static_cast<uint8_t>(k * 4 + b);
            }
        }
        if (!fits) {
            break;
        }
        plan.base[g] = base;
        plan.groups = static_cast<int>(g) + 1;
    }
    return plan;
}

#if defined(ORBISIGHT_STRETCH_X86)
__attribute__((target("ssse3"))) void ExpandGroups(const uint32_t* in, const RowPlan& plan,
                                                   uint32_t* out) {
    for (int g = 0; g < plan.groups; ++g) {
        __m128i window = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + plan.base[g]));
        __m128i mask =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(plan.masks.data() + g * 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + g * 4), _mm_shuffle_epi8(window, mask));
    }
}
#endif

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
    int planned = 0;  // the pixels from the left that the groups write
    RowPlan plan;
#if defined(ORBISIGHT_STRETCH_X86)
    if (HasSsse3()) {
        plan = PlanRow(sourceColumn, sourceWidth);
        planned = plan.groups * 4;
    }
#endif
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
#if defined(ORBISIGHT_STRETCH_X86)
            if (planned > 0) {
                ExpandGroups(in, plan, out);
            }
#endif
            for (int i = planned; i < columns; ++i) {
                out[i] = in[index[i]];
            }
        }
        previousSourceRow = sourceRow;
        previousRow = out;
    }
    return true;
}

}  // namespace orbisight
