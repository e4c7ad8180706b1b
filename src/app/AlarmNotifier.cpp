#include "app/AlarmNotifier.h"

#include <QSystemTrayIcon>
#include <QWidget>

namespace orbisight {

AlarmNotifier::AlarmNotifier(QWidget* window) : QObject(window), window_(window) {}

QString AlarmNotifier::TitleFor(const QString& alarmTitle) {
    return alarmTitle.isEmpty() ? QString("Alarm") : "Alarm: " + alarmTitle;
}

QString AlarmNotifier::BodyFor(const QString& cameraName, const QString& deviceId,
                               const QString& content) {
    QString camera = cameraName.isEmpty() || cameraName == deviceId
                         ? deviceId
                         : QString("%1 (%2)").arg(cameraName, deviceId);
    return content.isEmpty() ? camera : camera + "\n" + content;
}

bool AlarmNotifier::Notify(const QString& cameraName, const QString& deviceId,
                           const QString& alarmTitle, const QString& content) {
    QString title = TitleFor(alarmTitle);
    QString body = BodyFor(cameraName, deviceId, content);
    if (sink_) {
        sink_(title, body);
        return true;
    }
    if (!tray_) {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            return false;
        }
        tray_ = new QSystemTrayIcon(window_->windowIcon(), this);
        tray_->setToolTip(window_->windowTitle());
        connect(tray_, &QSystemTrayIcon::messageClicked, this, &AlarmNotifier::clicked);
        // A click on the icon itself brings the window forward as well.
        connect(tray_, &QSystemTrayIcon::activated, this, [this](auto reason) {
            if (reason == QSystemTrayIcon::Trigger) {
                emit clicked();
            }
        });
        tray_->show();
    }
    if (!QSystemTrayIcon::supportsMessages()) {
        return false;
    }
    tray_->showMessage(title, body, QSystemTrayIcon::Warning, kShowMs);
    return true;
}

}  // namespace orbisight
