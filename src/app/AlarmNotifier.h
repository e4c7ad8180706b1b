#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <set>

class QSystemTrayIcon;
class QWidget;

namespace orbisight {

// Desktop notices of alarms, so an alarm reaches the user while the main
// window is behind others: a message of the system tray where the desktop
// has a tray, else a notice of the freedesktop notification service on the
// session bus (desktops with notifications but no tray), naming the camera
// and the alarm. Where neither exists nothing is shown and nothing fails.
// Clicking a notice emits clicked().
class AlarmNotifier : public QObject {
    Q_OBJECT
  public:
    // Where a notice goes instead of the desktop (tests).
    using Sink = std::function<void(const QString& title, const QString& body)>;
    static constexpr int kShowMs = 10000;
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    static constexpr const char* kAppName = "Orbisight Cloud System";

    explicit AlarmNotifier(QWidget* window);

    // "Alarm: TITLE" and "CAMERA (ID)\nCONTENT"; the camera's name is left
    // out when it is unknown or the ID itself.
    static QString TitleFor(const QString& alarmTitle);
    static QString BodyFor(const QString& cameraName, const QString& deviceId,
                           const QString& content);

    // True when a notice was handed to the tray, the notification service
    // (sent; the service answers later) or the sink.
    bool Notify(const QString& cameraName, const QString& deviceId, const QString& alarmTitle,
                const QString& content);
    void SetSink(Sink sink) { sink_ = std::move(sink); }
    // Tests: skip the tray and go to the session bus directly.
    void SetTrayAllowed(bool allowed) { trayAllowed_ = allowed; }
    // Notices the service confirmed (its IDs), for tests.
    size_t ConfirmedNotices() const { return notices_.size(); }

  signals:
    void clicked();
    // The notification service answered a notice with its ID.
    void noticeShown(unsigned id);

  private slots:
    void OnActionInvoked(unsigned id, const QString& action);
    void OnNoticeClosed(unsigned id, unsigned reason);

  private:
    bool NotifyTray(const QString& title, const QString& body);
    bool NotifyBus(const QString& title, const QString& body);

    QWidget* window_;
    QSystemTrayIcon* tray_ = nullptr;  // made at the first notice when a tray exists
    Sink sink_;
    bool trayAllowed_ = true;
    bool busWatched_ = false;
    std::set<unsigned> notices_;  // the service's IDs of our notices still up
};

}  // namespace orbisight
