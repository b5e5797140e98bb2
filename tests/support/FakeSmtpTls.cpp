#include "support/FakeSmtpTls.h"

#include "platform/TcpStream.h"
#include "support/FakeSmtpServer.h"
#include "support/TestCertificate.h"

namespace testing_support {
namespace {

constexpr int kHandshakeWaitMs = 5000;

// Reads whatever comes until the client goes away.
[[noreturn]] void ReadUntilClosed(os::TcpStream& stream) {
  for (;;) stream.ReadLine();
}

}  // namespace

FakeSmtpScript OfferingTls(std::vector<FakeSmtpRule> rules, FakeTlsFault fault) {
  FakeSmtpScript script;
  script.rules = std::move(rules);
  script.tls = FakeExchangerTls();
  script.tlsFault = fault;
  return script;
}

bool ServeTlsHandshake(os::TcpStream& stream, const std::shared_ptr<const os::TlsContext>& context,
                       FakeTlsFault fault) {
  switch (fault) {
    case FakeTlsFault::None:
      stream.StartTls(os::TlsSession::ForServer(context), kHandshakeWaitMs);
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
