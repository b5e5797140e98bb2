#include "intake/ConnectionSession.h"

#include <exception>

namespace {

// Greeting, connect hook and command loop. Whatever a command throws ends
// the loop; with ReplyExceptionCode 0 the peer hears nothing about it.
void Converse(SmtpConnectionThread& thread, const SessionSettings& settings) {
  StreamLineIO io(thread.Connection());
  try {
    io.Send(WireForm(settings.Greeting));
    if (settings.OnConnect) settings.OnConnect(thread);
    if (!io.Connected()) return;
    SmtpServerDialog dialog(thread, io, settings.Dialog);
    while (!thread.Terminated()) {
      dialog.ServeNextCommand();
      if (!io.Connected()) return;
    }
  } catch (const std::exception& failure) {
    if (settings.ReplyExceptionCode > 0 && io.Connected()) {
      io.Send(ReplyLine(settings.ReplyExceptionCode, failure.what()));
    }
  }
}

}  // namespace

void StreamLineIO::Send(std::string_view reply) {
  if (reply.empty()) return;
  stream_.Write(reply);
  stream_.Flush(os::TcpStream::kForever);
}

void RunSession(std::unique_ptr<SmtpConnectionThread> thread, std::shared_ptr<const SessionSettings> settings,
                std::shared_ptr<ConnectionRegistry> registry) {
  try {
    Converse(*thread, *settings);
  } catch (...) {
    // The reply to a failure failed as well; the connection ends regardless.
  }
  registry->RemoveFromThreads(thread.get());
  try {
    thread->Terminate();
  } catch (...) {
  }
  registry->RemoveFromActiveThreads(thread.get());
  thread->Connection().Close();
  thread.reset();  // the destructor runs on the connection's own thread
}
