// How instances of the program for the same user and data folder find each
// other, without Qt so that "open" and "close" need no display. The first
// instance holds a lock file for its whole life (the system drops the lock
// when the process ends, however it ends) and listens on a local socket
// beside it, in a folder only this user can enter. A later instance finds
// the lock taken and hands its request over through the socket.
//
// A message is its name with two parameter values on one line; the running
// instance acts only when all three match a known row, and answers "done"
// once it has handled it.
#pragma once

#include <chrono>
#include <string>

#include "platform/Fd.h"
#include "platform/FileLock.h"

struct InstanceMessage {
  const char* name;
  int wParam;
  int lParam;
};

inline constexpr InstanceMessage kRestoreMessage{"RESTOREMSGGYIIURUIUYUH", 123, 456};
inline constexpr InstanceMessage kCloseMessage{"CLOSEAPPMSGGYIIURUIUYUH", 234, 789};
inline constexpr InstanceMessage kOpenMessage{"OPENWATCHMSGGYIIURUIUYUH", 345, 567};

// The line a message travels as, without its line end.
std::string EncodeInstanceMessage(const InstanceMessage& message);

class InstanceLink {
 public:
  enum class Role {
    kFirst,   // no other instance for these files runs or starts: run
    kSecond,  // another one runs or is starting: hand the request over
    kFailed,  // the lock file could not be made
  };

  // folder: a private folder (os::ChoosePrivateFolder). channelKey: what
  // tells instances apart (the data folder), so tests with their own folders
  // never meet each other or the user's program.
  InstanceLink(const std::string& folder, const std::string& channelKey);

  // Takes the instance lock, without waiting.
  Role Claim();
  // Gives the lock up again (a start that only asked the running instance to
  // close must not hold up the next start).
  void Release() { lock_.Release(); }

  // For the second instance: delivers a message, waiting up to `limit` for
  // the first instance to listen (it may be starting) and to answer. False
  // when it did not answer in time.
  bool Send(const InstanceMessage& message, std::chrono::milliseconds limit) const;

  // For the first instance: the listening socket. A socket file found there
  // is removed only when nothing answers on it (left by an instance that
  // crashed). An invalid Fd when the socket could not be made; errno says why.
  os::Fd Listen();

  const std::string& SocketPath() const { return socketPath_; }
  const std::string& LockPath() const { return lockPath_; }

 private:
  std::string socketPath_;
  std::string lockPath_;
  os::FileLock lock_;
};
