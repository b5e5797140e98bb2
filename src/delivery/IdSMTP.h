// The outbound SMTP client: hands one message to one remote mail exchanger
// (greeting, EHLO or HELO, STARTTLS where offered, one mail transaction,
// QUIT) and keeps the last reply it read for the caller's log.
#pragma once

#include <atomic>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "delivery/EhloKeywords.h"
#include "delivery/MessageWriter.h"
#include "intake/IdMessage.h"
#include "platform/TcpStream.h"

class TIdSMTP {
 public:
  std::string Host;  // dotted IPv4 text or a host name
  int Port = 25;
  int ReadTimeout = 60000;  // ms without reply data before "Read Timeout"
  bool UseEhlo = true;
  std::string HeloName;  // empty: this computer's host name
  // Schemes the server named in its EHLO reply ("AUTH ..." lines); not used.
  std::vector<std::string> AuthSchemes;
  // The extensions named in the last EHLO reply (none after HELO).
  EhloKeywords Extensions;
  // Generates the relayed message text; its charset and clock can be set.
  MessageWriter Writer;
  // TLS settings for STARTTLS; empty: the shared default client context.
  std::shared_ptr<const os::TlsContext> Tls;
  // Hosts whose STARTTLS failed during the current message: they are not
  // asked again. The engine hands one per message; empty: no memory.
  std::shared_ptr<std::set<std::string>> HostsWithoutTls;

  TIdSMTP() = default;
  TIdSMTP(const TIdSMTP&) = delete;
  TIdSMTP& operator=(const TIdSMTP&) = delete;

  // Connects to Host:Port within timeoutMs, reads the 220 greeting and says
  // EHLO (HELO when EHLO is not answered with 250). When the server offers
  // STARTTLS, turns the connection into TLS and says EHLO again; should the
  // server refuse STARTTLS or the handshake fail, reconnects once and goes
  // on in plain text. On failure the client is disconnected again and the
  // closed mark set.
  void Connect(int timeoutMs);
  // One mail transaction: RSET, MAIL FROM, RCPT TO for every To, Cc and Bcc
  // item, DATA, the message text and the closing ".".
  void Send(TIdMessage& message);
  // Says QUIT if connected (its reply is not read), then closes; sets the
  // closed mark.
  void Disconnect();

  bool Connected() const;
  // Set when the peer closed the connection or the client dropped it.
  bool ClosedGracefully() const { return closed_; }
  // The last reply read, kept until the next one, also across connections.
  int LastReplyCode() const { return lastCode_; }
  const std::vector<std::string>& LastReplyText() const { return lastText_; }
  // The encryption of the current or last connection.
  const os::TlsReport& TlsStatus() const { return tls_; }

  // Safe from any other thread: drops the socket at once so a blocked call of
  // the owning thread fails, and sets the closed mark.
  void DisconnectSocket();

 private:
  // Opens the connection and greets; with tryTls also starts TLS where
  // offered. False when that failed and the connection was dropped.
  bool OpenSession(int timeoutMs, bool tryTls);
  void OpenConnection(int timeoutMs);
  // EHLO, or HELO when EHLO is not answered with 250.
  void Introduce();
  // STARTTLS, the handshake and EHLO again. False, with the connection
  // dropped, when the server refused STARTTLS or the handshake failed.
  bool StartTls();
  // Sends a command line and reads the reply; an empty accepted list takes
  // any code. Returns the code.
  int SendCommand(const std::string& line, std::initializer_list<int> accepted = {});
  int ReadReply();
  std::string ReadNonEmptyLine();
  void Flush();
  void Expect(int code, std::initializer_list<int> accepted) const;
  void WriteMessage(const TIdMessage& message);
  void RecordAuthSchemes();

  os::TcpStream stream_;
  std::atomic<bool> closed_{false};
  // Set by DisconnectSocket until the next Connect: no fallback then.
  std::atomic<bool> aborted_{false};
  os::TlsReport tls_;
  int lastCode_ = 0;
  std::vector<std::string> lastText_;
};
