#include "app/InstanceChannel.h"

#include <QLocalSocket>

#include "app/InstanceLink.h"

namespace {

constexpr qint64 kMaxLine = 256;

}  // namespace

InstanceChannel::InstanceChannel(os::Fd listening, QObject* parent) : QObject(parent) {
  connect(&server_, &QLocalServer::newConnection, this, &InstanceChannel::HandleConnection);
  const int fd = listening.get();
  if (fd >= 0 && server_.listen(fd)) {
    (void)listening.release();  // the server closes it from now on
  }
}

void InstanceChannel::HandleConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(kMaxLine).trimmed();
        Dispatch(line);
        socket->write("done\n");
        socket->flush();
      }
      if (socket->bytesAvailable() > kMaxLine) socket->abort();  // not one of ours
    });
  }
}

void InstanceChannel::Dispatch(const QByteArray& line) {
  const auto matches = [&line](const InstanceMessage& message) {
    return line == QByteArray::fromStdString(EncodeInstanceMessage(message));
  };
  if (matches(kRestoreMessage)) {
    emit restoreRequested();
  } else if (matches(kCloseMessage)) {
    emit closeRequested();
  } else if (matches(kOpenMessage)) {
    emit openRequested();
  }
}
