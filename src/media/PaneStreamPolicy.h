#pragma once

#include <cstdint>
#include <optional>

#include "media/VideoSink.h"

namespace orbisight {

// What a pane shows of its camera, as the live channel needs to know it.
struct PaneView {
    int width = 0;  // the drawn picture, in pixels
    int height = 0;
    // Some of the pane can be seen: it is shown on the current wall page,
    // not hidden by another pane's full screen, and its window is neither
    // minimised, unexposed nor fully covered by other windows.
    bool visible = false;
    // The pane itself, frame included (0: as wide as the picture).
    int paneWidth = 0;

    bool operator==(const PaneView&) const = default;
};

// How much of the received video a channel decodes.
enum class DecodeMode {
    kAll,            // every picture
    kKeyFramesOnly,  // a tiny pane: key frames only
    kNone,           // nobody can see the pane: nothing (frames are still received)
};

// The wall's decode policy for one pane: which of the camera's two streams
// the pane asks for, and what of it is decoded.
//
// Stream: a pane whose drawn picture fits inside the sub stream's picture
// asks for the sub stream; one larger than it asks for the main stream. Once
// a stream runs, a wish to change it must hold for kSwitchDelayMs with the
// size unchanged (a resize drag sends nothing until it rests, so a size
// wobbling around the edge does not flip streams). A pane that cannot be
// seen keeps the stream it has.
//
// Decoding: a pane that cannot be seen decodes nothing; a pane narrower
// than kTinyWidth (frame included) decodes key frames only; one whose drawn picture is at most two
// thirds of the decoded picture in both directions is decoded without
// the deblocking filter (at that scale the filtered and unfiltered pictures
// differ by less than the eye can see: above 44 dB PSNR).
//
// Single-threaded; the channel serialises its calls. Times are milliseconds
// of any monotonic clock.
class PaneStreamPolicy {
  public:
    static constexpr int kMainStream = 0;  // the "StreamID" values
    static constexpr int kSubStream = 1;
    static constexpr uint64_t kSwitchDelayMs = 700;
    static constexpr int kTinyWidth = 160;
    // The sub stream's picture until one has been decoded.
    static constexpr PictureSize kDefaultSubSize{640, 360};

    // The stream a pane of the drawn size asks for.
    static int StreamFor(PictureSize drawn, PictureSize sub);
    static DecodeMode DecodeFor(const PaneView& view);
    // Whether pictures of that size drawn at that size need the deblocking
    // filter (an unknown or empty size: yes).
    static bool DeblockFor(PictureSize drawn, PictureSize picture);

    // The pane's view changed (or was told for the first time).
    void SetView(const PaneView& view, uint64_t nowMs);
    // The sub stream's picture size, as decoded.
    void SetSubSize(PictureSize size, uint64_t nowMs);
    PictureSize SubSize() const { return sub_; }

    // The stream to name in a start of the picture stream (a login, a
    // reconnection): a pending wish is taken at once, as nothing is running
    // that a switch would interrupt. nullopt while the pane never told its
    // view: the channel's own rule applies.
    std::optional<int> StartStream();
    // A switch that is due at nowMs; it becomes the current stream. nullopt
    // when nothing is due (or nothing runs yet).
    std::optional<int> DueSwitch(uint64_t nowMs);

    std::optional<int> Current() const { return current_; }
    // A switch is wanted but not yet due.
    bool SwitchPending() const { return wish_ && current_ && *wish_ != *current_; }
    DecodeMode Decode() const { return hasView_ ? DecodeFor(view_) : DecodeMode::kAll; }
    bool HasView() const { return hasView_; }

  private:
    void Rethink(uint64_t nowMs, bool sizeChanged);

    PaneView view_;
    bool hasView_ = false;
    PictureSize sub_ = kDefaultSubSize;
    std::optional<int> current_;  // the stream running (asked for last)
    std::optional<int> wish_;     // what the view asks for now
    uint64_t wishSinceMs_ = 0;    // when the view last changed size
};

}  // namespace orbisight
