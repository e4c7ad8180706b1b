#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QSystemTrayIcon;
class QWidget;

namespace orbisight {

// Desktop notices of alarms, so an alarm reaches the user while the main
// window is behind others: a message of the system tray (freedesktop
// notifications where a tray exists), naming the camera and the alarm.
// Where the desktop has no tray nothing is shown and nothing fails.
// Clicking a message emits clicked().
class AlarmNotifier : public QObject {
    Q_OBJECT
  public:
    // Where a notice goes instead of the tray (tests).
    using Sink = std::function<void(const QString& title, const QString& body)>;
    static constexpr int kShowMs = 10000;

    explicit AlarmNotifier(QWidget* window);

    // "Alarm: TITLE" and "CAMERA (ID)\nCONTENT"; the camera's name is left
    // out when it is unknown or the ID itself.
    static QString TitleFor(const QString& alarmTitle);
    static QString BodyFor(const QString& cameraName, const QString& deviceId,
                           const QString& content);

    // True when a notice was handed to the tray or the sink.
    bool Notify(const QString& cameraName, const QString& deviceId, const QString& alarmTitle,
                const QString& content);
    void SetSink(Sink sink) { sink_ = std::move(sink); }

  signals:
    void clicked();

  private:
    QWidget* window_;
    QSystemTrayIcon* tray_ = nullptr;  // made at the first notice when a tray exists
    Sink sink_;
};

}  // namespace orbisight
