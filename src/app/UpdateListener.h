#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace orbisight {

// Where an external updater reaches the running client: a local socket named
// "FoundMyVelaExpertNewVersion20121213160030" on which it writes one line
// with a code (decimal or 0x-hexadecimal): 0x2000 a new version has been
// downloaded, 0x4000 there is no new version, 0x1000 nothing to show. When
// the user declines an install, the lock file
// "MyVelaExpertRejectToAutoupdate20121213160030" is created in the runtime
// folder and kept until the client ends; the updater looks for it.
class UpdateListener : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* kServerName = "FoundMyVelaExpertNewVersion20121213160030";
    static constexpr const char* kRejectLockName = "MyVelaExpertRejectToAutoupdate20121213160030";
    static constexpr int kNewVersionDownloaded = 0x2000;
    static constexpr int kNoNewVersion = 0x4000;
    static constexpr int kSilent = 0x1000;

    explicit UpdateListener(QObject* parent = nullptr);
    ~UpdateListener() override;

    // Starts listening. False when another client already listens.
    bool Listen();
    bool Listening() const;
    // Creates the "declined" lock file (kept until destruction).
    bool CreateRejectLock();
    static QString RejectLockPath();
    // Parses one line of the updater ("8192", "0x2000"); -1 when it is not a
    // number.
    static int ParseCode(const QByteArray& line);

  signals:
    void updaterMessage(int code);

  private:
    QLocalServer* server_;
    bool lockCreated_ = false;
};

}  // namespace orbisight
