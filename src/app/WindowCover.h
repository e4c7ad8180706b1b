#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>
#include <map>

class QWindow;

namespace orbisight {

// Tells whether a top-level window is fully covered by other windows. Qt
// reports a minimised or unmapped window as unexposed, but on X11 a window
// that other windows merely cover stays "exposed"; the X server tells it
// with visibility events, which are asked for here and read from the
// native event stream. Without X (or under a compositing window manager,
// which never reports a window as covered) nothing is ever covered.
//
// Window thread only.
class WindowCover : public QAbstractNativeEventFilter {
  public:
    static WindowCover& Instance();

    // Starts watching window (asked again for the same native window id:
    // a new window, not covered); changed is called whenever its covered
    // state flips. The X server is asked for the events on X11 only.
    void Watch(QWindow* window, std::function<void()> changed);
    bool FullyCovered(const QWindow* window) const;

    // The events as Qt hands them on ("xcb_generic_event_t"); never
    // consumed.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    WindowCover() = default;
    void Install();
    void AskForVisibilityEvents(uint32_t id);

    struct Watched {
        bool covered = false;
        std::function<void()> changed;
    };
    std::map<uint32_t, Watched> windows_;
    bool installed_ = false;
};

}  // namespace orbisight
