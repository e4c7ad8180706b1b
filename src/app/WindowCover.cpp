#include "app/WindowCover.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

#include <cstdlib>

#if defined(ORBISIGHT_HAVE_XCB)
#include <xcb/xcb.h>
#endif

namespace orbisight {
namespace {

// The X protocol's numbers, so that the event stream can be read (and
// tested) where the xcb headers are missing.
constexpr uint8_t kVisibilityNotify = 15;
constexpr uint8_t kFullyObscured = 2;

// xcb_visibility_notify_event_t.
struct VisibilityEvent {
    uint8_t responseType;
    uint8_t pad0;
    uint16_t sequence;
    uint32_t window;
    uint8_t state;
    uint8_t pad1[3];
};

}  // namespace

WindowCover& WindowCover::Instance() {
    static WindowCover instance;
    return instance;
}

void WindowCover::Install() {
    if (!installed_ && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        installed_ = true;
    }
}

void WindowCover::Watch(QWindow* window, std::function<void()> changed) {
    if (window == nullptr) {
        return;
    }
    auto id = static_cast<uint32_t>(window->winId());
    auto found = windows_.find(id);
    if (found != windows_.end()) {
        // Asked again: a new window under an id the server has reused.
        found->second = Watched{false, std::move(changed)};
        return;
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        AskForVisibilityEvents(id);
    }
    Install();
    windows_[id] = Watched{false, std::move(changed)};
}

void WindowCover::AskForVisibilityEvents(uint32_t id) {
#if defined(ORBISIGHT_HAVE_XCB)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return;
    }
    // Added to the events Qt asked for (the server keeps one mask per
    // client and window): a round trip to the local server, once per
    // window.
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, id), nullptr);
    if (attributes == nullptr) {
        return;
    }
    uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    free(attributes);
    xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
#else
    (void)id;
#endif
}

bool WindowCover::FullyCovered(const QWindow* window) const {
    if (window == nullptr || windows_.empty()) {
        return false;
    }
    auto found = windows_.find(static_cast<uint32_t>(window->winId()));
    return found != windows_.end() && found->second.covered;
}

bool WindowCover::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (message == nullptr || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const VisibilityEvent*>(message);
    if ((event->responseType & 0x7f) != kVisibilityNotify) {
        return false;
    }
    auto found = windows_.find(event->window);
    if (found == windows_.end()) {
        return false;
    }
    bool covered = event->state == kFullyObscured;
    if (covered != found->second.covered) {
        found->second.covered = covered;
        if (found->second.changed) {
            found->second.changed();
        }
    }
    return false;  // Qt may look at it too
}

}  // namespace orbisight
