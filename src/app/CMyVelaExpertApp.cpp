#include "app/CMyVelaExpertApp.h"

#include <QApplication>
#include <QScreen>
#include <csignal>
#include <cstdio>
#include <memory>

#include "app/AppSettings.h"
#include "app/AutomationRunner.h"
#include "app/CMyVelaExpertDlg.h"
#include "media/CWaveOut.h"
#include "platform/ProgramFiles.h"
#include "records/CloudStorageLibrary.h"
#include "ui/ShutterSound.h"
#include "ui/SkinStyle.h"

namespace orbisight {

namespace {
// Set for the time of Run; read on the window thread.
CloudStorageLibrary* cloudStorage = nullptr;
}  // namespace

CloudStorageLibrary* CMyVelaExpertApp::CloudStorage() {
    return cloudStorage;
}

int CMyVelaExpertApp::Run(int argc, char** argv) {
    // The framework and the standard controls.
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orbisight Cloud System");
    QApplication::setOrganizationName("Orbisight");
    // The installed desktop entry (orbisight.desktop): a Wayland desktop
    // matches the window to it, and so to the menu entry and its icon.
    QGuiApplication::setDesktopFileName("orbisight");
    ui::ApplySkinStyle(app);

    // Sockets need no start-up here; a peer that goes away must not end the
    // program with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);

    // A channel whose sound finds no output device beeps once; the channel
    // calls this on its audio thread.
    CWaveOut::SetNoDeviceHandler([&app] {
        QMetaObject::invokeMethod(
            &app, [] { QApplication::beep(); }, Qt::QueuedConnection);
    });

    // The cloud-storage client library, beside the program (or
    // $ORBISIGHT_CLOUD_LIBRARY). Without it the cloud page says so and
    // nothing of it is called.
    std::string cloudError;
    std::unique_ptr<CloudStorageLibrary> cloud =
        CloudStorageLibrary::Load(CloudStorageLibrary::DefaultPath(), cloudError);
    if (!cloud) {
        std::fprintf(stderr, "orbisight: cloud storage is unavailable: %s\n", cloudError.c_str());
    }

    // The settings record (with its defaults) and "ShowAlarm". The command
    // line is not interpreted: only " /OnSysStart" is ever written for
    // start with the computer, and it changes nothing.
    // The autostart entry names the real path of this executable: the
    // installed copy when it runs installed, wherever it was started from.
    std::string programPath = ProgramPath().string();
    if (programPath.empty()) {
        programPath = QApplication::applicationFilePath().toStdString();
    }
    AppSettings settings(AppSettings::UserPlaces(programPath));
    settings.Load();

    // The program folder to the cloud-storage client, once.
    if (cloud) {
        cloud->Init(CloudStorageLibrary::ProgramFolder());
        cloudStorage = cloud.get();
    }

    int code = 0;
    {
        CMyVelaExpertDlg window(settings, CMyVelaExpertDlg::Options{});
        if (QScreen* screen = QApplication::primaryScreen()) {
            // Without a window manager "maximized" is only a wish: start at the
            // screen's size either way.
            window.setGeometry(screen->availableGeometry());
        }
        window.showMaximized();
        if (AutomationRunner* script = AutomationRunner::FromEnvironment(&window)) {
            script->Start();
        }
        code = app.exec();
    }
    // After the main window: the settings, then "ShowAlarm".
    settings.Save();
    settings.SaveShowAlarm();
    ui::ShutdownShutterSound();
    // Last: the cloud-storage client is finalised and unloaded.
    cloudStorage = nullptr;
    cloud.reset();
    return code;
}

}  // namespace orbisight
