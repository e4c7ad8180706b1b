#pragma once

#include <cstdint>
#include <memory>

#include "media/VideoSink.h"

struct AVFrame;
struct SwsContext;

namespace orbisight {

// Converts decoded pictures into a sink's slot: colour conversion (BT.601,
// limited-range source) and scaling to the size the sink asks for, straight
// into the slot; a small pane never pays for a full-size conversion.
//
// libswscale's scaled path into packed RGB runs in plain C, four to five
// times slower than scaling the planes and converting at the small size
// with its SIMD colour converter (which wants an even row count and rows it
// may overrun by up to 7 pixels). So when the slot has the slack for it
// (PictureSlots' buffers do), the picture is scaled as YUV into a small
// buffer of the pane's size and converted from there into the slot (a
// picture already at that size goes straight into the converter);
// otherwise it is converted and scaled in one pass. Shrinking as YUV is
// exact halvings with a 2 x 2 box, then a box filter of a factor up to 2
// (AreaScaler); libswscale scales only what that does not cover (growing,
// odd sizes that cannot halve). The converters are rebuilt only when the
// picture size or the sink size changes.
class PictureRenderer {
  public:
    PictureRenderer();
    ~PictureRenderer();
    PictureRenderer(const PictureRenderer&) = delete;
    PictureRenderer& operator=(const PictureRenderer&) = delete;

    // Returns true when a picture reached the sink.
    bool Render(const AVFrame& picture, VideoSink& sink, const VideoOverlay& overlay);

    // Converts into a caller's buffer (0xffRRGGBB pixels); false for
    // unsupported pictures. Used by Render and by snapshots.
    bool Convert(const AVFrame& picture, const PictureSlot& target);

    // How often the converter was (re)built.
    uint64_t ConverterBuilds() const { return builds_; }

  private:
    struct Converter;
    std::unique_ptr<Converter> converter_;
    PictureSize lastSource_;
    uint64_t builds_ = 0;
};

}  // namespace orbisight
