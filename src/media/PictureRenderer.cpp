#include "media/PictureRenderer.h"

#include "media/FfmpegHandles.h"

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

}  // namespace

struct PictureRenderer::Converter {
    ffmpeg::SwsContextPtr context;
    int sourceWidth = 0;
    int sourceHeight = 0;
    int sourceFormat = -1;
    bool sourceFullRange = false;
    int targetWidth = 0;
    int targetHeight = 0;
};

PictureRenderer::PictureRenderer() : converter_(std::make_unique<Converter>()) {}
PictureRenderer::~PictureRenderer() = default;

bool PictureRenderer::Convert(const AVFrame& picture, const PictureSlot& target) {
    if (!target.Valid() || picture.width <= 0 || picture.height <= 0 ||
        picture.data[0] == nullptr) {
        return false;
    }
    bool fullRange = picture.color_range == AVCOL_RANGE_JPEG;
    AVPixelFormat format = PlainFormat(picture.format, fullRange);
    Converter& c = *converter_;
    if (!c.context || c.sourceWidth != picture.width || c.sourceHeight != picture.height ||
        c.sourceFormat != format || c.sourceFullRange != fullRange ||
        c.targetWidth != target.width || c.targetHeight != target.height) {
        // Bilinear is the cheapest filter that does not alias visibly when a
        // wall of small panes shrinks 720p pictures four- to sixfold.
        int flags = SWS_BILINEAR;
        c.context.reset(sws_getContext(picture.width, picture.height, format, target.width,
                                       target.height, kSlotFormat, flags, nullptr, nullptr,
                                       nullptr));
        if (!c.context) {
            c.sourceWidth = 0;
            return false;
        }
        // Cameras send BT.601 with limited-range luma (16..235).
        const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
        sws_setColorspaceDetails(c.context.get(), coefficients, fullRange ? 1 : 0, coefficients, 1,
                                 0, 1 << 16, 1 << 16);
        c.sourceWidth = picture.width;
        c.sourceHeight = picture.height;
        c.sourceFormat = format;
        c.sourceFullRange = fullRange;
        c.targetWidth = target.width;
        c.targetHeight = target.height;
        ++builds_;
    }
    uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(target.pixels), nullptr, nullptr, nullptr};
    int strides[4] = {target.strideBytes, 0, 0, 0};
    int rows = sws_scale(c.context.get(), picture.data, picture.linesize, 0, picture.height, planes,
                         strides);
    return rows > 0;
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
