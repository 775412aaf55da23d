#include "app/InstanceChannel.h"

#include <QLocalSocket>

namespace {
// The request as it travels: one line.
const QByteArray kShowRequest = QByteArrayLiteral("show\n");
} // namespace

InstanceChannel::InstanceChannel(QObject* parent) : QObject(parent)
{
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // Only the one request is understood; anything longer or else is dropped.
                const QByteArray request = socket->read(kShowRequest.size() + 1);
                socket->disconnectFromServer();
                if (request == kShowRequest) {
                    emit showRequested();
                }
            });
        }
    });
}

bool InstanceChannel::listen(const QString& name)
{
    if (name.isEmpty()) {
        return false;
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(name);
    return server_.listen(name);
}

bool InstanceChannel::askToShow(const QString& name, int timeoutMs)
{
    if (name.isEmpty()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kShowRequest);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    // The running instance closes the connection once it has read the request.
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(timeoutMs);
    }
    return sent;
}
