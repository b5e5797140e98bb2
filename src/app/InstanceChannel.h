// Talk between instances of the program for the same user: the running
// instance listens on a per-user local socket; holding that socket is what
// tells a new instance that another one runs. A message is its name with two
// parameter values, acted on only when all three match a known row.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

struct InstanceMessage {
  const char* name;
  int wParam;
  int lParam;
};

inline constexpr InstanceMessage kRestoreMessage{"RESTOREMSGGYIIURUIUYUH", 123, 456};
inline constexpr InstanceMessage kCloseMessage{"CLOSEAPPMSGGYIIURUIUYUH", 234, 789};
inline constexpr InstanceMessage kOpenMessage{"OPENWATCHMSGGYIIURUIUYUH", 345, 567};

class InstanceChannel : public QObject {
  Q_OBJECT

 public:
  // channelKey separates instances that use different data folders.
  explicit InstanceChannel(const QString& channelKey, QObject* parent = nullptr);

  // True when another instance holds the channel.
  bool AnotherInstanceRuns() const;
  // Takes the channel for this instance (replacing a stale socket file).
  bool Listen();
  // Sends a message to the running instance and waits until it was handled
  // (at most a few seconds). False when no instance answered.
  bool Send(const InstanceMessage& message) const;

 signals:
  // A message that matched one of the three known rows.
  void restoreRequested();
  void closeRequested();
  void openRequested();

 private:
  void HandleConnection();
  void Dispatch(const QByteArray& line);

  QString name_;
  QLocalServer server_;
};
