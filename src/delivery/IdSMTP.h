// The outbound SMTP client: hands one message to one remote mail exchanger
// (greeting, EHLO or HELO, one mail transaction, QUIT) and keeps the last
// reply it read for the caller's log.
#pragma once

#include <atomic>
#include <initializer_list>
#include <string>
#include <vector>

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
  // Generates the relayed message text; its charset and clock can be set.
  MessageWriter Writer;

  TIdSMTP() = default;
  TIdSMTP(const TIdSMTP&) = delete;
  TIdSMTP& operator=(const TIdSMTP&) = delete;

  // Connects to Host:Port within timeoutMs, reads the 220 greeting and says
  // EHLO (HELO when EHLO is not answered with 250). On failure the client is
  // disconnected again and the closed mark set.
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

  // Safe from any other thread: drops the socket at once so a blocked call of
  // the owning thread fails, and sets the closed mark.
  void DisconnectSocket();

 private:
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
  int lastCode_ = 0;
  std::vector<std::string> lastText_;
};
