// The widget tests share one QApplication (offscreen platform), created
// before any test runs.

#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ui/SkinStyle.h"

namespace {
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "app_widget_tests";
        static char* argv[] = {name, nullptr};
        // Tests never touch the user's folders.
        static std::string home =
            std::string("/tmp/orbisight-widget-home-") + std::to_string(getpid());
        setenv("ORBISIGHT_HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        app_ = new QApplication(argc, argv);
        orbisight::ui::ApplySkinStyle(*app_);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
        std::error_code ec;
        std::filesystem::remove_all(getenv("ORBISIGHT_HOME"), ec);
    }

  private:
    QApplication* app_ = nullptr;
};
const auto* kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
}  // namespace

// Under ThreadSanitizer: Qt, FFmpeg, libvlc and libdbus are not
// instrumented, so their own locking (event queues, the raster engine's
// thread pool, decoding and player threads, the bus connection that Qt's
// D-Bus thread shares) is invisible and shows up as races inside them.
// Reports with a frame in one of them are suppressed; races in our code are
// still reported.
//
// The copies Qt makes through intercepted functions (memcpy of the raster
// engine's threads scaling a pane's picture) are not looked at either: each
// such report would be suppressed all the same, but only after it was
// built and matched, which on a loaded machine made one repaint of a full
// wall take longer than a test's whole wait. Only memory accesses are
// skipped there; Qt's locks still count.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\nrace:libQt6Gui.so\nrace:libQt6Widgets.so\nrace:libQt6DBus.so\n"
           "race:libavcodec.so\nrace:libavutil.so\nrace:libvlccore.so\nrace:libvlc.so\n"
           "race:libdbus-1.so\n"
           "called_from_lib:libQt6Core.so\ncalled_from_lib:libQt6Gui.so\n"
           "called_from_lib:libQt6Widgets.so\n";
}
