#include "media/AreaScale.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "media/CpuFeatures.h"

#if defined(__x86_64__) || defined(__i386__)
#define ORBISIGHT_AREA_X86 1
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace orbisight {
namespace {

// The taps of every target pixel along one direction: target pixel x covers
// [x * S / D, (x + 1) * S / D) of the source; in units of 1 / D of a source
// pixel that is [x * S, (x + 1) * S), and source pixel i covers [i * D,
// (i + 1) * D). With S <= 2 D an area touches at most three pixels.
std::vector<AreaScaler::Taps> MakeTaps(int source, int target) {
    std::vector<AreaScaler::Taps> taps(static_cast<size_t>(target));
    const int64_t s = source;
    const int64_t d = target;
    for (int64_t x = 0; x < d; ++x) {
        int64_t begin = x * s;
        int64_t end = begin + s;
        int64_t first = begin / d;
        AreaScaler::Taps& t = taps[static_cast<size_t>(x)];
        t.first = static_cast<int>(first);
        int64_t overlap[3] = {0, 0, 0};
        for (int k = 0; k < 3; ++k) {
            int64_t pixelBegin = (first + k) * d;
            int64_t pixelEnd = pixelBegin + d;
            int64_t from = std::max(begin, pixelBegin);
            int64_t to = std::min(end, pixelEnd);
            overlap[k] = to > from ? to - from : 0;
        }
        // Rounded to 64ths; the largest tap takes the remainder so that the
        // weights always sum to 64 (a flat area stays exactly flat).
        int weights[3];
        int largest = 0;
        int sum = 0;
        for (int k = 0; k < 3; ++k) {
            weights[k] = static_cast<int>((overlap[k] * 64 + s / 2) / s);
            sum += weights[k];
            if (overlap[k] > overlap[largest]) {
                largest = k;
            }
        }
        weights[largest] += 64 - sum;
        for (int k = 0; k < 3; ++k) {
            t.weight[k] = static_cast<uint8_t>(weights[k]);
        }
    }
    return taps;
}

#if defined(ORBISIGHT_AREA_X86)
// Sixteen target columns from the padded row (see columnPlan_).
__attribute__((target("ssse3"))) void FilterColumnsSsse3(const uint8_t* row,
                                                         const std::vector<AreaScaler::Taps>& cols,
                                                         const uint8_t* plan, int width,
                                                         uint8_t* target) {
    const __m128i round = _mm_set1_epi16(32);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        __m128i sums[2];
        for (int half = 0; half < 2; ++half) {
            __m128i products[2];
            for (int group = 0; group < 2; ++group) {
                int first = x + half * 8 + group * 4;
                const uint8_t* entry = plan + static_cast<size_t>(first / 4) * 32;
                __m128i source = _mm_loadu_si128(
                    reinterpret_cast<const __m128i*>(row + cols[static_cast<size_t>(first)].first));
                __m128i picked = _mm_shuffle_epi8(
                    source, _mm_loadu_si128(reinterpret_cast<const __m128i*>(entry)));
                products[group] = _mm_maddubs_epi16(
                    picked, _mm_loadu_si128(reinterpret_cast<const __m128i*>(entry + 16)));
            }
            sums[half] =
                _mm_srli_epi16(_mm_add_epi16(_mm_hadd_epi16(products[0], products[1]), round), 6);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x),
                         _mm_packus_epi16(sums[0], sums[1]));
    }
    for (; x < width; ++x) {
        const AreaScaler::Taps& t = cols[static_cast<size_t>(x)];
        const uint8_t* p = row + t.first;
        target[x] = static_cast<uint8_t>(
            (p[0] * t.weight[0] + p[1] * t.weight[1] + p[2] * t.weight[2] + 32) >> 6);
    }
}
#endif

}  // namespace

bool AreaScaler::Prepare(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight) {
    if (targetWidth <= 0 || targetHeight <= 0 || sourceWidth < targetWidth ||
        sourceHeight < targetHeight || sourceWidth > 2 * targetWidth ||
        sourceHeight > 2 * targetHeight) {
        sourceWidth_ = 0;
        return false;
    }
    if (sourceWidth == sourceWidth_ && sourceHeight == sourceHeight_ &&
        targetWidth == targetWidth_ && targetHeight == targetHeight_) {
        return true;
    }
    sourceWidth_ = sourceWidth;
    sourceHeight_ = sourceHeight;
    targetWidth_ = targetWidth;
    targetHeight_ = targetHeight;
    columns_ = MakeTaps(sourceWidth, targetWidth);
    rows_ = MakeTaps(sourceHeight, targetHeight);
    // The row holds the source's width plus room for a 16-byte load at any
    // tap (zeros: they only ever meet weight 0).
    row_.assign(static_cast<size_t>(sourceWidth) + 16, 0);
    columnPlan_.assign(static_cast<size_t>(targetWidth / 4) * 32, 0);
    for (int group = 0; group < targetWidth / 4; ++group) {
        uint8_t* entry = columnPlan_.data() + static_cast<size_t>(group) * 32;
        int base = columns_[static_cast<size_t>(group) * 4].first;
        for (int j = 0; j < 4; ++j) {
            const Taps& t = columns_[static_cast<size_t>(group * 4 + j)];
            // Steps between neighbours' first taps are at most 2, so the
            // indices stay below 3 * 2 + 3 = 9.
            for (int k = 0; k < 4; ++k) {
                entry[j * 4 + k] = static_cast<uint8_t>(t.first - base + std::min(k, 2));
                entry[16 + j * 4 + k] = k < 3 ? t.weight[k] : 0;
            }
        }
    }
    return true;
}

void AreaScaler::FilterRow(const uint8_t* source, int sourceStride, const Taps& taps, bool simd) {
    // Rows beyond the plane only ever have weight 0: read the first instead.
    const uint8_t* rows[3];
    int weights[3];
    for (int k = 0; k < 3; ++k) {
        int index = taps.weight[k] != 0 ? taps.first + k : taps.first;
        rows[k] = source + static_cast<ptrdiff_t>(index) * sourceStride;
        weights[k] = taps.weight[k];
    }
    uint8_t* out = row_.data();
    int x = 0;
#if defined(ORBISIGHT_AREA_X86)
    if (simd) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i round = _mm_set1_epi16(32);
        const __m128i w0 = _mm_set1_epi16(static_cast<int16_t>(weights[0]));
        const __m128i w1 = _mm_set1_epi16(static_cast<int16_t>(weights[1]));
        const __m128i w2 = _mm_set1_epi16(static_cast<int16_t>(weights[2]));
        for (; x + 16 <= sourceWidth_; x += 16) {
            __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[0] + x));
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[1] + x));
            __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[2] + x));
            __m128i low = _mm_add_epi16(
                _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), w0),
                              _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), w1)),
                _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(c, zero), w2), round));
            __m128i high = _mm_add_epi16(
                _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), w0),
                              _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), w1)),
                _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(c, zero), w2), round));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                             _mm_packus_epi16(_mm_srli_epi16(low, 6), _mm_srli_epi16(high, 6)));
        }
    }
#else
    (void)simd;
#endif
    for (; x < sourceWidth_; ++x) {
        out[x] = static_cast<uint8_t>(
            (rows[0][x] * weights[0] + rows[1][x] * weights[1] + rows[2][x] * weights[2] + 32) >>
            6);
    }
}

void AreaScaler::FilterColumnsScalar(uint8_t* target) const {
    const uint8_t* row = row_.data();
    for (int x = 0; x < targetWidth_; ++x) {
        const Taps& t = columns_[static_cast<size_t>(x)];
        const uint8_t* p = row + t.first;
        target[x] = static_cast<uint8_t>(
            (p[0] * t.weight[0] + p[1] * t.weight[1] + p[2] * t.weight[2] + 32) >> 6);
    }
}

void AreaScaler::Scale(const uint8_t* source, int sourceStride, uint8_t* target, int targetStride) {
#if defined(ORBISIGHT_AREA_X86)
    bool ssse3 = HasSsse3();
    for (int y = 0; y < targetHeight_; ++y) {
        FilterRow(source, sourceStride, rows_[static_cast<size_t>(y)], true);
        uint8_t* out = target + static_cast<ptrdiff_t>(y) * targetStride;
        if (ssse3) {
            FilterColumnsSsse3(row_.data(), columns_, columnPlan_.data(), targetWidth_, out);
        } else {
            FilterColumnsScalar(out);
        }
    }
#else
    ScaleScalar(source, sourceStride, target, targetStride);
#endif
}

void AreaScaler::ScaleScalar(const uint8_t* source, int sourceStride, uint8_t* target,
                             int targetStride) {
    for (int y = 0; y < targetHeight_; ++y) {
        FilterRow(source, sourceStride, rows_[static_cast<size_t>(y)], false);
        FilterColumnsScalar(target + static_cast<ptrdiff_t>(y) * targetStride);
    }
}

}  // namespace orbisight
