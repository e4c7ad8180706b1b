#include "app/AlarmNotifier.h"

#include <QSystemTrayIcon>
#include <QWidget>

#ifdef ORBISIGHT_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#endif

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
    if (trayAllowed_ && NotifyTray(title, body)) {
        return true;
    }
    return NotifyBus(title, body);
}

bool AlarmNotifier::NotifyTray(const QString& title, const QString& body) {
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

#ifdef ORBISIGHT_HAVE_QTDBUS
bool AlarmNotifier::NotifyBus(const QString& title, const QString& body) {
    // Only a session bus that is there: asking for one without an address
    // could start a bus daemon of its own.
    QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        return false;
    }
    // A connection of its own, named by the address: a bus that came later
    // (a new login session) is reached too.
    QDBusConnection bus = QDBusConnection::connectToBus(address, "orbisight-notices " + address);
    if (!bus.isConnected()) {
        return false;
    }
    if (!busWatched_) {
        busWatched_ = true;
        bus.connect(kService, kPath, kService, "ActionInvoked", this,
                    SLOT(OnActionInvoked(uint, QString)));
        bus.connect(kService, kPath, kService, "NotificationClosed", this,
                    SLOT(OnNoticeClosed(uint, uint)));
    }
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints,
    // expire_timeout). The body is markup for some services: plain text
    // with its special characters escaped.
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
    QVariantMap hints;
    hints.insert("urgency", QVariant::fromValue<uchar>(2));
    hints.insert("category", QString("device"));
    hints.insert("desktop-entry", QString("orbisight"));
    call << QString(kAppName) << 0u << QString("dialog-warning") << title << body.toHtmlEscaped()
         << QStringList{"default", "Show"} << hints << kShowMs;
    // Never waits: a service that is missing or slow only means no notice.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<uint> reply = *w;
        if (!reply.isError()) {
            notices_.insert(reply.value());
            emit noticeShown(reply.value());
        }
        w->deleteLater();
    });
    return true;
}

void AlarmNotifier::OnActionInvoked(unsigned id, const QString& action) {
    if (notices_.count(id) != 0 && (action == "default" || action == "Show")) {
        emit clicked();
    }
}

void AlarmNotifier::OnNoticeClosed(unsigned id, unsigned) {
    notices_.erase(id);
}
#else
bool AlarmNotifier::NotifyBus(const QString&, const QString&) {
    return false;
}

void AlarmNotifier::OnActionInvoked(unsigned, const QString&) {}

void AlarmNotifier::OnNoticeClosed(unsigned, unsigned) {}
#endif

}  // namespace orbisight
