#pragma once

#include <cstdint>
#include <string>

namespace orbisight {

// A picture size in pixels.
struct PictureSize {
    int width = 0;
    int height = 0;

    bool Empty() const { return width <= 0 || height <= 0; }
    bool operator==(const PictureSize&) const = default;
};

// The size a pane's pictures are converted at: the pane's picture area, but
// never more than the decoded picture in either direction. A pane larger
// than the stream (a 720p camera in full screen) gets the picture at its own
// size and the painter stretches it as it draws into its window buffer, so
// the video thread never writes a full-screen copy the painter would then
// copy again. An empty source (not known yet) leaves the area as it is.
PictureSize ConvertedSize(PictureSize area, PictureSize source);

// What a pane draws over the picture, delivered with every picture so the
// painter never reads channel state from another thread.
struct VideoOverlay {
    std::string title;         // the camera's name
    bool alarm = false;        // the camera marked this picture (frame flags bits 8-15 == 1)
    bool alarmBorder = false;  // alarm and the "Alarm blink" setting: draw the border
    uint32_t borderRgb = 0;    // colour of this border, 0xRRGGBB; alternates every second border
    bool recording = false;
    bool listening = false;
    bool talking = false;
    uint32_t blinkCounter = 0;  // the recording icon alternates with its parity
    uint32_t sendStamp = 0;     // the frame's send stamp (media/FrameStamp.h), 0: none
};

// The alarm border's colour alternates every second border drawn anywhere in
// the process: red (200, 0, 0) and amber (255, 200, 14). Advances the
// process-wide counter and returns the colour of this border (0xRRGGBB).
uint32_t NextAlarmBorderRgb();

// The recording icon blinks with a process-wide counter that the device
// panel advances on its timer.
void AdvanceRecordingBlink();
uint32_t RecordingBlink();

// One picture buffer lent to the video thread. Pixels are 32-bit 0xffRRGGBB
// in native byte order (the layout of QImage::Format_RGB32), rows
// strideBytes apart; the picture is width x height.
//
// A buffer with slack lets the converter take its fastest path: rows padded
// to a multiple of 16 pixels and one spare row (PictureSlots provides both).
// The converter may then write into the padding and the spare row, never
// beyond rowsAllocated rows of strideBytes.
struct PictureSlot {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int strideBytes = 0;
    int rowsAllocated = 0;  // 0: exactly height rows

    bool Valid() const { return pixels != nullptr && width > 0 && height > 0; }
};

// Where a channel's video thread puts its pictures: the pane on screen, or a
// headless sink in the command-line tool, tests and benchmarks.
//
// Every call below is made on the channel's video thread, one picture at a
// time: WantedSize, then BeginPicture, the conversion into the slot, then
// EndPicture. The sink decides the size, so a small pane never pays for a
// full-size conversion. A sink must keep the slot handed out by BeginPicture
// apart from the one its painter may be reading (see PictureSlots).
class VideoSink {
  public:
    virtual ~VideoSink() = default;

    // The size the pictures should have (the pane's picture area). An empty
    // size means "nothing to draw now" (a hidden pane): the picture is
    // decoded but not converted.
    virtual PictureSize WantedSize() = 0;

    // A slot of exactly `size` to convert the next picture into. An invalid
    // slot skips this picture.
    virtual PictureSlot BeginPicture(PictureSize size) = 0;

    // The slot of the last BeginPicture is complete: it becomes the latest
    // picture, with the overlay state that goes with it.
    virtual void EndPicture(const VideoOverlay& overlay) = 0;

    // The decoded picture size changed (first picture, stream switch).
    // Default: nothing to do.
    virtual void SourceSizeChanged(PictureSize /*size*/) {}
};

}  // namespace orbisight
