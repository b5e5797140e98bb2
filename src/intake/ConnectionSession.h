// The life of one accepted connection on its own thread: greeting, connect
// hook, command loop, and the orderly way out of the listener's lists.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "intake/ConnectionRegistry.h"
#include "intake/ServerReplies.h"
#include "intake/SmtpConnectionThread.h"
#include "intake/SmtpServerDialog.h"

// What connection threads need from the listener, copied at activation and
// shared with every thread, so that threads still running after the
// listener stopped (or was destroyed) read nothing freed.
struct SessionSettings {
  TReply Greeting;
  int ReplyExceptionCode = 0;
  std::function<void(SmtpConnectionThread&)> OnConnect;
  SmtpDialogSettings Dialog;
};

// Runs the connection to its end, then takes the thread off the registry's
// lists (Threads first), terminates it, closes its socket and frees it.
void RunSession(std::unique_ptr<SmtpConnectionThread> thread, std::shared_ptr<const SessionSettings> settings,
                std::shared_ptr<ConnectionRegistry> registry);

// SmtpLineIO over a connection's stream: reads wait without a time limit,
// each reply is flushed at once.
class StreamLineIO : public SmtpLineIO {
 public:
  explicit StreamLineIO(os::TcpStream& stream) : stream_(stream) {}
  std::string ReadLine() override { return stream_.ReadLine(os::TcpStream::kForever); }
  void Send(std::string_view reply) override;
  void Disconnect() override { stream_.Close(); }
  bool Connected() const override { return stream_.IsOpen(); }

 private:
  os::TcpStream& stream_;
};
