// The local SMTP server's listener: binds its addresses, accepts
// connections on one acceptor thread per binding and runs each connection
// on a fresh thread of its own until it ends.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "intake/ServerReplies.h"
#include "intake/SmtpConnectionThread.h"
#include "intake/SmtpServerDialog.h"
#include "platform/Failure.h"
#include "platform/TcpStream.h"

class ConnectionRegistry;

// Activation could not bind a listening socket. The text is always the
// listener's bind failure text; Code() tells the cause (EADDRINUSE for a
// port in use, EACCES for a privileged port, EADDRNOTAVAIL, EINVAL ...).
class EBindError : public ESocketError {
 public:
  explicit EBindError(int code) : ESocketError(std::string(replies::kBindFailed), code) {}
};

// A local address to listen on: dotted IPv4 text (empty: every local
// address) and a port (0: any free port).
struct TBinding {
  std::string IP;
  int Port = 0;
};

class LocalServer {
 public:
  using ThreadFactory = std::function<std::unique_ptr<SmtpConnectionThread>(std::unique_ptr<os::TcpStream>)>;
  using ConnectHandler = std::function<void(SmtpConnectionThread&)>;  // throws to refuse
  using ReceiveMessageHandler = SmtpReceiveMessageHandler;

  static constexpr std::size_t kDefaultStackSize = 256 * 1024;

  LocalServer();
  ~LocalServer();  // deactivates
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  // Configuration, read at activation: change it only while inactive.
  int DefaultPort = 25;
  int ListenQueue = 32;
  std::vector<TBinding> Bindings;  // empty: one binding of every address on DefaultPort
  TReply Greeting{replies::kGreetingCode, {std::string(replies::kGreeting)}};
  TReply ReplyUnknownCommand{replies::kUnknownCommandCode, {std::string(replies::kUnknownCommand)}};
  int ReplyExceptionCode = 0;    // 0: a failing command gets no reply and ends the connection
  int MaxConnections = 0;        // 0: no limit
  int TerminateWaitTime = 5000;  // ms that deactivation waits for connection threads
  std::size_t ThreadStackSize = kDefaultStackSize;
  ThreadFactory ThreadClass;  // empty: plain SmtpConnectionThread
  ConnectHandler OnConnect;   // runs on the connection thread after the greeting
  ReceiveMessageHandler OnReceiveMessage;

  // Activation binds every binding and starts its acceptor; a bind failure
  // throws EBindError and leaves the listener inactive. Deactivation stops
  // the acceptors, aborts every connection, and waits up to
  // TerminateWaitTime for the connection threads to end; threads still busy
  // then are left to finish on their own. Nothing happens when the value
  // does not change.
  void SetActive(bool active);
  bool Active() const { return active_.load(); }
  // The actual port of the first binding; 0 while inactive.
  uint16_t BoundPort() const;

  // Calls fn for every live connection thread while holding the lock of
  // that list; threads leave it only after fn has returned.
  void ForEachActiveThread(const std::function<void(SmtpConnectionThread&)>& fn);
  // Connection threads that have not yet left Threads.
  int ThreadCount() const;

 private:
  struct Acceptor;
  void Activate();
  void Deactivate();

  std::shared_ptr<ConnectionRegistry> registry_;
  mutable std::mutex acceptorsLock_;
  std::vector<std::unique_ptr<Acceptor>> acceptors_;
  std::atomic<bool> active_{false};
};

// The local-only rule of the connect hook: refuses a connection whose peer
// address text differs from its local address text by throwing
// EFailure("External connections are restricted!").
void RestrictToLocalPeers(SmtpConnectionThread& thread);
