#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orbisight {

// One recording played by libvlc, for the record manager. Files libvlc knows
// (a bare H.264 stream, MP4, AVI ...) play here; the client's own record
// format goes to CH264FilePlayer instead.
//
// Output: into an X window when one is given (the video area's window id),
// else each picture is copied into memory (RV32, the size of the stream)
// and the owner paints the latest one. The second form needs no windowing
// system, so it works under Wayland, offscreen and in tests.
//
// Threads: every call here runs on the owner's thread and never waits for
// libvlc's threads: stopping and releasing a player (which joins its
// threads) happens on the closing thread "app/vlcclose"; the picture
// callback runs on libvlc's output thread and only copies and wakes.
class VlcMediaPlayer {
  public:
    struct Picture {
        std::vector<uint8_t> pixels;  // width * 4 bytes per line, B G R X
        int width = 0;
        int height = 0;
        uint64_t serial = 0;  // 0: none yet
    };

    // pictureReady: called on libvlc's thread after a picture was copied
    // (memory output only).
    explicit VlcMediaPlayer(std::function<void()> pictureReady);
    // Stop().
    ~VlcMediaPlayer();
    VlcMediaPlayer(const VlcMediaPlayer&) = delete;
    VlcMediaPlayer& operator=(const VlcMediaPlayer&) = delete;

    // Stops any player, then opens path in a new one and starts it.
    // rawH264 forces the H.264 stream reader (a ".264" file says nothing by
    // its name). xWindow 0: memory output. False with the reason when libvlc
    // or the media cannot be created.
    bool Play(const std::string& path, bool rawH264, uint32_t xWindow, std::string* error);
    // Stops and releases the player (behind the window).
    void Stop();
    void SetPaused(bool paused);

    bool Active() const;
    bool IsPlaying() const;
    // The player reached the end or met an error.
    bool Ended() const;
    // 0..100; -1 when libvlc does not know.
    int PositionPercent() const;
    void SetPositionPercent(int percent);

    // Copies the latest picture into out when it is newer than out.serial.
    bool LatestPicture(Picture& out) const;
    uint64_t Pictures() const;

    // Whether libvlc has an output that draws into an X window (its X video
    // outputs come in a plugin package of their own).
    static bool XOutputAvailable();
    // Waits up to waitMs until every player let go of is released.
    static bool WaitAllReleased(int waitMs);

    struct Shared;

  private:
    std::function<void()> pictureReady_;
    std::shared_ptr<Shared> shared_;  // the playing player; null: none
};

}  // namespace orbisight
