// Construction and teardown of a connection's thread object.
#include "intake/SmtpConnectionThread.h"

#include <utility>

SmtpConnectionThread::SmtpConnectionThread(std::unique_ptr<os::TcpStream> connection)
    : connection_(connection ? std::move(connection) : std::make_unique<os::TcpStream>()) {
  if (connection_->NativeHandle() >= 0) {
    local_ = connection_->LocalAddress();
    peer_ = connection_->PeerAddress();
  }
  ++liveCount_;
}

SmtpConnectionThread::~SmtpConnectionThread() { --liveCount_; }

void SmtpConnectionThread::Terminate() { terminated_ = true; }
