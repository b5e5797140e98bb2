#include "app/InstanceChannel.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalSocket>

namespace {

constexpr int kWaitMs = 3000;

QByteArray Encode(const InstanceMessage& message) {
  return QByteArray(message.name) + ' ' + QByteArray::number(message.wParam) + ' ' +
         QByteArray::number(message.lParam) + '\n';
}

}  // namespace

InstanceChannel::InstanceChannel(const QString& channelKey, QObject* parent) : QObject(parent) {
  const QByteArray keyHash = QCryptographicHash::hash(channelKey.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
  name_ = QStringLiteral("Postwick-%1-%2").arg(getuid()).arg(QString::fromLatin1(keyHash));
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &InstanceChannel::HandleConnection);
}

bool InstanceChannel::AnotherInstanceRuns() const {
  QLocalSocket probe;
  probe.connectToServer(name_);
  return probe.waitForConnected(kWaitMs);
}

bool InstanceChannel::Listen() {
  if (server_.listen(name_)) return true;
  QLocalServer::removeServer(name_);  // a socket file left by a crashed instance
  return server_.listen(name_);
}

bool InstanceChannel::Send(const InstanceMessage& message) const {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kWaitMs)) return false;
  socket.write(Encode(message));
  if (!socket.waitForBytesWritten(kWaitMs)) return false;
  // The running instance answers once it has handled the message.
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(kWaitMs)) return false;
  }
  return true;
}

void InstanceChannel::HandleConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(256).trimmed();
        Dispatch(line);
        socket->write("done\n");
        socket->flush();
      }
      if (socket->bytesAvailable() > 256) socket->abort();  // not one of ours
    });
  }
}

void InstanceChannel::Dispatch(const QByteArray& line) {
  if (line == Encode(kRestoreMessage).trimmed()) emit restoreRequested();
  else if (line == Encode(kCloseMessage).trimmed()) emit closeRequested();
  else if (line == Encode(kOpenMessage).trimmed()) emit openRequested();
}
