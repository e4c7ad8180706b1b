// orbisight: the desktop client for networked IP cameras.

#include "app/CMyVelaExpertApp.h"

int main(int argc, char** argv) {
    orbisight::CMyVelaExpertApp app;
    return app.Run(argc, argv);
}

// Under ThreadSanitizer builds: the locking inside the libraries we use (Qt,
// GLib and D-Bus under Qt's event loop, FFmpeg's decoder threads) is
// invisible to the sanitizer, as they are not instrumented; reports with
// one of their frames are not ours.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\nrace:libQt6Gui.so\nrace:libQt6Widgets.so\n"
           "race:libglib-2.0.so\nrace:libdbus-1.so\n"
           "race:libavcodec.so\nrace:libavutil.so\n";
}

// Under AddressSanitizer builds: the D-Bus library Qt loads keeps a buffer
// for the life of the process, which the leak check would report at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}
