// A mail program's side of an SMTP connection over a plain socket, for tests
// and benchmarks. It reads replies byte for byte without going through the
// engine's line reader, so listener tests can check the exact bytes, CR LF
// included, of the code they are testing. Every wait is bounded.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

class SmtpWireClient {
 public:
  static constexpr int kWaitMs = 5000;
  // What ReadRawLine returns when no whole line came.
  static constexpr const char* kClosed = "<connection closed>";
  static constexpr const char* kTimedOut = "<no reply>";

  // Connects to 127.0.0.1:port, from localIp when given, so the server
  // sees another loopback peer address.
  explicit SmtpWireClient(uint16_t port, const std::string& localIp = "");
  ~SmtpWireClient();
  SmtpWireClient(const SmtpWireClient&) = delete;
  SmtpWireClient& operator=(const SmtpWireClient&) = delete;

  void SendRaw(const std::string& bytes);  // exactly these bytes
  void Send(const std::string& line) { SendRaw(line + "\r\n"); }
  // One line up to and including its LF, kClosed or kTimedOut.
  std::string ReadRawLine(int timeoutMs = kWaitMs);
  // The next count lines, joined.
  std::string ReadRawLines(int count, int timeoutMs = kWaitMs);
  // Sends a line and reads the one-line reply, line end included.
  std::string Command(const std::string& line) {
    Send(line);
    return ReadRawLine();
  }
  // One line without its line end, for tests that look at the text only.
  // Throws EConnectionClosed when the server closed the connection and
  // EReadTimeout when no line came within the limit.
  std::string ReadLine(int timeoutMs = kWaitMs);
  // True when the server closes the connection (FIN or reset) within the
  // limit without sending anything more.
  bool ClosedWithoutReply(int timeoutMs = kWaitMs);
  // True when nothing arrives and the connection stays open for waitMs.
  bool StaysSilent(int waitMs);
  void Close();

 private:
  // Receives more bytes; 1: got some, 0: closed, -1: timed out.
  int Receive(int timeoutMs);

  int fd_ = -1;
  std::string in_;
};

}  // namespace testing_support
