#include "app/UpdateListener.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace orbisight {

UpdateListener::UpdateListener(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    int code = ParseCode(socket->readLine(64));
                    if (code >= 0) {
                        emit updaterMessage(code);
                    }
                }
                if (socket->bytesAvailable() > 64) {
                    socket->abort();  // not an updater: no line in sight
                }
            });
        }
    });
}

UpdateListener::~UpdateListener() {
    if (lockCreated_) {
        QFile::remove(RejectLockPath());
    }
}

bool UpdateListener::Listen() {
    if (server_->listen(kServerName)) {
        return true;
    }
    // A name left behind by a client that crashed: nobody answers on it.
    QLocalSocket probe;
    probe.connectToServer(kServerName);
    if (probe.waitForConnected(200)) {
        return false;
    }
    QLocalServer::removeServer(kServerName);
    return server_->listen(kServerName);
}

bool UpdateListener::Listening() const {
    return server_->isListening();
}

QString UpdateListener::RejectLockPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return folder + "/" + kRejectLockName;
}

bool UpdateListener::CreateRejectLock() {
    QFile file(RejectLockPath());
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(QByteArray::number(QCoreApplication::applicationPid()) + "\n");
    lockCreated_ = true;
    return true;
}

int UpdateListener::ParseCode(const QByteArray& line) {
    QByteArray text = line.trimmed();
    bool ok = false;
    int code = text.startsWith("0x") || text.startsWith("0X") ? text.mid(2).toInt(&ok, 16)
                                                              : text.toInt(&ok, 10);
    return ok && code >= 0 ? code : -1;
}

}  // namespace orbisight
