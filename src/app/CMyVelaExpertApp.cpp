#include "app/CMyVelaExpertApp.h"

#include <QApplication>
#include <QScreen>
#include <csignal>

#include "app/AppSettings.h"
#include "app/AutomationRunner.h"
#include "app/CMyVelaExpertDlg.h"
#include "media/CWaveOut.h"
#include "ui/ShutterSound.h"
#include "ui/SkinStyle.h"

namespace orbisight {

int CMyVelaExpertApp::Run(int argc, char** argv) {
    // The framework and the standard controls.
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orbisight Cloud System");
    QApplication::setOrganizationName("Orbisight");
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

    // The settings record (with its defaults) and "ShowAlarm". The command
    // line is not interpreted: only " /OnSysStart" is ever written for
    // start with the computer, and it changes nothing.
    AppSettings settings(
        AppSettings::UserPlaces(QApplication::applicationFilePath().toStdString()));
    settings.Load();

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
    return code;
}

}  // namespace orbisight
