#include "media/PictureRenderer.h"

#include <cstddef>
#include <cstring>

#include "media/AreaScale.h"
#include "media/FfmpegHandles.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orbisight {
namespace {

// Full-range formats are marked by their own pixel format in older streams;
// swscale wants the plain format plus a range flag.
AVPixelFormat PlainFormat(int format, bool& fullRange) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            fullRange = true;
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            fullRange = true;
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            fullRange = true;
            return AV_PIX_FMT_YUV444P;
        default:
            return static_cast<AVPixelFormat>(format);
    }
}

// 0xffRRGGBB in native order is B, G, R, A in memory on little-endian
// machines and A, R, G, B on big-endian ones.
constexpr AVPixelFormat kSlotFormat =
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    AV_PIX_FMT_BGRA;
#else
    AV_PIX_FMT_ARGB;
#endif

// Halves a plane with a 2 x 2 box filter (rounding like pavgb twice).
void HalvePlane(const uint8_t* source, int sourceStride, int width, int height, uint8_t* target,
                int targetStride) {
    int halfWidth = width / 2;
    for (int y = 0; y < height / 2; ++y) {
        const uint8_t* top = source + static_cast<ptrdiff_t>(2 * y) * sourceStride;
        const uint8_t* bottom = top + sourceStride;
        uint8_t* out = target + static_cast<ptrdiff_t>(y) * targetStride;
        int x = 0;
#if defined(__SSE2__)
        const __m128i lowBytes = _mm_set1_epi16(0x00ff);
        for (; x + 16 <= halfWidth; x += 16) {
            __m128i v0 =
                _mm_avg_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 2 * x)),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 2 * x)));
            __m128i v1 = _mm_avg_epu8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 2 * x + 16)),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 2 * x + 16)));
            __m128i h0 = _mm_avg_epu16(_mm_and_si128(v0, lowBytes), _mm_srli_epi16(v0, 8));
            __m128i h1 = _mm_avg_epu16(_mm_and_si128(v1, lowBytes), _mm_srli_epi16(v1, 8));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(h0, h1));
        }
#endif
        for (; x < halfWidth; ++x) {
            int sum = top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1];
            out[x] = static_cast<uint8_t>((sum + 2) >> 2);
        }
    }
}

// How often a picture can be halved before scaling to the target: while
// the target is at most half as large in both directions and the sizes
// halve exactly (chroma included).
int Halvings(int width, int height, int targetWidth, int targetHeight) {
    int count = 0;
    while (count < 2) {
        int next = count + 1;
        int factor = 2 << next;  // the chroma planes must halve exactly too
        if (width % factor != 0 || height % factor != 0 || (width >> next) < targetWidth ||
            (height >> next) < targetHeight) {
            break;
        }
        count = next;
    }
    return count;
}

}  // namespace

struct PictureRenderer::Converter {
    // One pass: scale and convert (no slack in the slot, or odd sizes).
    ffmpeg::SwsContextPtr direct;
    // Two passes: scale the planes, then convert at the pane's size.
    ffmpeg::SwsContextPtr scale;
    ffmpeg::SwsContextPtr convert;
    ffmpeg::FramePtr planes;  // the scaled picture, an even number of rows
    // A wall of small panes: the picture is first halved once or twice
    // with a box filter (cheap, and a better filter than bilinear for large
    // ratios), then scaled from there.
    ffmpeg::FramePtr halves[2];
    int halvings = 0;
    // What is left after the halvings is at most a factor of 2 in each
    // direction for a wall pane: a box filter per plane then (luma, chroma).
    // Otherwise (a picture grown, or halvings ruled out by odd sizes)
    // libswscale scales.
    AreaScaler area[2];
    bool useArea = false;
    int sourceWidth = 0;
    int sourceHeight = 0;
    int sourceFormat = -1;
    bool sourceFullRange = false;
    int targetWidth = 0;
    int targetHeight = 0;
    bool twoPass = false;

    void Reset() {
        direct.reset();
        scale.reset();
        convert.reset();
        planes.reset();
        halves[0].reset();
        halves[1].reset();
        halvings = 0;
        useArea = false;
        sourceWidth = 0;
    }
};

PictureRenderer::PictureRenderer() : converter_(std::make_unique<Converter>()) {}
PictureRenderer::~PictureRenderer() = default;

namespace {

void SetColourSpace(SwsContext* context, bool fullRange) {
    // Cameras send BT.601 with limited-range luma (16..235).
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(context, coefficients, fullRange ? 1 : 0, coefficients, 1, 0, 1 << 16,
                             1 << 16);
}

// Whether the slot has the slack of the two-pass path.
bool HasSlack(const PictureSlot& target) {
    int evenRows = (target.height + 1) & ~1;
    return target.rowsAllocated >= evenRows && target.strideBytes >= ((target.width + 7) & ~7) * 4;
}

}  // namespace

bool PictureRenderer::Convert(const AVFrame& picture, const PictureSlot& target) {
    if (!target.Valid() || picture.width <= 0 || picture.height <= 0 ||
        picture.data[0] == nullptr) {
        return false;
    }
    bool fullRange = picture.color_range == AVCOL_RANGE_JPEG;
    AVPixelFormat format = PlainFormat(picture.format, fullRange);
    bool twoPass = HasSlack(target) && format == AV_PIX_FMT_YUV420P;
    bool sameSize = twoPass && picture.width == target.width && picture.height == target.height &&
                    (picture.height & 1) == 0;
    Converter& c = *converter_;
    if (c.sourceWidth != picture.width || c.sourceHeight != picture.height ||
        c.sourceFormat != format || c.sourceFullRange != fullRange ||
        c.targetWidth != target.width || c.targetHeight != target.height || c.twoPass != twoPass) {
        c.Reset();
        // Bilinear: the cheapest filter that does not alias visibly when a
        // wall of small panes shrinks 720p pictures four- to sixfold.
        constexpr int kFlags = SWS_BILINEAR;
        if (sameSize) {
            // Nothing to scale: straight into the colour converter (the
            // decoder's rows are padded, its row count is even).
            c.convert.reset(sws_getContext(picture.width, picture.height, AV_PIX_FMT_YUV420P,
                                           target.width, target.height, kSlotFormat, SWS_POINT,
                                           nullptr, nullptr, nullptr));
            if (!c.convert) {
                c.Reset();
                return false;
            }
            SetColourSpace(c.convert.get(), fullRange);
        } else if (twoPass) {
            int evenRows = (target.height + 1) & ~1;
            c.planes = ffmpeg::MakeFrame();
            c.planes->format = AV_PIX_FMT_YUV420P;
            c.planes->width = target.width;
            c.planes->height = evenRows;
            if (av_frame_get_buffer(c.planes.get(), 64) < 0) {
                c.Reset();
                return false;
            }
            c.halvings = Halvings(picture.width, picture.height, target.width, target.height);
            for (int i = 0; i < c.halvings; ++i) {
                c.halves[i] = ffmpeg::MakeFrame();
                c.halves[i]->format = AV_PIX_FMT_YUV420P;
                c.halves[i]->width = picture.width >> (i + 1);
                c.halves[i]->height = picture.height >> (i + 1);
                if (av_frame_get_buffer(c.halves[i].get(), 64) < 0) {
                    c.Reset();
                    return false;
                }
            }
            int halfWidth = picture.width >> c.halvings;
            int halfHeight = picture.height >> c.halvings;
            c.useArea = c.area[0].Prepare(halfWidth, halfHeight, target.width, target.height) &&
                        c.area[1].Prepare((halfWidth + 1) / 2, (halfHeight + 1) / 2,
                                          (target.width + 1) / 2, (target.height + 1) / 2);
            if (!c.useArea) {
                c.scale.reset(sws_getContext(halfWidth, halfHeight, format, target.width,
                                             target.height, AV_PIX_FMT_YUV420P, kFlags, nullptr,
                                             nullptr, nullptr));
            }
            c.convert.reset(sws_getContext(target.width, evenRows, AV_PIX_FMT_YUV420P, target.width,
                                           evenRows, kSlotFormat, SWS_POINT, nullptr, nullptr,
                                           nullptr));
            if ((!c.useArea && !c.scale) || !c.convert) {
                c.Reset();
                return false;
            }
            SetColourSpace(c.convert.get(), fullRange);
        } else {
            // Without slack, swscale's SIMD colour converter would leave the
            // last columns of rows whose width is not a multiple of 8 alone;
            // accurate rounding keeps it out of the way.
            int flags = kFlags | ((target.width % 8) != 0 ? SWS_ACCURATE_RND : 0);
            c.direct.reset(sws_getContext(picture.width, picture.height, format, target.width,
                                          target.height, kSlotFormat, flags, nullptr, nullptr,
                                          nullptr));
            if (!c.direct) {
                c.Reset();
                return false;
            }
            SetColourSpace(c.direct.get(), fullRange);
        }
        c.sourceWidth = picture.width;
        c.sourceHeight = picture.height;
        c.sourceFormat = format;
        c.sourceFullRange = fullRange;
        c.targetWidth = target.width;
        c.targetHeight = target.height;
        c.twoPass = twoPass;
        ++builds_;
    }
    uint8_t* slot[4] = {reinterpret_cast<uint8_t*>(target.pixels), nullptr, nullptr, nullptr};
    int slotStrides[4] = {target.strideBytes, 0, 0, 0};
    if (!twoPass) {
        return sws_scale(c.direct.get(), picture.data, picture.linesize, 0, picture.height, slot,
                         slotStrides) > 0;
    }
    if (sameSize) {
        return sws_scale(c.convert.get(), picture.data, picture.linesize, 0, picture.height, slot,
                         slotStrides) > 0;
    }
    const AVFrame* source = &picture;
    for (int i = 0; i < c.halvings; ++i) {
        AVFrame* half = c.halves[i].get();
        for (int plane = 0; plane < 3; ++plane) {
            int shift = plane == 0 ? 0 : 1;
            HalvePlane(source->data[plane], source->linesize[plane], source->width >> shift,
                       source->height >> shift, half->data[plane], half->linesize[plane]);
        }
        source = half;
    }
    AVFrame* planes = c.planes.get();
    if (c.useArea) {
        for (int plane = 0; plane < 3; ++plane) {
            c.area[plane == 0 ? 0 : 1].Scale(source->data[plane], source->linesize[plane],
                                             planes->data[plane], planes->linesize[plane]);
        }
    } else if (sws_scale(c.scale.get(), source->data, source->linesize, 0, source->height,
                         planes->data, planes->linesize) <= 0) {
        return false;
    }
    if ((target.height & 1) != 0) {
        // The colour converter works on row pairs: repeat the last luma row
        // into the spare one (its chroma row is already there).
        std::memcpy(
            planes->data[0] + static_cast<ptrdiff_t>(target.height) * planes->linesize[0],
            planes->data[0] + static_cast<ptrdiff_t>(target.height - 1) * planes->linesize[0],
            static_cast<size_t>(target.width));
    }
    return sws_scale(c.convert.get(), planes->data, planes->linesize, 0, planes->height, slot,
                     slotStrides) > 0;
}

bool PictureRenderer::Render(const AVFrame& picture, VideoSink& sink, const VideoOverlay& overlay) {
    PictureSize source{picture.width, picture.height};
    if (!(source == lastSource_)) {
        lastSource_ = source;
        sink.SourceSizeChanged(source);
    }
    PictureSize wanted = sink.WantedSize();
    if (wanted.Empty()) {
        return false;
    }
    PictureSlot slot = sink.BeginPicture(wanted);
    if (!slot.Valid() || slot.width != wanted.width || slot.height != wanted.height) {
        return false;
    }
    if (!Convert(picture, slot)) {
        return false;
    }
    sink.EndPicture(overlay);
    return true;
}

}  // namespace orbisight
