// The outbound SMTP client: hands messages to one remote mail exchanger
// (greeting, EHLO or HELO, STARTTLS where offered, one mail transaction
// after another, QUIT) and keeps the last reply it read for the caller's log.
// Where the exchanger offers PIPELINING, a transaction's commands go out in
// one write.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "delivery/EhloKeywords.h"
#include "delivery/HostSet.h"
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
  // asked again. The engine hands one per message to all the clients that
  // deliver it; empty: no memory.
  std::shared_ptr<HostSet> HostsWithoutTls;

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
  // item, DATA, the message text and the closing ".". When the exchanger
  // offers PIPELINING, the commands up to DATA go out in one write and their
  // replies are read in order, and the first transaction of a connection
  // starts without RSET. After a failure the connection is out of step with
  // the exchanger: disconnect before the next transaction.
  void Send(const TIdMessage& message);
  // The same with the body lines of bodySource: copies that differ only in
  // their recipients share one received body.
  void Send(const TIdMessage& message, const TIdMessage& bodySource);
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
  // Whether the last Send got as far as writing the message text: a failure
  // before that left the exchanger without any part of the message.
  bool TextStarted() const { return textStarted_; }

  // Safe from any other thread: drops the socket at once so a blocked call of
  // the owning thread fails, and sets the closed mark. The drop holds: every
  // Connect fails until the owner calls ClearAbort.
  void DisconnectSocket();
  // Owner only: closes any connection and lets Connect work again after
  // DisconnectSocket.
  void ClearAbort();

 private:
  // Reply codes a step accepts; empty: any.
  using Codes = std::vector<int>;
  struct Command {
    std::string line;
    Codes accepted;
  };

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
  // Throws before sending anything when the line holds CR, LF or NUL.
  int SendCommand(const std::string& line, const Codes& accepted = {});
  // The commands of a transaction up to DATA.
  std::vector<Command> EnvelopeCommands(const TIdMessage& message, bool pipelining) const;
  // Writes every command at once, then reads their replies in order; the
  // first refused one throws.
  void SendPipelined(const std::vector<Command>& commands);
  static void CheckCommandLine(const std::string& line);
  // Reads one reply, which must be complete within ReadTimeout and stay
  // within the reply bounds.
  int ReadReply();
  std::string ReadNonEmptyLine(std::chrono::steady_clock::time_point deadline, std::size_t& replyBytes);
  void Flush();
  void Expect(int code, const Codes& accepted) const;
  void WriteMessage(const TIdMessage& message, const TIdMessage& bodySource);
  void RecordAuthSchemes();

  os::TcpStream stream_;
  std::atomic<bool> closed_{false};
  // Set by DisconnectSocket until ClearAbort: no fallback then.
  std::atomic<bool> aborted_{false};
  os::TlsReport tls_;
  int lastCode_ = 0;
  std::vector<std::string> lastText_;
  bool transactionBegun_ = false;  // on the current connection
  bool textStarted_ = false;
};
