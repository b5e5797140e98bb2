// One client connection of the local SMTP server with the state of its
// dialog. The listener runs each one on an OS thread of its own; subclasses
// add what the deliveries of that connection need.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "intake/IdEMailAddress.h"
#include "platform/NetAddress.h"
#include "platform/TcpStream.h"

// Where the SMTP dialog of a connection stands.
enum class TDialogState { None, Helo, Mail, Rcpt, Data };

class SmtpConnectionThread {
 public:
  // Runs on the acceptor thread. Records both ends of the connection as
  // they are at accept, so they stay readable after the socket is closed.
  explicit SmtpConnectionThread(std::unique_ptr<os::TcpStream> connection);
  virtual ~SmtpConnectionThread();
  SmtpConnectionThread(const SmtpConnectionThread&) = delete;
  SmtpConnectionThread& operator=(const SmtpConnectionThread&) = delete;

  os::TcpStream& Connection() { return *connection_; }
  // Accepted RCPT TO addresses, in the order given, duplicates included.
  TIdEMailAddressList& EnvelopeRecipients() { return envelopeRecipients_; }
  const os::Endpoint& LocalEndpoint() const { return local_; }
  const os::Endpoint& PeerEndpoint() const { return peer_; }

  // Marks the thread stopped. Subclasses call this first and then close
  // their own client sockets. Safe from any thread.
  virtual void Terminate();
  bool Terminated() const { return terminated_.load(); }

  // Connection thread objects alive in the process (of every class).
  static int LiveCount() { return liveCount_.load(); }

  // Dialog state; touched only by the connection's own thread.
  TDialogState DialogState = TDialogState::None;
  std::string EnvelopeFrom;  // rendered address of the last accepted MAIL FROM
  bool HeloSeen = false;
  bool EhloSeen = false;  // EHLO is refused, so this stays false

 private:
  std::unique_ptr<os::TcpStream> connection_;
  os::Endpoint local_;
  os::Endpoint peer_;
  TIdEMailAddressList envelopeRecipients_;
  std::atomic<bool> terminated_{false};
  static inline std::atomic<int> liveCount_{0};
};
