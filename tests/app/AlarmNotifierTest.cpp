// Desktop notices where the desktop has a notification service but no tray:
// a private session bus with a stand-in service that checks what the client
// sends (the method, its eight arguments and their types) and answers with
// an ID; a click on the notice comes back as its "ActionInvoked" signal.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/AlarmNotifier.h"

namespace orbisight {
namespace {
namespace fs = std::filesystem;

#ifdef ORBISIGHT_HAVE_QTDBUS
struct Received {
    QString app, icon, summary, body;
    QStringList actions;
    int timeout = 0;
};

// The service's side: answers Notify with 7, 8, ... and refuses anything
// that is not a well-formed Notify.
class NotificationService : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "Notify" || message.signature() != "susssasa{sv}i") {
            connection.send(message.createErrorReply(QDBusError::InvalidArgs, "bad Notify"));
            return true;
        }
        QList<QVariant> a = message.arguments();
        Received r;
        r.app = a[0].toString();
        r.icon = a[2].toString();
        r.summary = a[3].toString();
        r.body = a[4].toString();
        r.actions = a[5].toStringList();
        r.timeout = a[7].toInt();
        received.push_back(r);
        connection.send(message.createReply(QVariant::fromValue<uint>(nextId++)));
        return true;
    }
    std::vector<Received> received;
    uint nextId = 7;
};

class PrivateBus {
  public:
    PrivateBus() {
        char pattern[] = "/tmp/orbisight-bus-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        fs::path socket = folder_ / "bus";
        address_ = "unix:path=" + socket.string();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
                     ("--address=" + address_).c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 200 && !fs::exists(socket); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        ready_ = fs::exists(socket);
    }
    ~PrivateBus() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    bool Ready() const { return ready_; }
    const std::string& Address() const { return address_; }

  private:
    fs::path folder_;
    std::string address_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

bool DaemonInstalled() {
    return std::system("command -v dbus-daemon >/dev/null 2>&1") == 0;
}

TEST(AlarmNotices, GoToTheNotificationServiceWithoutATrayAndTheirClickComesBack) {
    if (!DaemonInstalled()) {
        GTEST_SKIP() << "dbus-daemon is not installed";
    }
    PrivateBus bus;
    ASSERT_TRUE(bus.Ready()) << "the private session bus did not start";
    QString address = QString::fromStdString(bus.Address());
    QDBusConnection serviceSide = QDBusConnection::connectToBus(address, "notices-service");
    ASSERT_TRUE(serviceSide.isConnected());
    NotificationService service;
    ASSERT_TRUE(serviceSide.registerVirtualObject(AlarmNotifier::kPath, &service));
    ASSERT_TRUE(serviceSide.registerService(AlarmNotifier::kService));

    const char* saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    std::string before = saved ? saved : "";
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str(), 1);
    {
        QWidget window;
        AlarmNotifier notifier(&window);
        notifier.SetTrayAllowed(false);
        QSignalSpy shown(&notifier, &AlarmNotifier::noticeShown);
        QSignalSpy clicked(&notifier, &AlarmNotifier::clicked);
        // A content with markup characters and non-ASCII text.
        EXPECT_TRUE(notifier.Notify("Haustür", "ORBI00000003", "Bewegung", "<b>Flur</b> & Tür"));
        ASSERT_TRUE(shown.wait(5000)) << "the service never answered the notice";
        EXPECT_EQ(shown.takeFirst().at(0).toUInt(), 7u);
        ASSERT_EQ(service.received.size(), 1u);
        const Received& r = service.received[0];
        EXPECT_EQ(r.app, AlarmNotifier::kAppName);
        EXPECT_EQ(r.summary, "Alarm: Bewegung");
        EXPECT_EQ(r.body, "Haustür (ORBI00000003)\n&lt;b&gt;Flur&lt;/b&gt; &amp; Tür")
            << "markup in the content is shown as text";
        EXPECT_TRUE(r.actions.contains("default"));
        EXPECT_EQ(r.timeout, AlarmNotifier::kShowMs);

        // A click on someone else's notice is not ours; on ours it is.
        QDBusMessage other = QDBusMessage::createSignal(AlarmNotifier::kPath,
                                                        AlarmNotifier::kService, "ActionInvoked");
        other << 99u << QString("default");
        serviceSide.send(other);
        QDBusMessage ours = QDBusMessage::createSignal(AlarmNotifier::kPath,
                                                       AlarmNotifier::kService, "ActionInvoked");
        ours << 7u << QString("default");
        serviceSide.send(ours);
        ASSERT_TRUE(clicked.wait(5000)) << "the click on the notice did not come back";
        QTest::qWait(200);
        EXPECT_EQ(clicked.size(), 1) << "only the click on our own notice counts";
    }
    if (before.empty()) {
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    } else {
        ::setenv("DBUS_SESSION_BUS_ADDRESS", before.c_str(), 1);
    }
    serviceSide.unregisterService(AlarmNotifier::kService);
    QDBusConnection::disconnectFromBus("notices-service");
}

TEST(AlarmNotices, WithoutASessionBusNothingIsShownAndNothingFails) {
    const char* saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    std::string before = saved ? saved : "";
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    QWidget window;
    AlarmNotifier notifier(&window);
    notifier.SetTrayAllowed(false);
    EXPECT_FALSE(notifier.Notify("", "ORBI00000001", "Alarm", ""));
    if (!before.empty()) {
        ::setenv("DBUS_SESSION_BUS_ADDRESS", before.c_str(), 1);
    }
}
#endif

}  // namespace
}  // namespace orbisight
