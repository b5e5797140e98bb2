#include "support/FakeSmtpTls.h"

#include "platform/TcpStream.h"

namespace testing_support {
namespace {

constexpr int kHandshakeWaitMs = 5000;

// Reads whatever comes until the client goes away.
[[noreturn]] void ReadUntilClosed(net::TcpStream& stream) {
  for (;;) stream.ReadLine();
}

}  // namespace

bool ServeTlsHandshake(net::TcpStream& stream, const std::shared_ptr<const net::TlsContext>& context,
                       FakeTlsFault fault) {
  switch (fault) {
    case FakeTlsFault::None:
      stream.StartTls(net::TlsSession::ForServer(context), kHandshakeWaitMs);
      return true;
    case FakeTlsFault::Close:
      return false;
    case FakeTlsFault::Garbage:
      stream.Write("220 this is not TLS at all\r\n");
      stream.Flush(kHandshakeWaitMs);
      ReadUntilClosed(stream);
    case FakeTlsFault::Stall:
      ReadUntilClosed(stream);
  }
  return false;
}

}  // namespace testing_support
