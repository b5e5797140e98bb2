// The running instance's side of the talk between instances: it serves the
// listening socket of InstanceLink on the interface thread and turns each
// known message into a signal.
#pragma once

#include <QLocalServer>
#include <QObject>

#include "platform/Fd.h"

class InstanceChannel : public QObject {
  Q_OBJECT

 public:
  // listening: the socket from InstanceLink::Listen; the channel owns it.
  explicit InstanceChannel(os::Fd listening, QObject* parent = nullptr);

  bool Listening() const { return server_.isListening(); }

 signals:
  // A message that matched one of the three known rows.
  void restoreRequested();
  void closeRequested();
  void openRequested();

 private:
  void HandleConnection();
  void Dispatch(const QByteArray& line);

  QLocalServer server_;
};
