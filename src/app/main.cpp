// orbisight: the desktop client for networked IP cameras.

#include <cstdio>
#include <cstring>

#include "app/CMyVelaExpertApp.h"

namespace {

// The options named here are the ones docs/man/orbisight.1 names (a test
// compares the two).
void Help() {
    std::printf(
        "usage: orbisight [--help | --version]\n"
        "\n"
        "The desktop client for networked IP cameras: live view of many cameras on\n"
        "a wall of panes, with sound, talk, pan/tilt, snapshots and recording;\n"
        "camera settings, recordings on a camera's SD card or in cloud storage,\n"
        "alarms. It takes no arguments of its own (the autostart entry's\n"
        "\"/OnSysStart\" is ignored); Qt's standard options such as -platform are\n"
        "accepted. The environment variables are in orbisight(1).\n"
        "\n"
        "  -h, --help      this text\n"
        "  --version       the version\n");
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window or display is opened, for a terminal user.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Help();
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("orbisight %s\n", ORBISIGHT_VERSION);
        return 0;
    }
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
