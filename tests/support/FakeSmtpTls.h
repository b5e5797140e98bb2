// The fake exchanger's side of STARTTLS: the handshake after its 220 reply,
// or one of the ways real servers and middleboxes break it.
#pragma once

#include <memory>

#include "platform/Tls.h"

namespace os {
class TcpStream;
}

namespace testing_support {

enum class FakeTlsFault {
  None,     // a proper handshake
  Garbage,  // answers the client's hello with plain text
  Close,    // closes the connection instead of a handshake
  Stall,    // reads and answers nothing
};

// Runs the server side of the handshake on stream after the 220 reply.
// True when TLS is up; false when the session is over (the fault closed it).
// Throws EFailure when the client goes away or the handshake fails.
bool ServeTlsHandshake(os::TcpStream& stream, const std::shared_ptr<const os::TlsContext>& context,
                       FakeTlsFault fault);

}  // namespace testing_support
